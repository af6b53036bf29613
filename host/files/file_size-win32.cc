#include "host/files/file_size.h"

#include <windows.h>

#include "host/files/path_parts.h"
#include "host/system_error.h"

namespace {

int64_t DriveRootSize(const char* root) {
  return GetDriveTypeA(root) > DRIVE_NO_ROOT_DIR ? kSizeFolder : kSizeNothing;
}

// Nothing to read, and why.
int64_t NothingBecause(DWORD error, std::string* unreachable) {
  *unreachable = UnreachableBecause(error);
  return kSizeNothing;
}

}  // namespace

int64_t QueryPathSize(std::string path, std::string* unreachable) {
  // Drive roots are asked about before anything else, and never searched.
  if ((path.size() == 2 || path.size() == 3) && path[1] == ':')
    return DriveRootSize((path.size() == 2 ? path + '\\' : path).c_str());

  while (!path.empty() && IsPathSeparator(path.back()))
    path.pop_back();

  WIN32_FIND_DATAA entry;
  HANDLE search = FindFirstFileA(path.c_str(), &entry);
  DWORD error = GetLastError();
  if (search != INVALID_HANDLE_VALUE) {
    FindClose(search);
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
      return kSizeFolder;
    return static_cast<int64_t>((static_cast<uint64_t>(entry.nFileSizeHigh) << 32) |
                                entry.nFileSizeLow);
  }

  // A share root cannot be listed by a search, but its attributes can be read.
  bool network = path.compare(0, 2, "\\\\") == 0;
  bool dotted = path.compare(0, 2, "..") == 0;
  if (!network && !dotted)
    return NothingBecause(error, unreachable);
  DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES)
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? kSizeFolder : kSizeNothing;
  error = GetLastError();
  int64_t root = DriveRootSize(path.c_str());
  return root == kSizeFolder ? root : NothingBecause(error, unreachable);
}

int64_t GrowingFileSize(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
    return -1;
  return static_cast<int64_t>((static_cast<uint64_t>(data.nFileSizeHigh) << 32) |
                              data.nFileSizeLow);
}

int64_t FileModifiedTime(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
    return -1;
  // FILETIME counts 100 ns steps from 1601.
  uint64_t ticks = (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                   data.ftLastWriteTime.dwLowDateTime;
  return static_cast<int64_t>(ticks / 10000000) - 11644473600LL;
}
