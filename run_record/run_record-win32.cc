#include "run_record/run_record.h"

#include <windows.h>

#include "host/process/environment.h"
#include "host/wide_text.h"

std::string RunRecordFolder(bool make) {
  std::string local;
  if (!ReadEnvironment("LOCALAPPDATA", &local) || local.empty())
    return "";
  std::string folder = local + "\\arkiva";
  if (!make)
    return GetFileAttributesW(Wide(folder).c_str()) != INVALID_FILE_ATTRIBUTES ? folder : "";
  CreateDirectoryW(Wide(local).c_str(), NULL);  // a profile's is there; a test's may not be
  if (!CreateDirectoryW(Wide(folder).c_str(), NULL) && GetLastError() != ERROR_ALREADY_EXISTS)
    return "";
  return folder;
}

std::string NewRunRecordPath(const std::string& folder) {
  static int made = 0;
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  uint64_t time = (static_cast<uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
  return folder + "\\run-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(time) +
         "-" + std::to_string(++made) + ".record";
}

std::vector<std::string> ListRunRecords(const std::string& folder) {
  std::vector<std::string> records;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(Wide(folder + "\\*.record").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE)
    return records;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
      records.push_back(folder + "\\" + Narrow(found.cFileName, wcslen(found.cFileName)));
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return records;
}

bool ReadRunRecord(const std::string& path, std::string* text) {
  HANDLE file =
      CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
  if (file == INVALID_HANDLE_VALUE)
    return false;
  LARGE_INTEGER size;
  bool ok = GetFileSizeEx(file, &size) && static_cast<uint64_t>(size.QuadPart) <= kMaxRecordBytes;
  text->clear();
  char buffer[4096];
  DWORD got = 0;
  while (ok && text->size() <= kMaxRecordBytes &&
         (ok = ReadFile(file, buffer, sizeof(buffer), &got, NULL)) && got)
    text->append(buffer, got);
  CloseHandle(file);
  return ok && text->size() <= kMaxRecordBytes;
}

// A new file beside the record, flushed, then renamed over it, written
// through: a crash leaves the old record or the new one, never a part.
bool WriteRunRecord(const std::string& path, const std::string& text) {
  std::wstring temporary = Wide(path + ".new");
  HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
  if (file == INVALID_HANDLE_VALUE)
    return false;
  DWORD wrote = 0;
  bool ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &wrote, NULL) &&
            wrote == text.size() && FlushFileBuffers(file);
  CloseHandle(file);
  ok = ok && MoveFileExW(temporary.c_str(), Wide(path).c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
  if (!ok)
    DeleteFileW(temporary.c_str());
  return ok;
}

void RemoveRunRecord(const std::string& path) {
  DeleteFileW(Wide(path).c_str());
}

std::string AbsoluteFolder(const std::string& folder) {
  std::wstring wide = Wide(folder.empty() ? "." : folder);
  wchar_t full[32768];
  DWORD length = GetFullPathNameW(wide.c_str(), 32768, full, NULL);
  if (length == 0 || length >= 32768)
    return folder;
  std::string absolute = Narrow(full, length);
  return absolute.back() == '\\' ? absolute : absolute + "\\";
}
