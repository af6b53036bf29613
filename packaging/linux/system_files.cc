// Writes the files that the Debian package installs for every user under
// `root`: the Dolphin, Nemo and file-manager-actions entries (both of them) and the
// progress window's application entry in /usr/share, each like a user's own, and the read-only
// store that tells arkiva it is installed, so that a new user's first click archives at once.
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <string>

#include "app/setup/setup.h"
#include "desktop/entry_file.h"
#include "host/files/path_parts.h"
#include "host/files/whole_file.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: %s ROOT PROGRAM\n", argv[0]);
    return 2;
  }
  std::string root = argv[1], program = argv[2];
  std::string share = root + "/usr/share";
  // System folders need no executable bit: KIO trusts what is installed there.
  for (const EntryFile& entry :
       {DolphinServiceMenu(share, program), NemoAction(share, program),
        FileManagerAction(share, program), DolphinServiceMenu(share, program, kOneEntry),
        NemoAction(share, program, kOneEntry), FileManagerAction(share, program, kOneEntry),
        ProgressWindowEntry(share, program)}) {
    std::string folder = ParentFolder(entry.path);
    std::string why = MakeFolders(folder, 0755) ? WriteWholeFile(entry.path, entry.text, 0644)
                                                : "its folder could not be made";
    if (!why.empty()) {
      fprintf(stderr, "%s: %s\n", entry.path.c_str(), why.c_str());
      return 1;
    }
  }
  std::string store = share + "/arkiva/registry.reg";
  MakeFolders(share + "/arkiva", 0755);  // readable by all, unlike a user's store
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
