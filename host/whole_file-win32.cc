#include "host/whole_file.h"

#include <string.h>
#include <windows.h>

#include "host/path_parts.h"

namespace {

void Tally(const std::string& folder, FolderTally* tally) {
  std::string prefix = folder;
  if (prefix.empty() || !IsPathSeparator(prefix.back()))
    prefix += '\\';
  WIN32_FIND_DATAA entry;
  HANDLE search = FindFirstFileExA((prefix + '*').c_str(), FindExInfoBasic, &entry,
                                   FindExSearchNameMatch, NULL, FIND_FIRST_EX_LARGE_FETCH);
  if (search == INVALID_HANDLE_VALUE)
    return;
  do {
    if (strcmp(entry.cFileName, ".") == 0 || strcmp(entry.cFileName, "..") == 0)
      continue;
    ++tally->entries;
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
      continue;  // a link or junction: tar stores it as it is
    if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
      tally->bytes += (static_cast<uint64_t>(entry.nFileSizeHigh) << 32) | entry.nFileSizeLow;
    else
      Tally(prefix + entry.cFileName, tally);
  } while (FindNextFileA(search, &entry));
  FindClose(search);
}

}  // namespace

bool ReadFileRange(const std::string& path, int64_t offset, size_t size, std::string* bytes) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
  if (file == INVALID_HANDLE_VALUE)
    return false;
  bytes->assign(size, '\0');
  LARGE_INTEGER at;
  at.QuadPart = offset;
  size_t done = 0;
  DWORD got = 0;
  if (SetFilePointerEx(file, at, NULL, FILE_BEGIN)) {
    while (done < size && ReadFile(file, &(*bytes)[done], static_cast<DWORD>(size - done), &got, NULL) &&
           got > 0)
      done += got;
  }
  CloseHandle(file);
  return done == size;
}

FolderTally TallyFolder(const std::string& folder) {
  FolderTally tally;
  Tally(folder, &tally);
  return tally;
}
