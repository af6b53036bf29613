#include "host/files/file_identity.h"

#include <windows.h>

#include "host/wide_text.h"

FileIdentity QueryFileIdentity(const std::string& path) {
  HANDLE file = CreateFileW(Wide(path).c_str(), FILE_READ_ATTRIBUTES,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, NULL);
  if (file == INVALID_HANDLE_VALUE)
    return {};
  BY_HANDLE_FILE_INFORMATION info;
  FileIdentity identity;
  if (GetFileInformationByHandle(file, &info)) {
    identity.volume = info.dwVolumeSerialNumber;
    identity.number = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    identity.birth = (static_cast<int64_t>(info.ftCreationTime.dwHighDateTime) << 32) |
                     info.ftCreationTime.dwLowDateTime;
  }
  CloseHandle(file);
  return identity;
}
