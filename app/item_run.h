#ifndef ARKIVA_APP_ITEM_RUN_H_
#define ARKIVA_APP_ITEM_RUN_H_

#include <stdint.h>

#include <functional>
#include <string>

#include "app/archive.h"
#include "app/program_run.h"
#include "run_record/run_record.h"

// One item's run as its steps share it, from the guards on: where it works,
// what tar and xz get, its place in the run's progress, and its record.
struct ItemRun {
  std::string folder;  // the item's folder, with its separator ("" for the current one)
  std::string name;    // the item's bare name
  ArchiveLines lines;  // what tar and xz get
  ItemProgress where;  // its share of the run's progress
  RunRecord* record;   // what the run writes, for a start after it dies
};

ArchiveStatus Archived(const std::string& archive_name, const std::string& warning = "");
ArchiveStatus Failed(const std::string& cause);
ArchiveStatus Cancelled();

// The cause of a run stopped by a name that is taken: "\"a.tar\" already exists beside it."
std::string AlreadyThere(const std::string& file_name);

// Whether anything at all is at `path`.
bool Exists(const std::string& path);

// The part `from` to `to` of the item's progress that one step (`program`,
// shown as `step`) takes, going through `bytes`, measured by `measure`.
StepWatch ItemStep(const ItemRun& run, const char* program, const std::string& step, double from,
                   double to, uint64_t bytes, std::function<double(Subprocess*)> measure);

#endif  // ARKIVA_APP_ITEM_RUN_H_
