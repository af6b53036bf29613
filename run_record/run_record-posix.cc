#include "run_record/run_record.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include "host/files/whole_file.h"
#include "host/process/environment.h"

namespace {

const char kSuffix[] = ".record";

// Only what the user alone can have written tells of the user's runs: with
// root running arkiva with a user's HOME, or a state folder that others may
// write, a record could name any file for removal.
bool UsersOwn(const struct stat& info) {
  return info.st_uid == geteuid() && (info.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

// The records' folder, a real folder of the user's own.
bool TrustedFolder(const std::string& folder) {
  struct stat info;
  return lstat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && UsersOwn(info);
}

}  // namespace

std::string RunRecordFolder(bool make) {
  // XDG: a relative path is to be ignored.
  std::string state, home, base;
  if (ReadEnvironment("XDG_STATE_HOME", &state) && !state.empty() && state[0] == '/')
    base = state;
  else if (ReadEnvironment("HOME", &home) && !home.empty())
    base = home + "/.local/state";
  if (base.empty())
    return "";
  std::string folder = base + "/arkiva";
  if (make && !MakeFolders(folder, 0700))
    return "";
  return TrustedFolder(folder) ? folder : "";
}

std::string NewRunRecordPath(const std::string& folder) {
  static int made = 0;
  timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  return folder + "/run-" + std::to_string(getpid()) + "-" + std::to_string(now.tv_sec) + "-" +
         std::to_string(now.tv_nsec) + "-" + std::to_string(++made) + kSuffix;
}

std::vector<std::string> ListRunRecords(const std::string& folder) {
  std::vector<std::string> records;
  DIR* dir = opendir(folder.c_str());
  if (!dir)
    return records;
  while (dirent* entry = readdir(dir)) {
    std::string name = entry->d_name;
    size_t suffix = sizeof(kSuffix) - 1;
    if (name.size() > suffix && name.compare(name.size() - suffix, suffix, kSuffix) == 0)
      records.push_back(folder + "/" + name);
  }
  closedir(dir);
  return records;
}

bool ReadRunRecord(const std::string& path, std::string* text) {
  int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0)
    return false;
  struct stat info;
  bool ok = fstat(fd, &info) == 0 && UsersOwn(info) && S_ISREG(info.st_mode) &&
            static_cast<uint64_t>(info.st_size) <= kMaxRecordBytes;
  text->clear();
  char buffer[4096];
  ssize_t got = 0;
  while (ok && text->size() <= kMaxRecordBytes && (got = read(fd, buffer, sizeof(buffer))) > 0)
    text->append(buffer, got);
  close(fd);
  return ok && got == 0 && text->size() <= kMaxRecordBytes;
}

bool WriteRunRecord(const std::string& path, const std::string& text) {
  return WriteWholeFile(path, text, 0600).empty();
}

void RemoveRunRecord(const std::string& path) {
  unlink(path.c_str());
}

std::string AbsoluteFolder(const std::string& folder) {
  char* resolved = realpath(folder.empty() ? "." : folder.c_str(), nullptr);
  if (!resolved)
    return folder;
  std::string absolute = resolved;
  free(resolved);
  return absolute == "/" ? absolute : absolute + "/";
}
