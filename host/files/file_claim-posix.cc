#include "host/files/file_claim.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include "host/files/path_parts.h"
#include "host/files/whole_file.h"
#include "host/system_error.h"

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

FileClaim ClaimNewFile(const std::string& path, const std::string& like) {
  mode_t mode = 0666;
  struct stat item;
  if (!like.empty() && stat(like.c_str(), &item) == 0)
    mode &= S_IRWXU | (item.st_mode & (S_IRWXG | S_IRWXO));
  int fd = open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, mode);
  if (fd >= 0)
    return {.result = FileClaim::kClaimed, .file = HeldFile(fd)};
  if (errno == EEXIST)
    return {.result = FileClaim::kExists};
  return {.result = FileClaim::kFailed, .reason = SystemErrorText(errno)};
}

HeldFile TemporaryFile(const std::string& text, std::string* reason) {
  const char* tmpdir = getenv("TMPDIR");
  std::string folder = tmpdir && *tmpdir == '/' ? tmpdir : "/tmp";
  int fd = open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd < 0) {  // a file system without unnamed files
    std::string name = folder + "/.arkiva-XXXXXX";
    fd = mkostemp(&name[0], O_CLOEXEC);
    if (fd >= 0)
      unlink(name.c_str());
  }
  HeldFile file(fd);
  int error = fd < 0 ? errno : WriteAll(fd, text);
  if (!error && lseek(fd, 0, SEEK_SET) != 0)
    error = errno;
  if (error) {
    *reason = SystemErrorText(error);
    file.Close();
  }
  return file;
}

bool RemoveClaimedFile(const std::string& path) {
  return unlink(path.c_str()) == 0 || errno == ENOENT;
}

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
