#include "host/files/item_lock.h"

#include <windows.h>

#include <vector>

#include "host/system_error.h"
#include "host/wide_text.h"

namespace {

// The folder as the file system names it, whatever spelling reached it (a
// relative path, 8.3 names, a mapped or substituted drive, a junction);
// its full path when it cannot be opened.
std::wstring ResolvedFolder(const std::string& folder) {
  std::wstring given = Wide(folder.empty() ? "." : folder);
  HANDLE handle =
      CreateFileW(given.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, NULL);
  if (handle != INVALID_HANDLE_VALUE) {
    std::vector<wchar_t> path(32768);
    DWORD length = GetFinalPathNameByHandleW(handle, path.data(), static_cast<DWORD>(path.size()),
                                             FILE_NAME_NORMALIZED);
    CloseHandle(handle);
    if (length > 0 && length < path.size())
      return std::wstring(path.data(), length);
  }
  std::vector<wchar_t> full(32768);
  DWORD length =
      GetFullPathNameW(given.c_str(), static_cast<DWORD>(full.size()), full.data(), NULL);
  return length > 0 && length < full.size() ? std::wstring(full.data(), length) : given;
}

// Windows names are the same in any case.
std::string UpperCase(std::wstring text) {
  if (!text.empty())
    CharUpperBuffW(&text[0], static_cast<DWORD>(text.size()));
  return Narrow(text);
}

// The user's own folder for locks, made when missing: %LOCALAPPDATA%\arkiva
// \locks, else %TEMP%\arkiva-locks; both are in the user's profile, where
// no other user may create a file. (A Global\ object's name is anyone's to
// take first, which would stop every run of the user's.)
std::wstring LockFolder() {
  std::vector<wchar_t> buffer(32768);
  DWORD length = GetEnvironmentVariableW(L"LOCALAPPDATA", buffer.data(), buffer.size());
  if (length > 0 && length < buffer.size()) {
    std::wstring folder(buffer.data(), length);
    CreateDirectoryW(folder.c_str(), NULL);  // a profile's is there; a test's may not be
    folder += L"\\arkiva";
    CreateDirectoryW(folder.c_str(), NULL);
    folder += L"\\locks";
    if (CreateDirectoryW(folder.c_str(), NULL) || GetLastError() == ERROR_ALREADY_EXISTS)
      return folder;
  }
  length = GetTempPathW(buffer.size(), buffer.data());
  std::wstring folder = std::wstring(buffer.data(), length < buffer.size() ? length : 0);
  folder += L"arkiva-locks";
  CreateDirectoryW(folder.c_str(), NULL);
  return folder;
}

}  // namespace

ItemLock::ItemLock(const std::string& folder, const std::string& name) {
  std::wstring path = ResolvedFolder(folder);
  if (!path.empty() && path.back() != L'\\')
    path += L'\\';
  path += Wide(name);
  std::wstring lock_path = LockFolder() + L"\\" + Wide(ItemLockName(UpperCase(path)));
  // Held open without sharing, and gone when the last handle closes,
  // however the process ends. A lock file whose holder is closing it is
  // briefly refused (a pending delete): it is tried again.
  DWORD error = 0;
  for (int attempt = 0; attempt < 50; ++attempt) {
    lock_ = CreateFileW(lock_path.c_str(), GENERIC_WRITE | DELETE, 0, NULL, OPEN_ALWAYS,
                        FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, NULL);
    if (lock_ != INVALID_HANDLE_VALUE) {
      state_ = kHeld;
      return;
    }
    lock_ = nullptr;
    error = GetLastError();
    if (error == ERROR_SHARING_VIOLATION) {
      state_ = kBusy;
      return;
    }
    if (error != ERROR_ACCESS_DENIED)
      break;
    Sleep(10);
  }
  reason_ = SystemErrorText(error);
}

ItemLock::~ItemLock() {
  if (lock_)
    CloseHandle(lock_);
}
