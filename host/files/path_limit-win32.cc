#include "host/files/path_limit.h"

#include "catalogues/translation.h"

#include <windows.h>

#include "host/wide_text.h"

std::string CheckPathLength(const std::string& path) {
  const int kLongest = MAX_PATH - 1;
  int length = static_cast<int>(Wide(path).size());
  if (length <= kLongest)
    return "";
  return Translated("%s characters long, and Windows programs accept at most %s",
                    {std::to_string(length), std::to_string(kLongest)});
}
