#include "host/files/held_file.h"

#include <sys/stat.h>
#include <unistd.h>

void HeldFile::Close() {
  if (handle_ != kNone)
    close(static_cast<int>(handle_));
  handle_ = kNone;
}

std::string HeldFile::ReadAt(int64_t offset, size_t bytes) const {
  std::string data(bytes, '\0');
  ssize_t got = handle_ != kNone ? pread(static_cast<int>(handle_), &data[0], bytes, offset) : -1;
  data.resize(got > 0 ? static_cast<size_t>(got) : 0);
  return data;
}

int64_t HeldFile::Size() const {
  struct stat st;
  return handle_ != kNone && fstat(static_cast<int>(handle_), &st) == 0
             ? static_cast<int64_t>(st.st_size)
             : -1;
}
