#ifndef ARKIVA_HOST_WHOLE_FILE_H_
#define ARKIVA_HOST_WHOLE_FILE_H_

#include <sys/types.h>

#include <string>

// Files read and written whole (POSIX): arkiva's store and the desktop
// entries.

// Makes `folder` and the folders above it that are missing, with `mode`.
bool MakeFolders(const std::string& folder, mode_t mode);

// The file's bytes; false with errno's value in *error when it cannot be read.
bool ReadWholeFile(const std::string& path, std::string* text, int* error);

// Writes `text` to a new file beside `path` and renames it over `path`, so
// that a reader or a crash sees the old file or the new one, never a part.
// The folder must exist. Empty on success, else the system's words for why.
std::string WriteWholeFile(const std::string& path, const std::string& text, mode_t mode);

#endif  // ARKIVA_HOST_WHOLE_FILE_H_
