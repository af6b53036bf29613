#include "host/file_size.h"

#include <errno.h>
#include <fcntl.h>
#include <fts.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "host/system_error.h"

int64_t QueryFileSize(const char* path, std::string* unreachable) {
  if (unreachable)
    unreachable->clear();
  if (!path || !*path)
    return kSizeNothing;
  std::string copy(path);
  while (!copy.empty() && copy.back() == '/')  // a backslash is part of a name
    copy.pop_back();
  if (copy.empty())
    copy = "/";  // the root itself
  struct stat st;
  if (stat(copy.c_str(), &st) != 0) {
    if (unreachable)
      *unreachable = UnreachableBecause(errno);
    return kSizeNothing;
  }
  if (S_ISDIR(st.st_mode))
    return kSizeFolder;
  if (S_ISREG(st.st_mode))
    return static_cast<int64_t>(st.st_size);
  return kSizeNothing;
}

int64_t GrowingFileSize(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? static_cast<int64_t>(st.st_size) : -1;
}

int64_t FileModifiedTime(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? static_cast<int64_t>(st.st_mtime) : -1;
}

bool ReadFileRange(const std::string& path, int64_t offset, size_t size, std::string* bytes) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0)
    return false;
  bytes->assign(size, '\0');
  size_t done = 0;
  while (done < size) {
    ssize_t got = pread(fd, &(*bytes)[done], size - done, static_cast<off_t>(offset + done));
    if (got < 0 && errno == EINTR)
      continue;
    if (got <= 0)
      break;
    done += static_cast<size_t>(got);
  }
  close(fd);
  return done == size;
}

FolderTally TallyFolder(const std::string& folder) {
  FolderTally tally;
  char* paths[] = {const_cast<char*>(folder.c_str()), nullptr};
  FTS* walk = fts_open(paths, FTS_PHYSICAL | FTS_NOCHDIR, nullptr);
  if (!walk)
    return tally;
  while (FTSENT* entry = fts_read(walk)) {
    if (entry->fts_info == FTS_DP || entry->fts_level == 0)
      continue;  // a folder's second visit, and the folder itself
    ++tally.entries;
    if (entry->fts_info == FTS_F)
      tally.bytes += static_cast<uint64_t>(entry->fts_statp->st_size);
  }
  fts_close(walk);
  return tally;
}
