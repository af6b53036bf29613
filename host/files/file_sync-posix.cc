#include "host/files/file_sync.h"

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include "host/files/path_parts.h"
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
  int error = SyncPath(path, 0);
  if (!error)
    error = SyncPath(ParentFolder(path), O_DIRECTORY);
  return error ? SystemErrorText(error) : "";
}
