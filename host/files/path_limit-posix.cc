#include "host/files/path_limit.h"

#include <limits.h>

std::string CheckPathLength(const std::string& path) {
  const size_t kLongest = PATH_MAX - 1;
  if (path.size() <= kLongest)
    return "";
  return std::to_string(path.size()) + " bytes long, and the system accepts at most " +
         std::to_string(kLongest);
}
