#ifndef ARKIVA_HOST_FILES_PATH_PARTS_H_
#define ARKIVA_HOST_FILES_PATH_PARTS_H_

#include <string>

// Pure text splitting; the file system is never asked. Backslash and forward
// slash both separate; a leading double quote is skipped.

// This system's names: POSIX's, where only '/' separates and a path is
// absolute when it begins with one, or Windows'.
#ifdef _WIN32
const bool kPosixNames = false;
#else
const bool kPosixNames = true;
#endif

// The path up to and including its last separator ("" when it has none).
// A vertical bar ends the part of the path that is looked at.
std::string DirectoryPart(const char* path);

// The path after its last separator, up to the first double quote there.
std::string FileNamePart(const char* path);

// The item a path names, split for the archive flow: the folder to work in
// (up to and including the last separator; empty for the current folder)
// and the item's name. Trailing separators are dropped first, so that
// "C:\Photos\" names Photos. Windows names follow DirectoryPart's and
// FileNamePart's rules; with `posix_names` only '/' separates, and quotes,
// bars and backslashes are parts of names as Linux allows them. An empty
// name: the path is a root (C:\, /), with no parent folder to work in.
struct ItemPath {
  std::string folder;
  std::string name;
};
ItemPath SplitItemPath(const std::string& path, bool posix_names);

// Whether `path` names the same place wherever it is used from: with
// `posix_names`, one that begins with '/'; else one that begins with a
// drive (C:\ or C:/) or a share (\\server).
bool IsAbsolutePath(const std::string& path, bool posix_names);

inline bool IsPathSeparator(char c) {
  return c == '\\' || c == '/';
}

// The folder that holds `path`, by POSIX's rules: the text before its last
// '/', "/" for a name at the root, "." for a bare name.
std::string ParentFolder(const std::string& path);

// Windows programs, and CreateProcess's working folder, take paths of at
// most MAX_PATH - 1 characters (counted in UTF-16) unless the machine has
// long paths enabled, which arkiva does not assume; POSIX programs and
// chdir take at most PATH_MAX - 1 bytes. arkiva says so before it starts
// anything, rather than let tar or xz fail on the way.
//
// Empty when `path` is within that limit, else why not, in words that follow
// "its path is": "486 characters long, and Windows programs accept at most 259".
std::string CheckPathLength(const std::string& path);

#endif  // ARKIVA_HOST_FILES_PATH_PARTS_H_
