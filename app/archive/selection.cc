#include "app/archive/archive.h"

#include <optional>
#include <unordered_set>
#include <string>
#include <vector>

#include "catalogues/translation.h"
#include "entry_label.h"
#include "host/files/file_size.h"
#include "host/files/path_parts.h"
#include "host/process/interrupt.h"
#include "host/process/program_args.h"
#include "host/ui/failure_report.h"
#include "host/ui/message_box.h"
#include "host/ui/progress.h"
#include "run_record/run_record.h"

// A run over a selection, one level above its items (item.cc): the walk of
// its folders before the first item, each item in its order, and the one
// report at the end.

namespace {

// The walk

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
      ProgressReport report = {.program = "tar",
                               .step = Translated("Reading \"%s\"", {ItemName(items[i])}),
                               .item = i + 1,
                               .items = items.size()};
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

// The report

// What a run over a selection tells at its end, gathered item by item.
struct RunReport {
  std::string failures;               // a line per item that failed
  std::string warnings;               // what the user must know of archives made
  std::vector<std::string> archives;  // the names of the archives made
  bool cancelled = false;
};

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

void AddLine(std::string* text, const std::string& line) {
  *text += (text->empty() || line.empty() ? "" : "\n") + line;
}

// Adds how the item `argument` ended.
void AddToReport(RunReport* report, const std::string& argument, const ArchiveStatus& status) {
  if (status.outcome == ArchiveStatus::kFailed)
    // TRANSLATORS: the second value is one of the causes, such as "it is
    // being archived already.": a clause about the item.
    AddLine(&report->failures,
            Translated("Could not archive \"%s\": %s", {ItemName(argument), status.cause}));
  if (status.outcome == ArchiveStatus::kArchived)
    report->archives.push_back(status.archive_name);
  AddLine(&report->warnings, status.warning);
  report->cancelled = report->cancelled || status.outcome == ArchiveStatus::kCancelled;
}

// Ends `progress` (with a notice of what was made, for a plain success) and
// tells the user once: every failure in the failure box, warnings in a
// warning box, what `cleared` (what dead runs left) says with them or in a
// box of its own. A cancel tells nothing more. Returns the process's exit
// code: 0 when every item was archived or had nothing to do, 1 when one was
// not, 2 when each was but an archive came with a warning.
int TellReport(const RunReport& report, Progress* progress, const std::string& cleared) {
  bool succeeded = report.failures.empty() && !report.cancelled;
  // An archive with a warning is told in a box, never as a plain success.
  if (succeeded && report.warnings.empty() && !report.archives.empty())
    EndProgress(progress, CreatedNotice(report.archives), CreatedDetails(report.archives));
  else
    EndProgress(progress);
  // What a dead run left is told with this run's failures and warnings, or
  // on its own.
  std::string told = report.failures;
  AddLine(&told, report.warnings);
  AddLine(&told, cleared);
  if (!report.failures.empty())
    ReportFailure(Translated(kEntryLabel), told);
  else if (!report.warnings.empty() && !report.cancelled)
    ReportWarning(Translated(kEntryLabel), told);
  else if (!cleared.empty())
    ShowMessageBox(Translated(kEntryLabel).c_str(), cleared.c_str());
  return !succeeded ? 1 : report.warnings.empty() ? 0 : 2;
}

}  // namespace

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
  RunReport report;
  report.cancelled = plan.stopped;
  for (size_t i = 0; i < items.size() && !report.cancelled; ++i) {
    // A cancel between two items starts nothing more.
    report.cancelled = ProgressCancelled(progress) || Interrupted();
    if (report.cancelled)
      break;
    const std::optional<FolderTally>& tally = plan.tallies[i];
    ItemProgress where = {.progress = progress,
                          .item = i + 1,
                          .items = items.size(),
                          .from = plan.starts[i],
                          .to = plan.starts[i + 1],
                          .tally = tally ? &*tally : nullptr};
    AddToReport(&report, items[i], ArchiveItem(items[i], where));
  }
  SetBusyReason("");
  return TellReport(report, progress, cleared);
}

