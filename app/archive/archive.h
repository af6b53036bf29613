#ifndef ARKIVA_APP_ARCHIVE_ARCHIVE_H_
#define ARKIVA_APP_ARCHIVE_ARCHIVE_H_

#include <functional>
#include <string>
#include <vector>

#include "host/files/whole_file.h"
#include "host/process/subprocess.h"
#include "host/ui/progress.h"

// The arguments that archive the item `name` (a bare name, no folder); on
// Windows their ArgumentLine is the exact line each program gets.
struct ArchiveLines {
  CommandArguments tar{};  // folder flow: cf - "Name", into the claimed Name.tar
  CommandArguments xz{};   // folder flow: -zv "Name.tar"; file flow: -zv "Name"
  // What tar stores, as tar gets each name: the item, or a selection's items.
  std::vector<std::string> tar_items{};
  // A selection: its names, each ended by a NUL, which tar reads on its
  // standard input (-T -) where a command line could not hold them all.
  std::string tar_input{};
};

// tar and xz read an operand that begins with '-' as an option, and Windows'
// tar reads one that begins with '@' as an archive to copy from; such a name
// is written "./name". With `posix_names`, so is a name holding ':', which
// GNU tar reads as host:path.
std::string OperandName(const std::string& name, bool posix_names);

// With `posix_names` tar is GNU tar, and it writes the POSIX (pax) format:
// its default format keeps a name as bare bytes, which Windows' own tar
// reads in the old code page (Cyrillic comes out as box drawings), while a
// pax name is UTF-8 to every reader. Its atime, ctime and sub-second mtime
// records are left out, so that only entries that need a record (a name
// that is not ASCII or is long, a long link target, a large size) get one
// and an archive of many small files stays as small as before. bsdtar, the
// Windows tar, writes that format on its own.
ArchiveLines BuildArchiveLines(const std::string& name, bool folder, bool posix_names);

// The tar line that keeps every mtime record, for a folder whose walk met a
// time that a plain header cannot hold (FitsTarHeader): left out, GNU tar
// would store it as 1970-01-01. bsdtar's line has nothing to keep.
CommandArguments KeepingModificationTimes(const CommandArguments& tar);

// The arguments that archive the items `names` of one folder into one
// Name.tar.xz (`stem` is Name), each item at the archive's top with all it
// holds, in their order.
ArchiveLines BuildSelectionLines(const std::string& stem, const std::vector<std::string>& names,
                                 bool posix_names);

// How a run ended and, when it failed, why, in words for the user.
struct ArchiveStatus {
  enum Outcome { kArchived, kNothingToDo, kFailed, kCancelled } outcome;
  std::string cause{};         // kFailed: completes "Could not archive "Name": "
  std::string archive_name{};  // kArchived: "Name.tar.xz"
  std::string warning{};       // kArchived: what the user must know of the
                               // archive (entries tar could not read, xz's
                               // warning); "" for none
};

// Where an item stands in its run, for the run's progress display.
struct ItemProgress {
  Progress* progress = nullptr;        // the run's display; null: none
  size_t item = 1, items = 1;          // item 2 of 5
  double from = 0, to = 1;             // its share of the whole run, 0 to 1
  const FolderTally* tally = nullptr;  // a folder walked already; null: walked when needed
};

// Archives the folder or file `argument` names, in its parent folder. The run
// holds the locks of the item and of every name it writes throughout: a second
// start that needs any of them fails at once and touches nothing. A folder's
// Name.tar is claimed first, so an existing Name.tar or Name.tar.xz (or a
// file's name.xz) stops the run before anything starts; a run that fails, or
// that the user cancels or interrupts, removes the Name.tar it made. Nothing
// to do: no argument, a missing path, an empty file. `where` is the item's
// place in the run's progress.
ArchiveStatus ArchiveItem(const std::string& argument, const ItemProgress& where = {});

// The item as the user knows it, for reports: its name, or the whole
// argument when it names a root.
std::string ItemName(const std::string& argument);

// A selection to make one archive of: the items of one folder.
struct Selection {
  enum Kind {
    kNothing,     // no item
    kOneItem,     // one: archived as "Create tar.xz" archives it
    kItems,       // two or more in `folder`
    kTwoFolders,  // items of more than one folder (a search, Recent): refused
  } kind = kNothing;
  std::string folder{};                  // with its separator; "" for the current one
  std::vector<std::string> arguments{};  // each item once, as it was given, in its order
  std::vector<std::string> names{};      // their bare names
};

// Plans the one archive of `items`: an item given twice counts once, and
// one inside another item of the selection is stored with that item.
// `posix_names` as SplitItemPath takes it.
Selection PlanSelection(const std::vector<std::string>& items, bool posix_names);

// The name of the one archive of the items of `folder` (absolute, with its
// separator): the folder's own name ("/home/u/Fotos/" makes "Fotos"), or
// "Archive" for a root, which has none; then the first of "Fotos",
// "Fotos 2", "Fotos 3" ... that `taken` does not refuse.
std::string OneArchiveStem(const std::string& folder,
                           const std::function<bool(const std::string& stem)>& taken);

// Archives the items `folder` + `names` into one Name.tar.xz in that
// folder, named by OneArchiveStem: an existing Name.tar.xz or Name.tar (the
// user's, or an earlier run's) is never touched; the name after it is used.
// `where` is the run's progress, its tally that of every item.
ArchiveStatus ArchiveSelection(const Selection& selection, const ItemProgress& where);

// The one archive of `items`, as "Create one tar.xz" makes it: one item
// archived as ArchiveItems would; items of more than one folder refused, and
// nothing made. Returns the exit code, as ArchiveItems does.
int ArchiveOne(const std::vector<std::string>& items);

// Archives `items` one after another in their order, and tells the user once,
// at the end, of each that failed (ReportFailure) and of each archive made
// with a warning (ReportWarning). One progress display follows the whole run,
// from the walk of its folders (each walked once) to the end, where it says
// what the run made. Returns the process's exit code: 0 when every item was
// archived or had nothing to do (none given included), 1 when one was not,
// 2 when each was but an archive came with a warning (it lacks entries tar
// could not read, or xz warned): a script that removes what it archived must
// not take that for a plain success. A cancel or an interrupt ends the run at
// once, without a further message.
int ArchiveItems(const std::vector<std::string>& items);

// Clears what runs that died (kill -9, a crash, a power loss) left beside
// their items, and returns what the user is told of it ("" for nothing).
// Every start does this first, for any item and for setup.
std::string ClearWhatDeadRunsLeft();

// Archive mode: archives every item the program arguments name (Explorer's
// command passes one, Linux file managers the whole selection); after
// "--one", all of them into one archive (ArchiveOne).
int CreateArchive(bool one);

#endif  // ARKIVA_APP_ARCHIVE_ARCHIVE_H_
