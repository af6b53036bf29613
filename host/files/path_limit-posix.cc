#include "host/files/path_limit.h"

#include "catalogues/translation.h"

#include <limits.h>

std::string CheckPathLength(const std::string& path) {
  const size_t kLongest = PATH_MAX - 1;
  if (path.size() <= kLongest)
    return "";
  return Translated("%s bytes long, and the system accepts at most %s",
                    {std::to_string(path.size()), std::to_string(kLongest)});
}
