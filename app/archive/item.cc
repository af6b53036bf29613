#include "app/archive/item.h"

#include <time.h>

#include <memory>
#include <vector>

#include "app/archive/tar.h"
#include "app/archive/xz.h"
#include "catalogues/translation.h"
#include "host/files/file_size.h"
#include "host/files/item_lock.h"
#include "host/files/path_parts.h"
#include "host/process/interrupt.h"
#include "run_record/run_record.h"

// One item of a run, from its argument to its status: the guards, the
// record, then the folder's claim and tar (tar.h) or a file's xz (xz.h).
// Below it, what every step of an item shares.

namespace {

// Why a run may not go on with a lock it could not take; "" when it holds it.
std::string RefusedBecause(const ItemLock& lock) {
  if (lock.Result() == ItemLock::kBusy)
    return Translated("it is being archived already.");
  if (lock.Result() == ItemLock::kFailed)
    return Translated("it could not be reserved for this run: %s", {lock.Reason()});
  return "";
}

// The record of a run on the item, made before it writes anything: the
// names it will write, the last one the archive.
RecordedRun RunToRecord(const ItemRun& item, const std::vector<std::string>& outputs) {
  RecordedRun run = {.folder = AbsoluteFolder(item.folder),
                     .name = item.name,
                     .started = static_cast<int64_t>(time(nullptr)),
                     .selection = item.selection};
  for (size_t i = 0; i < outputs.size(); ++i)
    run.outputs.push_back({outputs[i], i + 1 == outputs.size(), {}});
  return run;
}

// A run from the moment it holds its item's lock: the locks of every name
// it writes, the archive's path checked, the record, then tar and xz (a
// folder, a selection: `tar_step`) or xz (a file). `run` has no record yet;
// `tally` is the folder's walk, when it was walked already.
ArchiveStatus HoldOutputsAndRun(ItemRun run, bool tar_step, const FolderTally* tally) {
  // So is every name the run writes: a folder "a" writes "a.tar", which
  // another run may have as its item (and both would write "a.tar.xz").
  std::vector<std::string> outputs = RunOutputNames(run.name, tar_step);
  std::vector<std::unique_ptr<ItemLock>> output_locks;
  for (const std::string& output : outputs) {
    output_locks.emplace_back(new ItemLock(run.folder, output));
    std::string busy = RefusedBecause(*output_locks.back());
    if (!busy.empty())
      return Failed(busy);
  }

  const std::string& archive_name = outputs.back();
  std::string too_long = CheckPathLength(run.folder + archive_name);
  if (!too_long.empty())
    return Failed(
        Translated("the path of \"%s\" beside it would be %s.", {archive_name, too_long}));
  // Held until the run has finished or cleaned up, and gone before the
  // locks are: a record whose item's lock can be taken is a dead run's.
  RunRecord record(RunToRecord(run, outputs));
  run.record = &record;
  SetBusyReason(Translated("Creating \"%s\"", {archive_name}));
  if (!tar_step)
    return RunXz(run, {.input_name = run.name, .output_name = archive_name});
  return ArchiveFolder(run, tally ? *tally : TallyFolder(run.folder + run.name));
}

}  // namespace

std::string OperandName(const std::string& name, bool posix_names) {
  bool option_like = !name.empty() && (name[0] == '-' || name[0] == '@');
  bool remote_like = posix_names && name.find(':') != std::string::npos;
  return option_like || remote_like ? "./" + name : name;
}

namespace {

// GNU tar writes the POSIX format, as BuildArchiveLines says.
std::string TarOptions(bool posix_names) {
  return posix_names ? "cf - --format=posix --pax-option=delete=atime,delete=ctime,delete=mtime"
                     : "cf -";
}

}  // namespace

CommandArguments KeepingModificationTimes(const CommandArguments& tar) {
  CommandArguments keeping = tar;
  size_t at = keeping.options.find(",delete=mtime");
  if (at != std::string::npos)
    keeping.options.erase(at, std::string(",delete=mtime").size());
  return keeping;
}

ArchiveLines BuildArchiveLines(const std::string& name, bool folder, bool posix_names) {
  std::string operand = OperandName(name, posix_names);
  if (!folder)
    return {.xz = {"-zv", {operand}}};
  return {.tar = {TarOptions(posix_names), {operand}},
          .xz = {"-zv", {operand + ".tar"}},
          .tar_items = {operand}};
}

