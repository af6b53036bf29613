#include "host/files/file_size.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "host/system_error.h"

int64_t QueryPathSize(std::string path, std::string* unreachable) {
  while (!path.empty() && path.back() == '/')  // a backslash is part of a name
    path.pop_back();
  if (path.empty())
    path.push_back('/');  // the root itself
  struct stat st;
  if (stat(path.c_str(), &st) != 0) {
    *unreachable = UnreachableBecause(errno);
    return kSizeNothing;
  }
  if (S_ISDIR(st.st_mode))
    return kSizeFolder;
  if (S_ISREG(st.st_mode))
    return static_cast<int64_t>(st.st_size);
  return kSizeNothing;
}

int64_t GrowingFileSize(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? static_cast<int64_t>(st.st_size) : -1;
}

int64_t FileModifiedTime(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? static_cast<int64_t>(st.st_mtime) : -1;
}
