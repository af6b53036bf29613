// Writes the files that the Debian package installs for every user under
// `root`: the Dolphin, Nemo and file-manager-actions entries in /usr/share,
// each like a user's own, and the read-only store that tells arkiva it is
// installed, so that a new user's first click archives at once.
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <fstream>
#include <string>

#include "app/setup.h"
#include "desktop/entry_file.h"

namespace {

bool MakeFolders(const std::string& folder) {
  for (size_t at = 1; at != std::string::npos;) {
    at = folder.find('/', at + 1);
    mkdir(folder.substr(0, at).c_str(), 0755);
  }
  struct stat st;
  return stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool Write(const std::string& path, const std::string& text) {
  if (!MakeFolders(path.substr(0, path.rfind('/'))))
    return false;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  return static_cast<bool>(out.flush());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: %s ROOT PROGRAM\n", argv[0]);
    return 2;
  }
  std::string root = argv[1], program = argv[2];
  std::string share = root + "/usr/share";
  // System folders need no executable bit: KIO trusts what is installed there.
  for (const EntryFile& entry : {DolphinServiceMenu(share, program), NemoAction(share, program),
                                 FileManagerAction(share, program)}) {
    if (!Write(entry.path, entry.text)) {
      perror(entry.path.c_str());
      return 1;
    }
  }
  std::string store = share + "/arkiva/registry.reg";
  if (!MakeFolders(share + "/arkiva"))
    return 1;
  setenv("ARKIVA_REGISTRY", store.c_str(), 1);
  std::string failed_key, reason;
  if (!WriteMenuKeys(program, &failed_key, &reason)) {
    fprintf(stderr, "%s: %s\n", failed_key.c_str(), reason.c_str());
    return 1;
  }
  remove((store + ".lock").c_str());
  chmod(store.c_str(), 0644);
  return 0;
}
