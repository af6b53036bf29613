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

}  // namespace

ItemLock::ItemLock(const std::string& folder, const std::string& name) {
  std::wstring path = ResolvedFolder(folder);
  if (!path.empty() && path.back() != L'\\')
    path += L'\\';
  path += Wide(name);
  // Global: the same item reached from another session is the same item.
  std::string mutex_name = "Global\\" + ItemLockName(UpperCase(path));
  mutex_ = CreateMutexA(NULL, FALSE, mutex_name.c_str());
  DWORD error = GetLastError();
  if (mutex_ && error != ERROR_ALREADY_EXISTS) {
    state_ = kHeld;
    return;
  }
  if (mutex_)
    CloseHandle(mutex_);
  mutex_ = nullptr;
  // Denied: another user's run holds it.
  if (error == ERROR_ALREADY_EXISTS || error == ERROR_ACCESS_DENIED) {
    state_ = kBusy;
    return;
  }
  reason_ = SystemErrorText(error);
}

ItemLock::~ItemLock() {
  if (mutex_)
    CloseHandle(mutex_);
}
