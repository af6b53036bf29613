#include "host/file_size.h"

#include <string.h>
#include <windows.h>

#include "host/path_parts.h"

namespace {

const size_t kWorkingCopyMax = 260;

int64_t DriveRootSize(const char* root) {
  return GetDriveTypeA(root) > DRIVE_NO_ROOT_DIR ? kSizeFolder : kSizeNothing;
}

}  // namespace

int64_t QueryFileSize(const char* path) {
  if (!path || !*path)
    return kSizeNothing;
  char copy[kWorkingCopyMax + 2];  // room for the backslash that C: gets
  size_t n = strnlen(path, kWorkingCopyMax);
  memcpy(copy, path, n);
  copy[n] = '\0';

  // Drive roots are asked about before anything else, and never searched.
  if ((n == 2 || n == 3) && copy[1] == ':') {
    if (n == 2) {
      copy[2] = '\\';
      copy[3] = '\0';
    }
    return DriveRootSize(copy);
  }

  while (n > 0 && IsPathSeparator(copy[n - 1]))
    copy[--n] = '\0';

  WIN32_FIND_DATAA entry;
  HANDLE search = FindFirstFileA(copy, &entry);
  if (search != INVALID_HANDLE_VALUE) {
    FindClose(search);
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
      return kSizeFolder;
    return static_cast<int64_t>((static_cast<uint64_t>(entry.nFileSizeHigh) << 32) |
                                entry.nFileSizeLow);
  }

  // A share root cannot be listed by a search, but its attributes can be read.
  bool network = copy[0] == '\\' && copy[1] == '\\';
  bool dotted = copy[0] == '.' && copy[1] == '.';
  if (!network && !dotted)
    return kSizeNothing;
  DWORD attributes = GetFileAttributesA(copy);
  if (attributes != INVALID_FILE_ATTRIBUTES)
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? kSizeFolder : kSizeNothing;
  return DriveRootSize(copy);
}
