#include "host/file_claim.h"

#include <windows.h>

namespace {

// FormatMessageA's text for `error`, without the trailing line break.
std::string SystemMessage(DWORD error) {
  char text[512];
  DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, NULL, error,
                           0, text, sizeof(text), NULL);
  while (n > 0 && (text[n - 1] == '\n' || text[n - 1] == '\r' || text[n - 1] == ' '))
    --n;
  return n ? std::string(text, n) : "error " + std::to_string(error);
}

}  // namespace

FileClaim ClaimNewFile(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, NULL);
  if (file != INVALID_HANDLE_VALUE) {
    CloseHandle(file);
    return {FileClaim::kClaimed, ""};
  }
  DWORD error = GetLastError();
  // A folder of that name answers "access denied", not "exists".
  if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ||
      (error == ERROR_ACCESS_DENIED && GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES))
    return {FileClaim::kExists, ""};
  return {FileClaim::kFailed, SystemMessage(error)};
}

bool RemoveClaimedFile(const std::string& path) {
  return DeleteFileA(path.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND;
}
