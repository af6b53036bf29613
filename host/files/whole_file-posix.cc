#include "host/files/whole_file.h"

#include <errno.h>
#include <fcntl.h>
#include <fts.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include "host/files/path_parts.h"
#include "host/system_error.h"

bool MakeFolders(const std::string& folder, mode_t mode) {
  for (size_t at = 1; at != std::string::npos;) {
    at = folder.find('/', at + 1);
    if (mkdir(folder.substr(0, at).c_str(), mode) != 0 && errno != EEXIST)
      return false;
  }
  struct stat st;
  return stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool ReadWholeFile(const std::string& path, std::string* text, int* error) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    *error = errno;
    return false;
  }
  text->clear();
  char buffer[8192];
  ssize_t got;
  while ((got = read(fd, buffer, sizeof(buffer))) > 0)
    text->append(buffer, got);
  *error = got < 0 ? errno : 0;
  close(fd);
  return got == 0;
}

int WriteAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    ssize_t wrote = write(fd, text.data() + done, text.size() - done);
    if (wrote < 0 && errno == EINTR)
      continue;
    if (wrote < 0)
      return errno;
    if (wrote == 0)
      return EIO;
    done += wrote;
  }
  return 0;
}

std::string WriteWholeFile(const std::string& path, const std::string& text, mode_t mode) {
  std::string folder = ParentFolder(path);
  std::string temporary = folder + "/.arkiva-XXXXXX";
  int fd = mkostemp(&temporary[0], O_CLOEXEC);
  if (fd < 0)
    return SystemErrorText(errno);
  int error = WriteAll(fd, text);
  if (!error && (fchmod(fd, mode) != 0 || fsync(fd) != 0))
    error = errno;
  if (close(fd) != 0 && !error)
    error = errno;
  if (!error && rename(temporary.c_str(), path.c_str()) != 0)
    error = errno;
  if (error) {
    unlink(temporary.c_str());
    return SystemErrorText(error);
  }
  // The rename itself lasts once the folder is on disk.
  int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    fsync(dir);
    close(dir);
  }
  return "";
}

bool ReadFileRange(const std::string& path, int64_t offset, size_t size, std::string* bytes,
                   std::string* failure) {
  // A FIFO or a device put in a file's place by someone who can write the
  // folder would hold the open or the reads forever: only a regular file
  // is read.
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    if (failure)
      *failure = SystemErrorText(errno);
    return false;
  }
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return false;
  }
  bytes->assign(size, '\0');
  size_t done = 0;
  while (done < size) {
    ssize_t got = pread(fd, &(*bytes)[done], size - done, static_cast<off_t>(offset + done));
    if (got < 0 && errno == EINTR)
      continue;
    if (got < 0 && failure)
      *failure = SystemErrorText(errno);
    if (got <= 0)
      break;
    done += static_cast<size_t>(got);
  }
  close(fd);
  return done == size;
}

FolderTally TallyFolder(const std::string& folder,
                        const std::function<bool(const FolderTally&)>& keep_going) {
  FolderTally tally;
  char* paths[] = {const_cast<char*>(folder.c_str()), nullptr};
  FTS* walk = fts_open(paths, FTS_PHYSICAL | FTS_NOCHDIR, nullptr);
  if (!walk)
    return tally;
  while (FTSENT* entry = fts_read(walk)) {
    if (entry->fts_level == 0 &&
        (entry->fts_info == FTS_DNR || entry->fts_info == FTS_ERR || entry->fts_info == FTS_NS)) {
      tally.unreadable = UnreachableBecause(entry->fts_errno);
      if (tally.unreadable.empty())
        tally.unreadable = SystemErrorText(entry->fts_errno);
    }
    if (entry->fts_statp && entry->fts_info != FTS_NS && entry->fts_info != FTS_DP &&
        !FitsTarHeader(entry->fts_statp->st_mtime))
      tally.odd_times = true;
    if (entry->fts_info == FTS_DP || entry->fts_level == 0)
      continue;  // a folder's second visit, and the folder itself
    ++tally.entries;
    if (entry->fts_info == FTS_F)
      tally.bytes += static_cast<uint64_t>(entry->fts_statp->st_size);
    if (keep_going && tally.entries % kTallyStep == 0 && !keep_going(tally)) {
      tally.stopped = true;
      break;
    }
  }
  fts_close(walk);
  return tally;
}
