#ifndef ARKIVA_APP_ARCHIVE_TAR_H_
#define ARKIVA_APP_ARCHIVE_TAR_H_

#include <stdint.h>

#include <string>
#include <vector>

#include "app/archive/item.h"
#include "app/archive/program_run.h"
#include "host/files/file_size.h"
#include "host/process/subprocess.h"

// The verdict

// A folder that the user can read only in part (a subfolder of another
// user's, a file another program holds locked, a log written while tar reads
// it) still makes an archive of all the rest: tar goes on past each such
// entry, says so, and ends with a non-zero code (GNU tar 1 or 2, bsdtar 1).
// What tar said tells those runs from the ones that failed outright (a full
// disk, an archive it cannot write), in any language it speaks: every line
// of a run that merely skipped names a path inside the item.

// How one run of tar came out.
struct TarResult {
  enum Outcome {
    kWhole,         // every entry, as it was
    kWithWarnings,  // the rest is in it; `warnings` are tar's lines about
                    // what it left out or found changed, "tar: " taken off
    kFailed,        // no archive to keep
  } outcome;
  std::vector<std::string> warnings;
};

// What a tar that went on past what it could not read must still have
// written for the rest to be kept: a whole archive, of whole 512-byte blocks
// that end with the two zero blocks closing an archive. `size` is what it
// wrote, `tail` its last kTarEndBytes (or all of it, when less).
const size_t kTarEndBytes = 1024;
bool IsWholeTarArchive(int64_t size, const std::string& tail);

// Judges a tar run on the operand `item` (as tar got it) from how it ended
// and all that it said.
TarResult JudgeTar(const ProgramRun& tar, const std::vector<std::string>& items);

// The line tar ends with after errors it went on from, in each language it
// may speak here ("Exiting with failure status due to previous errors").
std::vector<std::string> TarClosingLines();

// What tar must not get from the user's environment: options that change
// what it writes (TAR_OPTIONS=--remove-files would delete the item).
ChildEnvironment TarEnvironment();

// The first `shown` of `lines`, then "and N more." for the rest.
std::string ShortList(const std::vector<std::string>& lines, size_t shown);

// The step

// A folder's run from its claim on: Name.tar is created by this run and held
// (an existing Name.tar or Name.tar.xz stops the run first), tar writes into
// it with its progress shown against `tally` (the folder's walk), and xz
// replaces it with Name.tar.xz. What tar could not read becomes a warning.
// Whatever goes wrong, the Name.tar this run made is removed again, and
// only that: a file another put in its place is never touched.
ArchiveStatus ArchiveFolder(const ItemRun& run, const FolderTally& tally);

#endif  // ARKIVA_APP_ARCHIVE_TAR_H_
