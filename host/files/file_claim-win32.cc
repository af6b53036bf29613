#include "host/files/file_claim.h"

#include <windows.h>

#include "host/system_error.h"

FileClaim ClaimNewFile(const std::string& path, const std::string&) {
  // Its size, identity and end are read through the handle, as the C
  // runtime of the tar that writes into it reads them.
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, NULL,
                            CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL);
  if (file != INVALID_HANDLE_VALUE)
    return {FileClaim::kClaimed, "", HeldFile(reinterpret_cast<intptr_t>(file))};
  DWORD error = GetLastError();
  // A folder of that name answers "access denied", not "exists".
  if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ||
      (error == ERROR_ACCESS_DENIED && GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES))
    return {FileClaim::kExists, "", HeldFile()};
  return {FileClaim::kFailed, SystemErrorText(error), HeldFile()};
}

bool RemoveClaimedFile(const std::string& path) {
  return DeleteFileA(path.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND;
}
