#include "host/files/file_claim.h"

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include "host/system_error.h"

FileClaim ClaimNewFile(const std::string& path) {
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd >= 0) {
    close(fd);
    return {FileClaim::kClaimed, ""};
  }
  if (errno == EEXIST)
    return {FileClaim::kExists, ""};
  return {FileClaim::kFailed, SystemErrorText(errno)};
}

bool RemoveClaimedFile(const std::string& path) {
  return unlink(path.c_str()) == 0 || errno == ENOENT;
}
