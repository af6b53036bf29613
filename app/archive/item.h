#ifndef ARKIVA_APP_ARCHIVE_ITEM_H_
#define ARKIVA_APP_ARCHIVE_ITEM_H_

#include <stdint.h>

#include <functional>
#include <string>

#include "app/archive/archive.h"
#include "app/archive/program_run.h"
#include "run_record/run_record.h"

// One item's run as its steps share it, from the guards on: where it works,
// what tar and xz get, its place in the run's progress, and its record.
struct ItemRun {
  std::string folder;  // the item's folder, with its separator ("" for the current one)
  std::string name;    // the item's bare name
  ArchiveLines lines;  // what tar and xz get
  ItemProgress where;  // its share of the run's progress
  RunRecord* record;   // what the run writes, for a start after it dies
  // One archive of several items of `folder`: `name` is the archive's
  // (Name.tar.xz), not an item's.
  bool selection = false;
};

ArchiveStatus Archived(const std::string& archive_name, const std::string& warning = "");
ArchiveStatus Failed(const std::string& cause);
ArchiveStatus Cancelled();

// The cause of a run stopped by a name that is taken: "\"a.tar\" already exists beside it."
std::string AlreadyThere(const std::string& file_name);

// Whether anything at all is at `path`.
bool Exists(const std::string& path);

// One step's part of its item: the program, what the display calls the
// step, its share of the item's progress, what it goes through, and how far
// it has come (StepWatch::measure).
struct ItemStepPart {
  const char* program;
  std::string step;  // "Creating \"Name.tar\""
  double from, to;   // of the item's progress, 0 to 1
  uint64_t bytes;
  std::function<double(Subprocess* child)> measure;
};

// The watch over one step of the item, placed in the run's progress.
StepWatch ItemStep(const ItemRun& run, const ItemStepPart& part);

#endif  // ARKIVA_APP_ARCHIVE_ITEM_H_
