#include "host/files/file_claim.h"

#include <windows.h>

#include "host/system_error.h"
#include "host/wide_text.h"

void HeldFile::Close() {
  if (handle_ != kNone)
    CloseHandle(reinterpret_cast<HANDLE>(handle_));
  handle_ = kNone;
}

std::string HeldFile::ReadAt(int64_t offset, size_t bytes) const {
  std::string data(bytes, '\0');
  OVERLAPPED at = {};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  DWORD got = 0;
  if (handle_ == kNone ||
      !ReadFile(reinterpret_cast<HANDLE>(handle_), &data[0], static_cast<DWORD>(bytes), &got, &at))
    got = 0;
  data.resize(got);
  return data;
}

int64_t HeldFile::Size() const {
  LARGE_INTEGER size;
  return handle_ != kNone && GetFileSizeEx(reinterpret_cast<HANDLE>(handle_), &size)
             ? static_cast<int64_t>(size.QuadPart)
             : -1;
}

FileClaim ClaimNewFile(const std::string& path, const std::string&) {
  // Its size, identity and end are read through the handle, as the C
  // runtime of the tar that writes into it reads them.
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, NULL,
                            CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL);
  if (file != INVALID_HANDLE_VALUE)
    return {.result = FileClaim::kClaimed, .file = HeldFile(reinterpret_cast<intptr_t>(file))};
  DWORD error = GetLastError();
  // A folder of that name answers "access denied", not "exists".
  if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ||
      (error == ERROR_ACCESS_DENIED && GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES))
    return {.result = FileClaim::kExists};
  return {.result = FileClaim::kFailed, .reason = SystemErrorText(error)};
}

HeldFile TemporaryFile(const std::string& text, std::string* reason) {
  wchar_t folder[MAX_PATH + 1], name[MAX_PATH + 1];
  DWORD length = GetTempPathW(MAX_PATH + 1, folder);
  HANDLE file = INVALID_HANDLE_VALUE;
  if (length > 0 && length <= MAX_PATH && GetTempFileNameW(folder, L"ark", 0, name))
    file =
        CreateFileW(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, NULL,
                    CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, NULL);
  if (file == INVALID_HANDLE_VALUE) {
    *reason = SystemErrorText(GetLastError());
    return HeldFile();
  }
  HeldFile held(reinterpret_cast<intptr_t>(file));
  DWORD wrote = 0;
  if (!WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &wrote, NULL) ||
      wrote != text.size() ||
      SetFilePointer(file, 0, NULL, FILE_BEGIN) == INVALID_SET_FILE_POINTER) {
    *reason = SystemErrorText(GetLastError());
    held.Close();
  }
  return held;
}

bool RemoveClaimedFile(const std::string& path) {
  return DeleteFileA(path.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND;
}

std::string SyncFile(const std::string& path) {
  // FlushFileBuffers needs write access; others may keep the file open.
  HANDLE file = CreateFileW(Wide(path).c_str(), GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                            OPEN_EXISTING, 0, NULL);
  if (file == INVALID_HANDLE_VALUE)
    return SystemErrorText(GetLastError());
  DWORD error = FlushFileBuffers(file) ? 0 : GetLastError();
  CloseHandle(file);
  return error ? SystemErrorText(error) : "";
}
