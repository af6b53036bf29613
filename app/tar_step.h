#ifndef ARKIVA_APP_TAR_STEP_H_
#define ARKIVA_APP_TAR_STEP_H_

#include "app/item_run.h"
#include "host/files/file_size.h"

// A folder's run from its claim on: Name.tar is created by this run and held
// (an existing Name.tar or Name.tar.xz stops the run first), tar writes into
// it with its progress shown against `tally` (the folder's walk), and xz
// replaces it with Name.tar.xz. What tar could not read becomes a warning.
// Whatever goes wrong, the Name.tar this run made is removed again, and
// only that: a file another put in its place is never touched.
ArchiveStatus ArchiveFolder(const ItemRun& run, const FolderTally& tally);

#endif  // ARKIVA_APP_TAR_STEP_H_
