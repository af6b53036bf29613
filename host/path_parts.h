#ifndef ARKIVA_HOST_PATH_PARTS_H_
#define ARKIVA_HOST_PATH_PARTS_H_

#include <string>

// Pure text splitting; the file system is never asked. Backslash and forward
// slash both separate; a leading double quote is skipped.

// The path up to and including its last separator ("" when it has none).
// A vertical bar ends the part of the path that is looked at.
std::string DirectoryPart(const char* path);

// The path after its last separator, up to the first double quote there.
std::string FileNamePart(const char* path);

inline bool IsPathSeparator(char c) { return c == '\\' || c == '/'; }

#endif  // ARKIVA_HOST_PATH_PARTS_H_
