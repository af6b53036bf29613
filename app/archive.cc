#include "app/archive.h"

#include "app/program_run.h"
#include "app/tar_result.h"
#include "app/xz_defaults.h"
#include "app/xz_output.h"
#include "app/xz_progress.h"
#include "catalogues/translation.h"
#include "entry_label.h"
#include "host/files/file_claim.h"
#include "host/files/file_identity.h"
#include "host/files/file_size.h"
#include "host/files/file_sync.h"
#include "host/files/item_lock.h"
#include "host/files/path_limit.h"
#include "host/files/path_parts.h"
#include "host/files/whole_file.h"
#include "host/process/interrupt.h"
#include "host/process/program_args.h"
#include "host/ui/failure_report.h"
#include "host/ui/message_box.h"
#include "run_record/run_record.h"

#include <time.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

namespace {

#ifdef _WIN32
const bool kPosixNames = false;
#else
const bool kPosixNames = true;
#endif

ArchiveStatus Archived(const std::string& archive_name, const std::string& warning = "") {
  return {ArchiveStatus::kArchived, archive_name, warning};
}
ArchiveStatus Failed(const std::string& cause) {
  return {ArchiveStatus::kFailed, cause, ""};
}
ArchiveStatus Cancelled() {
  return {ArchiveStatus::kCancelled, "", ""};
}

// How many of tar's lines about what it could not read a report shows.
const size_t kWarningLines = 10;

// What the user is told of an archive that lacks what tar could not read.
std::string TarWarning(const std::string& archive_name, const std::string& item_name,
                       const std::vector<std::string>& lines) {
  return Translated(
             "\"%1$s\" was created, but some of \"%2$s\" is missing from it or changed while "
             "it was read:",
             {archive_name, item_name}) +
         "\n" + ShortList(lines, kWarningLines);
}

std::string AlreadyThere(const std::string& file_name) {
  return Translated("\"%s\" already exists beside it.", {file_name});
}

bool Exists(const std::string& path) {
  return QueryFileSize(path.c_str()) != kSizeNothing;
}

// About what tar will write for the folder, from one walk before it starts:
// the files' bytes, and per entry a 512-byte header and on average half a
// block of padding, plus the folder's own header and the end blocks. Names
// that need extended headers make the real size a little larger.
uint64_t ExpectedTarSize(const FolderTally& tally) {
  return tally.bytes + (tally.entries + 1) * (512 + 256) + 1024;
}

// Whether xz may have left a part of `output` that is this run's to remove.
// xz removes what it wrote when it fails by itself; a part stays when it was
// ended from outside (a signal, taskkill, its console closed, a log-off) or
// by the user's cancel. A process ended with TerminateProcess(h, 0), as
// taskkill /f does, reports exit code 0.
bool MayHaveLeftAPart(const ProgramRun& xz) {
  switch (xz.outcome) {
    case ProgramRun::kNotStarted:
      return false;
    case ProgramRun::kExited:
      return xz.code == 0;
    case ProgramRun::kEnded:
    case ProgramRun::kStopped:
    case ProgramRun::kUnknown:
      return true;
  }
  return false;
}

// tar takes a small part of an item's time: it copies, where xz compresses.
const double kTarShare = 0.05;

// Until it has ended, tar's output can be a little larger than expected
// (headers, padding) or smaller (files that shrank): never show it as done
// before it is.
double WrittenFraction(int64_t written, uint64_t expected) {
  if (written <= 0 || expected == 0)
    return 0;
  double fraction = static_cast<double>(written) / expected;
  return fraction < 0.99 ? fraction : 0.99;
}

// The part `from` to `to` of the item at `where` that one step takes.
StepWatch Step(const ItemProgress& where, const char* program, const std::string& step, double from,
               double to, uint64_t bytes, std::function<double(Subprocess*)> measure) {
  double span = where.to - where.from;
  return {where.progress,
          {program, step, where.item, where.items, 0, 0, 0, 0},
          from,
          to,
          where.from + from * span,
          where.from + to * span,
          bytes,
          measure};
}

// An output that the check could not call whole, kept because xz has
// removed its input: the report says why it is in doubt.
ArchiveStatus KeptOutput(const XzFileCheck& check, const std::string& output_name,
                         const std::string& input_name) {
  std::string doubt =
      check.result == XzFileCheck::kUnreadable
          ? Translated("\"%s\" could not be read back: %s", {output_name, check.reason})
          : Translated("\"%s\" is not a whole .xz file.", {output_name});
  return Failed(doubt + " " + Translated("It is kept, as xz has removed \"%s\".", {input_name}));
}

ArchiveStatus XzStatus(ProgramRun xz, const std::string& output_name) {
  if (xz.outcome == ProgramRun::kStopped)
    return Cancelled();
  if (xz.Succeeded())
    return Failed(Translated("xz failed: it ended before \"%s\" was complete.", {output_name}));
  if (xz.outcome != ProgramRun::kNotStarted)
    xz.reason = XzMessages(xz.reason);
  return Failed(DescribeFailure("xz", xz));
}

// xz, shown, on every core unless the user says otherwise; its blocks
// depend on the size of `input`, which it reads. It writes `output` (named
// `output_name` for the user), which must not be there yet, and counts as
// done only when it exited 0 and left a whole .xz file.
//
// The run's locks keep every other run away, so an output that was not
// there when xz started, is not a whole .xz file and was written since can
// only be this xz's part: it is removed, as it would look like an archive
// and block the next run. Only while the input is there, though: xz removes
// its input once it has finished the output, which is from then on the only
// copy of the data, whatever its check says.
//
// The archive is synced before the run reports it: a power loss a moment
// after "Created" must not take it.
//
// `expected_bytes` (-1: any) is what the input must hold: the archive's index
// must give exactly that, else another file was put in the input's place
// before xz read it (a folder another user may write), and the archive,
// which holds that file, is kept and not reported as the item's.
ArchiveStatus RunXz(const CommandArguments& arguments, const std::string& folder_part,
                    const std::string& input, const std::string& output,
                    const std::string& output_name, const ItemProgress& where, double from,
                    RunRecord* record, int64_t expected_bytes) {
  if (Exists(output))
    return Failed(AlreadyThere(output_name));
  int64_t input_size = GrowingFileSize(input);
  uint64_t input_bytes = input_size > 0 ? input_size : 0;
  ChildEnvironment environment = XzEnvironment(input_bytes);
  // xz's output is recorded as soon as it is there, so that a start after
  // this run died knows it for this run's, whole or not.
  bool recorded = false;
  StepWatch watch = Step(where, "xz", Translated("Compressing \"%s\"", {output_name}), from, 1,
                         input_bytes, [&](Subprocess* child) {
                           FileIdentity made =
                               recorded ? FileIdentity() : QueryFileIdentity(output);
                           if (made.Known()) {
                             record->NoteOutput(output_name, made);
                             recorded = true;
                           }
                           return MeasureXz(child);
                         });
  int64_t start = static_cast<int64_t>(time(nullptr));
  ProgramRun xz = RunProgram("xz", arguments, folder_part, kShownWindow, environment, &watch);
  XzFileCheck check = xz.outcome == ProgramRun::kNotStarted
                          ? XzFileCheck{XzFileCheck::kNotWhole, "", 0}
                          : CheckXzFile(output);
  // xz ends 2 after a warning (a mount that keeps no owner: "Cannot set the
  // file group"), having written the whole archive and removed its input.
  bool warned = xz.outcome == ProgramRun::kExited && xz.code == 2 && !Exists(input);
  // xz that wrote the whole archive but could not remove its input (a sync
  // client or a scanner holding it without sharing its deletion) ends 1 or
  // 2. The input is then the run's own Name.tar (its size known), which the
  // caller removes itself.
  bool input_held = xz.outcome == ProgramRun::kExited && (xz.code == 1 || xz.code == 2) &&
                    expected_bytes >= 0 && Exists(input);
  if ((xz.Succeeded() || warned || input_held) && check.result == XzFileCheck::kWhole) {
    std::string unsynced = SyncFile(output);
    if (!unsynced.empty())
      return Failed(
          Translated("\"%s\" could not be written to the disk: %s", {output_name, unsynced}));
    if (expected_bytes >= 0 && check.uncompressed != static_cast<uint64_t>(expected_bytes))
      return Failed(Translated(
          "\"%1$s\" was replaced by another file before xz read it: \"%2$s\" holds that file, "
          "and is kept.",
          {input.substr(folder_part.size()), output_name}));
    if (!warned)
      return Archived(output_name);
    return Archived(output_name,
                    Translated("\"%s\" was created, with a warning from xz:", {output_name}) +
                        "\n" + XzMessages(xz.said));
  }
  if (xz.outcome != ProgramRun::kNotStarted && !Exists(input) && Exists(output))
    return KeptOutput(check, output_name, input.substr(folder_part.size()));
  // A file system may keep times in steps of up to two seconds.
  if (MayHaveLeftAPart(xz) && check.result != XzFileCheck::kWhole &&
      FileModifiedTime(output) >= start - 2)
    RemoveClaimedFile(output);
  return XzStatus(xz, output_name);
}

// Removes a file this run made, waiting a little for a program that holds
// it (a sync client, a scanner) to let go; true when it is gone.
bool RemoveSoon(const std::string& path) {
  for (int attempt = 0; attempt < 30; ++attempt) {
    if (RemoveClaimedFile(path))
      return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return false;
}

// tar into the claimed Name.tar, then xz, which replaces it with Name.tar.xz.
// tar writes into the file this run created and holds (its standard
// output), never into whatever the name may come to name: in a folder
// another user may write, a link or a pipe put there would take the tar of
// a private folder elsewhere. Whatever goes wrong, the Name.tar this run
// made is removed again, and only that: a file another put in its place is
// never touched.
ArchiveStatus ArchiveFolder(const std::string& folder_part, const std::string& name,
                            const ArchiveLines& lines, const ItemProgress& where,
                            RunRecord* record) {
  std::string tar_name = name + ".tar";
  std::string tar_path = folder_part + tar_name;
  // A folder that cannot be listed would make an archive of its name alone.
  FolderTally tally = where.tally ? *where.tally : TallyFolder(folder_part + name);
  if (!tally.unreadable.empty())
    return Failed(tally.unreadable);
  if (Exists(tar_path + ".xz"))
    return Failed(AlreadyThere(tar_name + ".xz"));
  FileClaim claim = ClaimNewFile(tar_path, folder_part + name);
  if (claim.result == FileClaim::kExists)
    return Failed(AlreadyThere(tar_name));
  if (claim.result == FileClaim::kFailed)
    return Failed(
        Translated("\"%s\" could not be created beside it: %s", {tar_name, claim.reason}));
  FileIdentity claimed = claim.file.Identity();
  record->NoteOutput(tar_name, claimed);

  // tar by the size of what it has written, against what it will hold.
  uint64_t expected = ExpectedTarSize(tally);
  StepWatch watch =
      Step(where, "tar", Translated("Creating \"%s\"", {tar_name}), 0, kTarShare, expected,
           [&](Subprocess*) { return WrittenFraction(claim.file.Size(), expected); });
  ProgramRun tar = RunProgram("tar", lines.tar, folder_part, kHiddenWindow, TarEnvironment(),
                              where.progress ? &watch : nullptr, claim.file.Handle());
  int64_t tar_bytes = claim.file.Size();
  claim.file.Close();  // xz reads it by name, and removes it when done
  // What tar could not read is left out; the rest makes the archive.
  TarResult judged = JudgeTar(tar, lines.tar.operands.back());
  ArchiveStatus status;
  if (tar.outcome == ProgramRun::kStopped)
    status = Cancelled();
  else if (judged.outcome == TarResult::kFailed)
    status = Failed(DescribeFailure("tar", tar));
  else if (!SameFile(claimed, QueryFileIdentity(tar_path)))
    status = Failed(Translated(
        "\"%s\" was replaced by another file while the run went on; that file is left as it is.",
        {tar_name}));
  else
    status = RunXz(lines.xz, folder_part, tar_path, tar_path + ".xz", tar_name + ".xz", where,
                   kTarShare, record, tar_bytes);
  if (status.outcome == ArchiveStatus::kArchived && judged.outcome == TarResult::kWithWarnings)
    status.warning = TarWarning(status.cause, name, judged.warnings) +
                     (status.warning.empty() ? "" : "\n" + status.warning);
  // Only the file this run made: in a folder others may write, another
  // file may stand under the name by now. An archive's Name.tar is left only
  // when xz could not remove it; it goes once its holder lets go, or is told.
  if (SameFile(claimed, QueryFileIdentity(tar_path)) && !RemoveSoon(tar_path) &&
      status.outcome == ArchiveStatus::kArchived)
    status.warning += (status.warning.empty() ? "" : "\n") +
                      Translated(
                          "\"%1$s\" is whole, but \"%2$s\" beside it could not be removed: "
                          "another program holds it. It may be deleted.",
                          {status.cause, tar_name});
  return status;
}

// Why a run may not go on with a lock it could not take; "" when it holds it.
std::string RefusedBecause(const ItemLock& lock) {
  if (lock.Result() == ItemLock::kBusy)
    return Translated("it is being archived already.");
  if (lock.Result() == ItemLock::kFailed)
    return Translated("it could not be reserved for this run: %s", {lock.Reason()});
  return "";
}

// The names a run writes beside its item.
std::vector<std::string> OutputNames(const std::string& name, bool folder) {
  if (folder)
    return {name + ".tar", name + ".tar.xz"};
  return {name + ".xz"};
}

ArchiveStatus CompressFile(const std::string& folder_part, const std::string& name,
                           const ArchiveLines& lines, const ItemProgress& where,
                           RunRecord* record) {
  return RunXz(lines.xz, folder_part, folder_part + name, folder_part + name + ".xz", name + ".xz",
               where, 0, record, -1);
}

// The record of a run on the item, made before it writes anything: the
// names it will write, the last one the archive.
RecordedRun RunToRecord(const std::string& folder_part, const std::string& name, bool folder) {
  RecordedRun run = {AbsoluteFolder(folder_part), name, static_cast<int64_t>(time(nullptr)), {}};
  std::vector<std::string> outputs = OutputNames(name, folder);
  for (size_t i = 0; i < outputs.size(); ++i)
    run.outputs.push_back({outputs[i], i + 1 == outputs.size(), {}});
  return run;
}

// What the run learns of its items before the first starts: each folder,
// walked once, and where each item's share of the run begins (1 after the
// last). Shares go by size, as xz's time does.
struct RunPlan {
  std::vector<std::optional<FolderTally>> tallies;  // empty: not a folder
  std::vector<double> starts;
  bool stopped = false;  // cancelled or interrupted during the walks
};

// Walks every folder among `items`, showing it on `progress`, whose Cancel
// (and an interrupt) stops the walk.
RunPlan PlanRun(const std::vector<std::string>& items, Progress* progress) {
  RunPlan plan;
  std::vector<double> weights;
  double all = 0;
  for (size_t i = 0; i < items.size() && !plan.stopped; ++i) {
    int64_t size = QueryFileSize(items[i].c_str());
    double weight = size > 0 ? size : 0;
    plan.tallies.emplace_back();
    // A root is refused before anything runs: never walk a whole drive for it.
    if (size == kSizeFolder && !SplitItemPath(items[i], kPosixNames).name.empty()) {
      ProgressReport report = {
          "tar", Translated("Reading \"%s\"", {ItemName(items[i])}), i + 1, items.size(), 0, 0, 0,
          0};
      FolderTally tally = TallyFolder(items[i], [&](const FolderTally& so_far) {
        report.done = so_far.bytes;
        ShowProgress(progress, report);
        return !Interrupted() && !ProgressCancelled(progress);
      });
      plan.stopped = tally.stopped;
      weight = static_cast<double>(tally.bytes);
      plan.tallies.back() = tally;
    }
    weights.push_back(weight + 1);
    all += weight + 1;
  }
  plan.starts.push_back(0);
  for (double weight : weights)
    plan.starts.push_back(plan.starts.back() + weight / all);
  plan.starts.back() = 1;
  return plan;
}

// What the notice at the end says of the archives a run made.
std::string CreatedNotice(const std::vector<std::string>& archives) {
  if (archives.size() == 1)
    return Translated("Created \"%s\"", {archives[0]});
  return TranslatedPlural("Created %s archive", "Created %s archives", archives.size(),
                          {std::to_string(archives.size())});
}
std::string CreatedDetails(const std::vector<std::string>& archives) {
  std::string details;
  for (size_t i = 0; archives.size() > 1 && i < archives.size(); ++i)
    details += (i ? "\n\"" : "\"") + archives[i] + "\"";
  return details;
}

}  // namespace

std::string OperandName(const std::string& name, bool posix_names) {
  bool option_like = !name.empty() && (name[0] == '-' || name[0] == '@');
  bool remote_like = posix_names && name.find(':') != std::string::npos;
  return option_like || remote_like ? "./" + name : name;
}

ArchiveLines BuildArchiveLines(const std::string& name, bool folder, bool posix_names) {
  std::string operand = OperandName(name, posix_names);
  if (!folder)
    return {{}, {"-zv", {operand}}};
  return {{"cf -", {operand}}, {"-zv", {operand + ".tar"}}};
}

std::string ItemName(const std::string& argument) {
  std::string name = SplitItemPath(argument, kPosixNames).name;
  return name.empty() ? argument : name;
}

ArchiveStatus ArchiveItem(const std::string& argument, const ItemProgress& where) {
  if (argument.empty())
    return {ArchiveStatus::kNothingToDo, "", ""};
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
    return {ArchiveStatus::kNothingToDo, "", ""};

  // So is every name the run writes: a folder "a" writes "a.tar", which
  // another run may have as its item (and both would write "a.tar.xz").
  std::vector<std::unique_ptr<ItemLock>> output_locks;
  for (const std::string& output : OutputNames(item.name, folder)) {
    output_locks.emplace_back(new ItemLock(item.folder, output));
    busy = RefusedBecause(*output_locks.back());
    if (!busy.empty())
      return Failed(busy);
  }

  std::string archive_name = item.name + (folder ? ".tar.xz" : ".xz");
  too_long = CheckPathLength(item.folder + archive_name);
  if (!too_long.empty())
    return Failed(
        Translated("the path of \"%s\" beside it would be %s.", {archive_name, too_long}));
  ArchiveLines lines = BuildArchiveLines(item.name, folder, kPosixNames);
  // Held until the run has finished or cleaned up, and gone before the
  // locks are: a record whose item's lock can be taken is a dead run's.
  RunRecord record(RunToRecord(item.folder, item.name, folder));
  SetBusyReason(Translated("Creating \"%s\"", {archive_name}));
  return folder ? ArchiveFolder(item.folder, item.name, lines, where, &record)
                : CompressFile(item.folder, item.name, lines, where, &record);
}

std::string ClearWhatDeadRunsLeft() {
  return ClearDeadRuns();
}

int ArchiveItems(const std::vector<std::string>& items) {
  CatchInterrupt();
  std::string cleared = ClearWhatDeadRunsLeft();
  // The display first, then the walks, which take long for large folders:
  // the user sees them, and Cancel works from the start.
  Progress* progress = BeginProgress(Translated(kEntryLabel));
  RunPlan plan = PlanRun(items, progress);
  std::string failures, warnings;
  std::vector<std::string> archives;
  bool cancelled = plan.stopped;
  for (size_t i = 0; i < items.size() && !cancelled; ++i) {
    // A cancel between two items starts nothing more.
    cancelled = ProgressCancelled(progress) || Interrupted();
    if (cancelled)
      break;
    const std::optional<FolderTally>& tally = plan.tallies[i];
    ArchiveStatus status = ArchiveItem(items[i], {progress, i + 1, items.size(), plan.starts[i],
                                                  plan.starts[i + 1], tally ? &*tally : nullptr});
    if (status.outcome == ArchiveStatus::kFailed)
      // TRANSLATORS: the second value is one of the causes, such as "it is
      // being archived already.": a clause about the item.
      failures += (failures.empty() ? "" : "\n") +
                  Translated("Could not archive \"%s\": %s", {ItemName(items[i]), status.cause});
    if (status.outcome == ArchiveStatus::kArchived)
      archives.push_back(status.cause);
    if (!status.warning.empty())
      warnings += (warnings.empty() ? "" : "\n") + status.warning;
    cancelled = status.outcome == ArchiveStatus::kCancelled;
  }
  SetBusyReason("");
  bool succeeded = failures.empty() && !cancelled;
  // An archive with a warning is told in a box, never as a plain success.
  if (succeeded && warnings.empty() && !archives.empty())
    EndProgress(progress, CreatedNotice(archives), CreatedDetails(archives));
  else
    EndProgress(progress);
  // What a dead run left is told with this run's failures and warnings, or
  // on its own.
  std::string told = failures;
  for (const std::string& more : {warnings, cleared})
    told += (told.empty() || more.empty() ? "" : "\n") + more;
  if (!failures.empty())
    ReportFailure(Translated(kEntryLabel), told);
  else if (!warnings.empty() && !cancelled)
    ReportWarning(Translated(kEntryLabel), told);
  else if (!cleared.empty())
    ShowMessageBox(Translated(kEntryLabel).c_str(), cleared.c_str());
  return !succeeded ? 1 : warnings.empty() ? 0 : 2;
}

int CreateArchive() {
  std::vector<std::string> items;
  for (int i = ProgramArgumentCount(); i > 0; --i)
    items.push_back(ProgramArgument());
  return ArchiveItems(items);
}
