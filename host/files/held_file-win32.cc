#include "host/files/held_file.h"

#include <windows.h>

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
