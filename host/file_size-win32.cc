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

int64_t GrowingFileSize(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
    return -1;
  return static_cast<int64_t>((static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
}

uint64_t SumFolderFileSizes(const std::string& folder) {
  std::string prefix = folder;
  if (prefix.empty() || !IsPathSeparator(prefix.back()))
    prefix += '\\';
  WIN32_FIND_DATAA entry;
  HANDLE search = FindFirstFileExA((prefix + '*').c_str(), FindExInfoBasic, &entry,
                                   FindExSearchNameMatch, NULL, FIND_FIRST_EX_LARGE_FETCH);
  if (search == INVALID_HANDLE_VALUE)
    return 0;
  uint64_t total = 0;
  do {
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
      continue;  // a link or junction: tar stores it as it is
    if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
      total += (static_cast<uint64_t>(entry.nFileSizeHigh) << 32) | entry.nFileSizeLow;
    else if (strcmp(entry.cFileName, ".") != 0 && strcmp(entry.cFileName, "..") != 0)
      total += SumFolderFileSizes(prefix + entry.cFileName);
  } while (FindNextFileA(search, &entry));
  FindClose(search);
  return total;
}