ArchiveLines BuildSelectionLines(const std::string& stem, const std::vector<std::string>& names,
                                 bool posix_names) {
  // Read verbatim, a name per NUL: GNU tar would otherwise take a listed
  // name that begins with '-' for an option, and bsdtar takes a line "-C"
  // for one (OperandName writes both as "./name").
  ArchiveLines lines = {
      .tar = {TarOptions(posix_names) +
                  (posix_names ? " --null --verbatim-files-from -T -" : " --null -T -"),
              {}},
      .xz = {"-zv", {OperandName(stem, posix_names) + ".tar"}}};
  for (const std::string& name : names) {
    lines.tar_items.push_back(OperandName(name, posix_names));
    lines.tar_input += lines.tar_items.back() + '\0';
  }
  return lines;
}

std::string ItemName(const std::string& argument) {
  std::string name = SplitItemPath(argument, kPosixNames).name;
  return name.empty() ? argument : name;
}

ArchiveStatus ArchiveItem(const std::string& argument, const ItemProgress& where) {
  if (argument.empty())
    return {.outcome = ArchiveStatus::kNothingToDo};
  // tar and xz could not reach a path beyond the programs' limit, whether or
  // not the size query can.
  std::string too_long = CheckPathLength(argument);
  if (!too_long.empty())
    return Failed(Translated("its path is %s.", {too_long}));
  ItemPath item = SplitItemPath(argument, kPosixNames);
  if (item.name.empty())
    return Failed(Translated("it is a root, with no folder above it to put the archive in."));

  // Everything from here on is this run's alone: a second start on the item
  // refuses before it looks at anything.
  ItemLock lock(item.folder, item.name);
  std::string busy = RefusedBecause(lock);
  if (!busy.empty())
    return Failed(busy);

  // Only what is not there at all is nothing to do: an item that cannot be
  // reached is the user's item all the same.
  std::string unreachable;
  int64_t size = QueryFileSize(argument.c_str(), &unreachable);
  if (!unreachable.empty())
    return Failed(unreachable);
  bool folder = size == kSizeFolder;
  if (!folder && size <= 0)
    return {.outcome = ArchiveStatus::kNothingToDo};

  return HoldOutputsAndRun({.folder = item.folder,
                            .name = item.name,
                            .lines = BuildArchiveLines(item.name, folder, kPosixNames),
                            .where = where,
                            .record = nullptr},
                           folder, where.tally);
}

ArchiveStatus ArchiveSelection(const Selection& selection, const ItemProgress& where) {
  // The first name whose archive and tar are free, and no other run's.
  std::unique_ptr<ItemLock> lock;
  std::string stem = OneArchiveStem(AbsoluteFolder(selection.folder), [&](const std::string& name) {
    if (Exists(selection.folder + name + ".tar") || Exists(selection.folder + name + ".tar.xz"))
      return true;
    lock.reset(new ItemLock(selection.folder, name));
    return lock->Result() == ItemLock::kBusy;
  });
  std::string refused = RefusedBecause(*lock);
  if (!refused.empty())
    return Failed(refused);
  return HoldOutputsAndRun({.folder = selection.folder,
                            .name = stem,
                            .lines = BuildSelectionLines(stem, selection.names, kPosixNames),
                            .where = where,
                            .record = nullptr,
                            .selection = true},
                           true, where.tally);
}

// The helpers every step shares

ArchiveStatus Archived(const std::string& archive_name, const std::string& warning) {
  return {.outcome = ArchiveStatus::kArchived, .archive_name = archive_name, .warning = warning};
}

ArchiveStatus Failed(const std::string& cause) {
  return {.outcome = ArchiveStatus::kFailed, .cause = cause};
}

ArchiveStatus Cancelled() {
  return {.outcome = ArchiveStatus::kCancelled};
}

std::string AlreadyThere(const std::string& file_name) {
  return Translated("\"%s\" already exists beside it.", {file_name});
}

bool Exists(const std::string& path) {
  return QueryFileSize(path.c_str()) != kSizeNothing;
}

StepWatch ItemStep(const ItemRun& run, const ItemStepPart& part) {
  const ItemProgress& where = run.where;
  double span = where.to - where.from;
  return {.progress = where.progress,
          .report = {.program = part.program,
                     .step = part.step,
                     .item = where.item,
                     .items = where.items},
          .item_from = part.from,
          .item_to = part.to,
          .overall_from = where.from + part.from * span,
          .overall_to = where.from + part.to * span,
          .bytes = part.bytes,
          .measure = part.measure};
}
