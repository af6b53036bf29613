#ifndef ARKIVA_HOST_FILES_FILE_CLAIM_H_
#define ARKIVA_HOST_FILES_FILE_CLAIM_H_

#include <string>

#include "host/files/held_file.h"

// Output names are claimed before anything runs: of two runs that want one
// name, exactly one gets it, and a file that is already there is never
// replaced. The file system decides (CREATE_NEW on Windows, O_CREAT|O_EXCL
// on POSIX), so runs in separate processes cannot both win.

struct FileClaim {
  enum Result { kClaimed, kExists, kFailed } result;
  std::string reason;  // kFailed: the system's words for why, e.g. "Access is denied."
  HeldFile file;       // kClaimed: the new file, open for writing
};

// Creates `path` as a new empty file and holds it open for writing, so
// that what the run writes goes into this file and never, through a name
// swapped meanwhile, into another's (others may only read it while it is
// held, on Windows). With `like`, the
// item the file is made from, it is no more open than that item: POSIX
// gives it no group or other permission the item lacks (a private 0700
// folder makes a 0600 archive, which xz passes on to Name.tar.xz);
// Windows gives every new file its folder's inherited permissions.
FileClaim ClaimNewFile(const std::string& path, const std::string& like = "");

// Removes a file this run claimed; true when it is gone.
bool RemoveClaimedFile(const std::string& path);

#endif  // ARKIVA_HOST_FILES_FILE_CLAIM_H_
