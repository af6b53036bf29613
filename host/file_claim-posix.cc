#include "host/file_claim.h"

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <unistd.h>

FileClaim ClaimNewFile(const std::string& path) {
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd >= 0) {
    close(fd);
    return {FileClaim::kClaimed, ""};
  }
  if (errno == EEXIST)
    return {FileClaim::kExists, ""};
  std::string reason = strerror(errno);
  return {FileClaim::kFailed, reason + "."};
}

bool RemoveClaimedFile(const std::string& path) {
  return unlink(path.c_str()) == 0 || errno == ENOENT;
}
