#include "host/files/file_identity.h"

#include <fcntl.h>
#include <sys/stat.h>

FileIdentity QueryFileIdentity(const std::string& path) {
  struct statx info;
  if (statx(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW, STATX_INO | STATX_BTIME, &info) != 0)
    return {};
  FileIdentity identity;
  identity.volume = (static_cast<uint64_t>(info.stx_dev_major) << 32) | info.stx_dev_minor;
  identity.number = info.stx_ino;
  if (info.stx_mask & STATX_BTIME)
    identity.birth = info.stx_btime.tv_sec * 1000000000LL + info.stx_btime.tv_nsec;
  return identity;
}
