#ifndef ARKIVA_APP_RUN_REPORT_H_
#define ARKIVA_APP_RUN_REPORT_H_

#include <string>
#include <vector>

#include "app/archive.h"
#include "host/ui/progress.h"

// What a run over a selection tells at its end, gathered item by item.
struct RunReport {
  std::string failures;               // a line per item that failed
  std::string warnings;               // what the user must know of archives made
  std::vector<std::string> archives;  // the names of the archives made
  bool cancelled = false;
};

// Adds how the item `argument` ended.
void AddToReport(RunReport* report, const std::string& argument, const ArchiveStatus& status);

// Ends `progress` (with a notice of what was made, for a plain success) and
// tells the user once: every failure in the failure box, warnings in a
// warning box, what `cleared` (what dead runs left) says with them or in a
// box of its own. A cancel tells nothing more. Returns the process's exit
// code: 0 when every item was archived or had nothing to do, 1 when one was
// not, 2 when each was but an archive came with a warning.
int TellReport(const RunReport& report, Progress* progress, const std::string& cleared);

#endif  // ARKIVA_APP_RUN_REPORT_H_
