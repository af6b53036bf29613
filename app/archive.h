#ifndef ARKIVA_APP_ARCHIVE_H_
#define ARKIVA_APP_ARCHIVE_H_

#include <string>

// The argument lines that archive the item `name` (a bare name, no folder).
struct ArchiveLines {
  std::string tar;  // folder flow: "cf " + tar name + " " + quoted name
  std::string xz;   // folder flow: "-zv " + tar name; file flow: "-zv " + quoted name
};

// tar and xz read an operand that begins with '-' as an option, and Windows'
// tar reads one that begins with '@' as an archive to copy from; such a name
// is written "./name". With `posix_names`, so is a name holding ':', which
// GNU tar reads as host:path.
std::string OperandName(const std::string& name, bool posix_names);

ArchiveLines BuildArchiveLines(const std::string& name, bool folder, bool posix_names);

// Archive mode: archives the item that the first program argument names, in
// its parent folder. Returns the process's exit code: 0 when the archive was
// made or there was nothing to do (no argument, a missing path, an empty
// file), 1 when tar or xz could not be started or failed.
int CreateArchive();

#endif  // ARKIVA_APP_ARCHIVE_H_
