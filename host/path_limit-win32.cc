#include "host/path_limit.h"

#include <windows.h>

std::string CheckPathLength(const std::string& path) {
  const int kLongest = MAX_PATH - 1;
  int length = MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()), NULL, 0);
  if (length <= kLongest)
    return "";
  return std::to_string(length) + " characters long, and Windows programs accept at most " +
         std::to_string(kLongest);
}
