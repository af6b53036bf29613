#ifndef ARKIVA_HOST_FILES_FILE_SIZE_H_
#define ARKIVA_HOST_FILES_FILE_SIZE_H_

#include <stdint.h>

#include <string>

enum : int64_t {
  kSizeNothing = -1,  // absent or empty path, or nothing there
  kSizeFolder = -2,   // a folder or a drive root
};

// The size in bytes of the file `path` names, or kSizeFolder / kSizeNothing.
// Trailing separators are ignored. Reads the file system, changes nothing.
//
// With `unreachable`, it also tells why an item that may well be there
// cannot be reached, in words for the user: access to it is denied, its
// drive is not ready, or the system's own words. It is left empty when the
// size was read and when nothing is there: the path, or a folder on the way,
// does not exist.
int64_t QueryFileSize(const char* path, std::string* unreachable = nullptr);

// Each platform's part of QueryFileSize, for a path that is not empty;
// `unreachable` is never null.
int64_t QueryPathSize(std::string path, std::string* unreachable);

// The size of a file that another program is writing right now, or -1. It is
// read from the file itself: Windows updates a folder's listing lazily.
int64_t GrowingFileSize(const std::string& path);

// When `path` was last written, in seconds since 1970 (UTC); -1 when it
// cannot be read.
int64_t FileModifiedTime(const std::string& path);

#endif  // ARKIVA_HOST_FILES_FILE_SIZE_H_
