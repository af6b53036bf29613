#ifndef ARKIVA_HOST_FILE_SIZE_H_
#define ARKIVA_HOST_FILE_SIZE_H_

#include <stdint.h>

enum : int64_t {
  kSizeNothing = -1,  // absent or empty path, or nothing there
  kSizeFolder = -2,   // a folder or a drive root
};

// The size in bytes of the file `path` names, or kSizeFolder / kSizeNothing.
// Trailing separators are ignored. Reads the file system, changes nothing.
int64_t QueryFileSize(const char* path);

#endif  // ARKIVA_HOST_FILE_SIZE_H_
