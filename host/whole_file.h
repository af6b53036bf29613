#ifndef ARKIVA_HOST_WHOLE_FILE_H_
#define ARKIVA_HOST_WHOLE_FILE_H_

#include <stddef.h>
#include <stdint.h>
#include <sys/types.h>

#include <string>

// Files and folders read whole, or in parts: xz's output checked, a folder
// counted before tar runs, and (POSIX) arkiva's store and the desktop
// entries read and written.

// Reads `size` bytes of the file `path` from `offset` into *bytes; false
// when the file cannot be read or holds fewer.
bool ReadFileRange(const std::string& path, int64_t offset, size_t size, std::string* bytes);

// What lies under a folder, counted in one walk: the sizes of its files
// summed, and its entries (files, folders, links). Links are not followed;
// what cannot be read counts as nothing.
struct FolderTally {
  uint64_t bytes = 0;
  uint64_t entries = 0;
};
FolderTally TallyFolder(const std::string& folder);

#ifndef _WIN32

// Makes `folder` and the folders above it that are missing, with `mode`.
bool MakeFolders(const std::string& folder, mode_t mode);

// The file's bytes; false with errno's value in *error when it cannot be read.
bool ReadWholeFile(const std::string& path, std::string* text, int* error);

// Writes `text` to a new file beside `path` and renames it over `path`, so
// that a reader or a crash sees the old file or the new one, never a part.
// The folder must exist. Empty on success, else the system's words for why.
std::string WriteWholeFile(const std::string& path, const std::string& text, mode_t mode);

#endif  // _WIN32

#endif  // ARKIVA_HOST_WHOLE_FILE_H_
