#ifndef ARKIVA_HOST_FILE_SIZE_H_
#define ARKIVA_HOST_FILE_SIZE_H_

#include <stdint.h>

#include <string>

enum : int64_t {
  kSizeNothing = -1,  // absent or empty path, or nothing there
  kSizeFolder = -2,   // a folder or a drive root
};

// The size in bytes of the file `path` names, or kSizeFolder / kSizeNothing.
// Trailing separators are ignored. Reads the file system, changes nothing.
int64_t QueryFileSize(const char* path);

// The size of a file that another program is writing right now, or -1. It is
// read from the file itself: Windows updates a folder's listing lazily.
int64_t GrowingFileSize(const std::string& path);

// The sizes of all files under `folder`, summed in one walk. Links are not
// followed; what cannot be read counts as nothing.
uint64_t SumFolderFileSizes(const std::string& folder);

#endif  // ARKIVA_HOST_FILE_SIZE_H_
