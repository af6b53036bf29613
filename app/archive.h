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

// How a run ended and, when it failed, why, in words for the user.
struct ArchiveStatus {
  enum Outcome { kArchived, kNothingToDo, kFailed, kCancelled } outcome;
  std::string cause;  // kFailed: completes "Could not archive "Name": "
};

// Archives the folder or file `argument` names, in its parent folder. A
// folder's Name.tar is claimed first, so an existing Name.tar or Name.tar.xz
// (or a file's name.xz) stops the run before anything starts; a run that
// fails, or that the user cancels or interrupts, removes the Name.tar it made.
// Nothing to do: no argument, a missing path, an empty file.
ArchiveStatus ArchiveItem(const std::string& argument);

// Archive mode: archives the item that the first program argument names and
// tells the user of a failure (ReportFailure). Returns the process's exit
// code: 0 when the archive was made or there was nothing to do, 1 when not
// (a run the user cancelled says nothing more).
int CreateArchive();

#endif  // ARKIVA_APP_ARCHIVE_H_
