#ifndef ARKIVA_DESKTOP_WHOLE_FILE_H_
#define ARKIVA_DESKTOP_WHOLE_FILE_H_

#include <sys/types.h>

#include <string>

// Files read and written whole, for the desktop entries (POSIX).

// The file's bytes; false with errno's value in *error when it cannot be read.
bool ReadWholeFile(const std::string& path, std::string* text, int* error);

// Writes `text` to a new file beside `path` and renames it over `path`, so
// that a crash leaves the old file or the new one, never a part; the
// folders on the way are made. Empty on success, else why not.
std::string WriteWholeFile(const std::string& path, const std::string& text, mode_t mode);

#endif  // ARKIVA_DESKTOP_WHOLE_FILE_H_
