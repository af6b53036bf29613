#include "host/files/held_file.h"

#include <windows.h>

void HeldFile::Close() {
  if (handle_ != kNone)
    CloseHandle(reinterpret_cast<HANDLE>(handle_));
  handle_ = kNone;
}

int64_t HeldFile::Size() const {
  LARGE_INTEGER size;
  return handle_ != kNone && GetFileSizeEx(reinterpret_cast<HANDLE>(handle_), &size)
             ? static_cast<int64_t>(size.QuadPart)
             : -1;
}
