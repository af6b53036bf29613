#include "host/file_size.h"

#include <sys/stat.h>

#include <string>

#include "host/path_parts.h"

int64_t QueryFileSize(const char* path) {
  if (!path || !*path)
    return kSizeNothing;
  std::string copy(path);
  while (!copy.empty() && IsPathSeparator(copy.back()))
    copy.pop_back();
  struct stat st;
  if (copy.empty() || stat(copy.c_str(), &st) != 0)
    return kSizeNothing;
  if (S_ISDIR(st.st_mode))
    return kSizeFolder;
  if (S_ISREG(st.st_mode))
    return static_cast<int64_t>(st.st_size);
  return kSizeNothing;
}
