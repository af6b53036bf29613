#include "run_record/run_record.h"

#include <dirent.h>
#include <limits.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include "host/files/whole_file.h"
#include "host/process/environment.h"

namespace {

const char kSuffix[] = ".record";

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
  if (!make)
    return access(folder.c_str(), F_OK) == 0 ? folder : "";
  return MakeFolders(folder, 0700) ? folder : "";
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
  int error = 0;
  return ReadWholeFile(path, text, &error);
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
