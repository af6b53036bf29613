#include "host/files/file_sync.h"

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include "host/system_error.h"

namespace {

int SyncPath(const std::string& path, int flags) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | flags);
  if (fd < 0)
    return errno;
  int error = fsync(fd) == 0 ? 0 : errno;
  close(fd);
  return error;
}

}  // namespace

std::string SyncFile(const std::string& path) {
  size_t slash = path.rfind('/');
  std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  int error = SyncPath(path, 0);
  if (!error)
    error = SyncPath(folder, O_DIRECTORY);
  return error ? SystemErrorText(error) : "";
}
