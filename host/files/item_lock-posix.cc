#include "host/files/item_lock.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "host/files/whole_file.h"
#include "host/system_error.h"

namespace {

// `folder` made and opened if it is safely the user's (owned by the user,
// closed to others, not a link); -1 with errno when not.
int OpenOwnFolder(const std::string& folder) {
  if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
    return -1;
  int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  struct stat info;
  if (fd >= 0 && (fstat(fd, &info) != 0 || info.st_uid != getuid() || (info.st_mode & 077))) {
    close(fd);
    errno = EACCES;
    return -1;
  }
  return fd;
}

// The user's own folder for locks, open; -1 with errno when none can be
// had. The runtime folder is the user's alone; without one, a folder in
// /tmp is only a name that another user may take first (and so stop every
// run), so the user's cache comes before it.
int OpenLockFolder() {
  const char* runtime = getenv("XDG_RUNTIME_DIR");
  if (runtime && *runtime == '/')
    return OpenOwnFolder(std::string(runtime) + "/arkiva");
  const char* cache = getenv("XDG_CACHE_HOME");
  const char* home = getenv("HOME");
  std::string base = cache && *cache == '/' ? cache
                     : home && *home == '/' ? std::string(home) + "/.cache"
                                            : "";
  if (!base.empty() && MakeFolders(base + "/arkiva", 0700)) {
    int fd = OpenOwnFolder(base + "/arkiva/locks");
    if (fd >= 0)
      return fd;
  }
  return OpenOwnFolder("/tmp/arkiva-" + std::to_string(getuid()));
}

// The item's path with its folder resolved; as given when the folder is
// not there (the run then finds nothing to do).
std::string ResolvedPath(const std::string& folder, const std::string& name) {
  char resolved[PATH_MAX];
  if (!realpath(folder.empty() ? "." : folder.c_str(), resolved))
    return folder + name;
  std::string path = resolved;
  return path + (path.back() == '/' ? "" : "/") + name;
}

}  // namespace

ItemLock::ItemLock(const std::string& folder, const std::string& name) {
  folder_ = OpenLockFolder();
  if (folder_ < 0) {
    reason_ = SystemErrorText(errno);
    return;
  }
  file_name_ = ItemLockName(ResolvedPath(folder, name));
  // The holder removes the file when it lets go: a lock taken on a file
  // that is no longer under its name is taken again on the new one.
  for (int attempt = 0; attempt < 100; ++attempt) {
    file_ = openat(folder_, file_name_.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (file_ < 0)
      break;
    if (flock(file_, LOCK_EX | LOCK_NB) != 0) {
      int error = errno;
      close(file_);
      file_ = -1;
      if (error == EWOULDBLOCK) {
        state_ = kBusy;
        return;
      }
      errno = error;
      break;
    }
    struct stat held, named;
    if (fstat(file_, &held) == 0 &&
        fstatat(folder_, file_name_.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
        held.st_dev == named.st_dev && held.st_ino == named.st_ino) {
      state_ = kHeld;
      return;
    }
    close(file_);
    file_ = -1;
  }
  reason_ = SystemErrorText(errno);
}

ItemLock::~ItemLock() {
  if (state_ == kHeld)
    unlinkat(folder_, file_name_.c_str(),
             0);  // before the lock goes, so no one holds a removed file
  if (file_ >= 0)
    close(file_);
  if (folder_ >= 0)
    close(folder_);
}
