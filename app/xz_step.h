#ifndef ARKIVA_APP_XZ_STEP_H_
#define ARKIVA_APP_XZ_STEP_H_

#include <stdint.h>

#include <string>

#include "app/item_run.h"

// What xz compresses, beside the item: "Name.tar" into "Name.tar.xz", or a
// file "notes.bin" into "notes.bin.xz".
struct XzStep {
  std::string input_name;
  std::string output_name;
  double from;             // where xz's share of the item's progress begins, 0 to 1
  int64_t expected_bytes;  // what the input must hold; -1: any
};

// xz, shown, on every core unless the user says otherwise, which replaces
// the input with the output. The output must not be there yet; the step
// counts as done only when xz exited 0 (or warned) and left a whole .xz
// file, synced to the disk, holding `expected_bytes`. A part of the output
// that this xz left is removed while the input is still there; once xz has
// removed the input, the output is the only copy and stays.
ArchiveStatus RunXz(const ItemRun& run, const XzStep& step);

#endif  // ARKIVA_APP_XZ_STEP_H_
