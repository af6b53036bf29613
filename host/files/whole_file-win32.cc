#include "host/files/whole_file.h"

#include <string.h>
#include <windows.h>

#include "host/files/path_parts.h"
#include "host/system_error.h"

namespace {

void Tally(const std::string& folder, FolderTally* tally,
           const std::function<bool(const FolderTally&)>& keep_going) {
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
    if (keep_going && tally->entries % kTallyStep == 0 && !keep_going(*tally))
      tally->stopped = true;
    if (tally->stopped)
      break;
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
      continue;  // a link or junction: tar stores it as it is
    if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
      tally->bytes += (static_cast<uint64_t>(entry.nFileSizeHigh) << 32) | entry.nFileSizeLow;
    else
      Tally(prefix + entry.cFileName, tally, keep_going);
  } while (FindNextFileA(search, &entry));
  FindClose(search);
}

}  // namespace

bool ReadFileRange(const std::string& path, int64_t offset, size_t size, std::string* bytes,
                   std::string* failure) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
  if (file == INVALID_HANDLE_VALUE) {
    if (failure)
      *failure = SystemErrorText(GetLastError());
    return false;
  }
  bytes->assign(size, '\0');
  LARGE_INTEGER at;
  at.QuadPart = offset;
  size_t done = 0;
  DWORD got = 0;
  bool refused = !SetFilePointerEx(file, at, NULL, FILE_BEGIN);
  while (!refused && done < size) {
    refused = !ReadFile(file, &(*bytes)[done], static_cast<DWORD>(size - done), &got, NULL);
    if (refused || got == 0)
      break;
    done += got;
  }
  if (refused && failure)
    *failure = SystemErrorText(GetLastError());
  CloseHandle(file);
  return done == size;
}

FolderTally TallyFolder(const std::string& folder,
                        const std::function<bool(const FolderTally&)>& keep_going) {
  FolderTally tally;
  Tally(folder, &tally, keep_going);
  return tally;
}
