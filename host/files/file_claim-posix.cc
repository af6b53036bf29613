#include "host/files/file_claim.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "host/system_error.h"

FileClaim ClaimNewFile(const std::string& path, const std::string& like) {
  mode_t mode = 0666;
  struct stat item;
  if (!like.empty() && stat(like.c_str(), &item) == 0)
    mode &= S_IRWXU | (item.st_mode & (S_IRWXG | S_IRWXO));
  int fd = open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, mode);
  if (fd >= 0)
    return {FileClaim::kClaimed, "", HeldFile(fd)};
  if (errno == EEXIST)
    return {FileClaim::kExists, "", HeldFile()};
  return {FileClaim::kFailed, SystemErrorText(errno), HeldFile()};
}

bool RemoveClaimedFile(const std::string& path) {
  return unlink(path.c_str()) == 0 || errno == ENOENT;
}
