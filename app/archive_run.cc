// A run over a selection: the walk of its folders, then each item in its
// order (archive_item.cc), then the report (run_report.h).

#include <optional>
#include <vector>

#include "app/archive.h"
#include "app/run_report.h"
#include "catalogues/translation.h"
#include "entry_label.h"
#include "host/files/file_size.h"
#include "host/files/path_parts.h"
#include "host/process/interrupt.h"
#include "host/process/program_args.h"
#include "run_record/run_record.h"

namespace {

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
    ItemProgress where = {progress,           i + 1,
                          items.size(),       plan.starts[i],
                          plan.starts[i + 1], tally ? &*tally : nullptr};
    AddToReport(&report, items[i], ArchiveItem(items[i], where));
  }
  SetBusyReason("");
  return TellReport(report, progress, cleared);
}

int CreateArchive() {
  std::vector<std::string> items;
  for (int i = ProgramArgumentCount(); i > 0; --i)
    items.push_back(ProgramArgument());
  return ArchiveItems(items);
}
