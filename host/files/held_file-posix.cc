#include "host/files/held_file.h"

#include <sys/stat.h>
#include <unistd.h>

void HeldFile::Close() {
  if (handle_ != kNone)
    close(static_cast<int>(handle_));
  handle_ = kNone;
}

int64_t HeldFile::Size() const {
  struct stat st;
  return handle_ != kNone && fstat(static_cast<int>(handle_), &st) == 0
             ? static_cast<int64_t>(st.st_size)
             : -1;
}
