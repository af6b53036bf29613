#include "app/run_report.h"

#include "catalogues/translation.h"
#include "entry_label.h"
#include "host/ui/failure_report.h"
#include "host/ui/message_box.h"

namespace {

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

}  // namespace

void AddToReport(RunReport* report, const std::string& argument, const ArchiveStatus& status) {
  if (status.outcome == ArchiveStatus::kFailed)
    // TRANSLATORS: the second value is one of the causes, such as "it is
    // being archived already.": a clause about the item.
    AddLine(&report->failures,
            Translated("Could not archive \"%s\": %s", {ItemName(argument), status.cause}));
  if (status.outcome == ArchiveStatus::kArchived)
    report->archives.push_back(status.cause);
  AddLine(&report->warnings, status.warning);
  report->cancelled = report->cancelled || status.outcome == ArchiveStatus::kCancelled;
}

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
