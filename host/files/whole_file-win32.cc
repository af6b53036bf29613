#include "host/files/whole_file.h"

#include <string.h>
#include <windows.h>

#include "host/files/path_parts.h"
#include "host/system_error.h"
#include "host/wide_text.h"

namespace {

// `path` as the W functions take it at any length, where the A functions stop
// at MAX_PATH while tar goes on below: absolute, behind the \\?\ prefix (the
// \\?\UNC\ prefix for a share).
std::wstring ExtendedPath(const std::string& path) {
  std::wstring wide = Wide(path);
  DWORD size = GetFullPathNameW(wide.c_str(), 0, NULL, NULL);
  if (size == 0)
    return wide;
  std::wstring full(size, L'\0');
  DWORD got = GetFullPathNameW(wide.c_str(), size, &full[0], NULL);
  full.resize(got < size ? got : 0);
  if (full.compare(0, 4, L"\\\\?\\") == 0)
    return full;
  if (full.compare(0, 2, L"\\\\") == 0)
    return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

// What tar stores as a link and does not go through: symbolic links and
// junctions, which name another place. Other reparse points are files and
// folders as any: cloud placeholders (OneDrive's online-only files), whose
// listing gives the logical size without fetching them, deduplicated files.
bool IsLink(const WIN32_FIND_DATAW& entry) {
  return (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
         IsReparseTagNameSurrogate(entry.dwReserved0);
}

void Tally(const std::wstring& folder, FolderTally* tally,
           const std::function<bool(const FolderTally&)>& keep_going, bool top) {
  WIN32_FIND_DATAW entry;
  HANDLE search = FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &entry,
                                   FindExSearchNameMatch, NULL, FIND_FIRST_EX_LARGE_FETCH);
  if (search == INVALID_HANDLE_VALUE) {
    if (top) {
      DWORD error = GetLastError();
      tally->unreadable = UnreachableBecause(error);
      if (tally->unreadable.empty())
        tally->unreadable = SystemErrorText(error);
    }
    return;
  }
  do {
    if (wcscmp(entry.cFileName, L".") == 0 || wcscmp(entry.cFileName, L"..") == 0)
      continue;
    ++tally->entries;
    // 100 ns steps since 1601.
    int64_t written = (static_cast<int64_t>(entry.ftLastWriteTime.dwHighDateTime) << 32) |
                      entry.ftLastWriteTime.dwLowDateTime;
    if (!FitsTarHeader(written / 10000000 - 11644473600))
      tally->odd_times = true;
    if (keep_going && tally->entries % kTallyStep == 0 && !keep_going(*tally))
      tally->stopped = true;
    if (tally->stopped)
      break;
    if (IsLink(entry))
      continue;  // tar stores it as it is
    if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
      tally->bytes += (static_cast<uint64_t>(entry.nFileSizeHigh) << 32) | entry.nFileSizeLow;
    else
      Tally(folder + L"\\" + entry.cFileName, tally, keep_going, false);
  } while (FindNextFileW(search, &entry));
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
  std::wstring path = ExtendedPath(folder);
  while (path.size() > 7 && path.back() == L'\\')
    path.pop_back();
  Tally(path, &tally, keep_going, true);
  return tally;
}
