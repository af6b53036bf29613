#include "host/files/file_identity.h"

#include <windows.h>

#include "host/wide_text.h"

FileIdentity QueryHandleIdentity(intptr_t handle) {
  BY_HANDLE_FILE_INFORMATION info;
  FileIdentity identity;
  // NTFS's file index holds, in its top 16 bits, a sequence number that
  // changes whenever the file's record is used again: the index alone tells
  // a later file from this one. (The creation time would too, but Wine
  // reports the last change there.)
  if (GetFileInformationByHandle(reinterpret_cast<HANDLE>(handle), &info)) {
    identity.volume = info.dwVolumeSerialNumber;
    identity.number = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  }
  return identity;
}

FileIdentity QueryFileIdentity(const std::string& path) {
  HANDLE file = CreateFileW(Wide(path).c_str(), FILE_READ_ATTRIBUTES,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, NULL);
  if (file == INVALID_HANDLE_VALUE)
    return {};
  FileIdentity identity = QueryHandleIdentity(reinterpret_cast<intptr_t>(file));
  CloseHandle(file);
  return identity;
}
