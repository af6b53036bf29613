#include "host/files/file_sync.h"

#include <windows.h>

#include "host/system_error.h"
#include "host/wide_text.h"

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
