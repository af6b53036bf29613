#include "host/files/file_identity.h"

#include <fcntl.h>
#include <sys/stat.h>

namespace {

FileIdentity StatxIdentity(int folder, const char* path, int flags) {
  struct statx info;
  if (statx(folder, path, flags, STATX_INO | STATX_BTIME, &info) != 0)
    return {};
  FileIdentity identity;
  identity.volume = (static_cast<uint64_t>(info.stx_dev_major) << 32) | info.stx_dev_minor;
  identity.number = info.stx_ino;
  if (info.stx_mask & STATX_BTIME)
    identity.birth = info.stx_btime.tv_sec * 1000000000LL + info.stx_btime.tv_nsec;
  return identity;
}

}  // namespace

FileIdentity QueryFileIdentity(const std::string& path) {
  return StatxIdentity(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW);
}

FileIdentity QueryHandleIdentity(intptr_t handle) {
  return StatxIdentity(static_cast<int>(handle), "", AT_EMPTY_PATH);
}