Selection PlanSelection(const std::vector<std::string>& items, bool posix_names) {
  auto separates = [posix_names](char c) { return posix_names ? c == '/' : IsPathSeparator(c); };
  // Each path as it is compared: without the separators it ends with.
  std::vector<std::string> paths;
  std::unordered_set<std::string> given;
  for (const std::string& item : items) {
    std::string path = item;
    while (path.size() > 1 && separates(path.back()))
      path.pop_back();
    paths.push_back(path);
    if (!item.empty())
      given.insert(path);
  }
  Selection selection;
  std::unordered_set<std::string> kept;
  for (size_t i = 0; i < items.size(); ++i) {
    const std::string& path = paths[i];
    if (items[i].empty() || !kept.insert(path).second)
      continue;
    // Inside another item of the selection: stored with it (a folder's
    // ancestors, one a separator, are few; a pairwise look at 100,000 items
    // would not be).
    bool inside = false;
    // (A root keeps its separator: "/", "C:\\".)
    for (size_t at = 0; at + 1 < path.size() && !inside; ++at)
      inside = separates(path[at]) &&
               (given.count(path.substr(0, at)) > 0 || given.count(path.substr(0, at + 1)) > 0);
    if (inside)
      continue;
    ItemPath item = SplitItemPath(items[i], posix_names);
    if (selection.arguments.empty())
      selection.folder = item.folder;
    else if (item.folder != selection.folder || item.name.empty() || selection.names[0].empty())
      selection.kind = Selection::kTwoFolders;
    selection.arguments.push_back(items[i]);
    selection.names.push_back(item.name);
  }
  if (selection.kind != Selection::kTwoFolders)
    selection.kind = selection.arguments.empty()       ? Selection::kNothing
                     : selection.arguments.size() == 1 ? Selection::kOneItem
                                                       : Selection::kItems;
  return selection;
}

std::string OneArchiveStem(const std::string& folder,
                           const std::function<bool(const std::string& stem)>& taken) {
  // A root has no name of its own: a plain word, the same in every language,
  // so that a script finds it.
  std::string base = SplitItemPath(folder, kPosixNames).name;
  if (base.empty())
    base = "Archive";
  std::string stem = base;
  for (uint64_t n = 2; taken(stem); ++n)
    stem = base + " " + std::to_string(n);
  return stem;
}

int ArchiveOne(const std::vector<std::string>& items) {
  Selection selection = PlanSelection(items, kPosixNames);
  if (selection.kind == Selection::kNothing || selection.kind == Selection::kOneItem)
    return ArchiveItems(selection.arguments);
  CatchInterrupt();
  std::string cleared = ClearWhatDeadRunsLeft();
  Progress* progress = BeginProgress(Translated(kEntryLabel));
  RunReport report;
  std::string folder = AbsoluteFolder(selection.folder);
  if (selection.kind == Selection::kTwoFolders) {
    report.failures = Translated(
        "The selected items are in more than one folder; one archive holds the items of one "
        "folder. Nothing was made.");
  } else {
    // One walk of every item, which the progress follows.
    FolderTally all;
    ProgressReport walk = {.program = "tar",
                           .step = Translated("Reading \"%s\"", {ItemName(folder)})};
    for (size_t i = 0; i < selection.arguments.size() && !all.stopped; ++i) {
      int64_t size = QueryFileSize(selection.arguments[i].c_str());
      FolderTally tally;
      if (size == kSizeFolder)
        tally = TallyFolder(selection.arguments[i], [&](const FolderTally& so_far) {
          walk.done = all.bytes + so_far.bytes;
          ShowProgress(progress, walk);
          return !Interrupted() && !ProgressCancelled(progress);
        });
      all.bytes += size > 0 ? size : tally.bytes;
      all.entries += 1 + tally.entries;
      all.odd_times = all.odd_times || tally.odd_times ||
                      (size >= 0 && !FitsTarHeader(FileModifiedTime(selection.arguments[i])));
      all.stopped = tally.stopped;
      if (all.unreadable.empty())
        all.unreadable = tally.unreadable;
    }
    report.cancelled = all.stopped || ProgressCancelled(progress) || Interrupted();
    if (!report.cancelled)
      AddToReport(&report, folder,
                  ArchiveSelection(selection, {.progress = progress, .tally = &all}));
  }
  SetBusyReason("");
  return TellReport(report, progress, cleared);
}

int CreateArchive(bool one) {
  std::vector<std::string> items;
  for (int i = ProgramArgumentCount(); i > 0; --i)
    items.push_back(ProgramArgument());
  return one ? ArchiveOne(items) : ArchiveItems(items);
}
