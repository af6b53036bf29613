#include "host/files/file_size.h"

int64_t QueryFileSize(const char* path, std::string* unreachable) {
  std::string why;
  int64_t size = path && *path ? QueryPathSize(path, &why) : kSizeNothing;
  if (unreachable)
    *unreachable = why;
  return size;
}
