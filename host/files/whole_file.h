#ifndef ARKIVA_HOST_FILES_WHOLE_FILE_H_
#define ARKIVA_HOST_FILES_WHOLE_FILE_H_

#include <stddef.h>
#include <stdint.h>
#include <sys/types.h>

#include <functional>
#include <string>

// Files and folders read whole, or in parts: xz's output checked, a folder
// counted before tar runs, and (POSIX) arkiva's store and the desktop
// entries read and written.

// Reads `size` bytes of the file `path` from `offset` into *bytes; false
// when the file cannot be read or holds fewer. A `failure` learns the
// system's words when it refused (to open or to read); it stays empty for a
// file that is only shorter. Only a regular file is read: a FIFO or a
// device in its place is refused at once.
bool ReadFileRange(const std::string& path, int64_t offset, size_t size, std::string* bytes,
                   std::string* failure = nullptr);

// A plain tar header holds a modification time of eleven octal digits:
// from 1970 to 2242. Another needs a record of its own.
inline bool FitsTarHeader(int64_t modified) {
  return modified >= 0 && modified <= 077777777777;
}

// What lies under a folder, counted in one walk: the sizes of its files
// summed, and its entries (files, folders, links). Links are not followed;
// what cannot be read below the folder counts as nothing.
struct FolderTally {
  uint64_t bytes = 0;
  uint64_t entries = 0;
  bool odd_times = false;  // the folder or an entry has a time !FitsTarHeader
  bool stopped = false;    // `keep_going` said no: the tally is short
  std::string unreadable;  // the folder itself could not be listed: why, in
                           // words for the user
};

// A large tree takes long to walk: every kTallyStep entries the walk asks
// `keep_going` (when given) whether to go on, which is also the caller's
// time to show that it is walking.
const uint64_t kTallyStep = 256;
FolderTally TallyFolder(const std::string& folder,
                        const std::function<bool(const FolderTally&)>& keep_going = nullptr);

#ifndef _WIN32

// Makes `folder` and the folders above it that are missing, with `mode`.
bool MakeFolders(const std::string& folder, mode_t mode);

// The file's bytes; false with errno's value in *error when it cannot be read.
bool ReadWholeFile(const std::string& path, std::string* text, int* error);

// Writes all of `text` to the open descriptor `fd` from where it stands,
// however many calls that takes; 0, else errno's value.
int WriteAll(int fd, const std::string& text);

// Writes `text` to a new file beside `path` and renames it over `path`, so
// that a reader or a crash sees the old file or the new one, never a part.
// The folder must exist. Empty on success, else the system's words for why.
std::string WriteWholeFile(const std::string& path, const std::string& text, mode_t mode);

#endif  // _WIN32

#endif  // ARKIVA_HOST_FILES_WHOLE_FILE_H_
