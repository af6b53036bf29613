#ifndef ARKIVA_HOST_FILES_PATH_LIMIT_H_
#define ARKIVA_HOST_FILES_PATH_LIMIT_H_

#include <string>

// Windows programs, and CreateProcess's working folder, take paths of at
// most MAX_PATH - 1 characters (counted in UTF-16) unless the machine has
// long paths enabled, which arkiva does not assume; POSIX programs and
// chdir take at most PATH_MAX - 1 bytes. arkiva says so before it starts
// anything, rather than let tar or xz fail on the way.
//
// Empty when `path` is within that limit, else why not, in words that follow
// "its path is": "486 characters long, and Windows programs accept at most 259".
std::string CheckPathLength(const std::string& path);

#endif  // ARKIVA_HOST_FILES_PATH_LIMIT_H_
