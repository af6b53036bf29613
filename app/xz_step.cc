#include "app/xz_step.h"

#include <time.h>

#include "app/xz_defaults.h"
#include "app/xz_output.h"
#include "app/xz_progress.h"
#include "catalogues/translation.h"
#include "host/files/file_claim.h"
#include "host/files/file_identity.h"
#include "host/files/file_size.h"
#include "host/files/file_sync.h"

namespace {

// Whether xz may have left a part of its output that is this run's to
// remove. xz removes what it wrote when it fails by itself; a part stays
// when it was ended from outside (a signal, taskkill, its console closed, a
// log-off) or by the user's cancel. A process ended with
// TerminateProcess(h, 0), as taskkill /f does, reports exit code 0.
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

// An output that the check could not call whole, kept because xz has
// removed its input: the report says why it is in doubt.
ArchiveStatus KeptOutput(const XzFileCheck& check, const XzStep& step) {
  std::string doubt =
      check.result == XzFileCheck::kUnreadable
          ? Translated("\"%s\" could not be read back: %s", {step.output_name, check.reason})
          : Translated("\"%s\" is not a whole .xz file.", {step.output_name});
  return Failed(doubt + " " +
                Translated("It is kept, as xz has removed \"%s\".", {step.input_name}));
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

// A whole archive, as xz ended: synced before it is reported (a power loss
// a moment after "Created" must not take it), and the item's only when its
// index holds what the input had; else another file was put in the input's
// place before xz read it (a folder another user may write), and the
// archive, which holds that file, is kept and not reported as the item's.
ArchiveStatus WholeOutput(const XzStep& step, const std::string& output, const XzFileCheck& check,
                          const ProgramRun& xz, bool warned) {
  std::string unsynced = SyncFile(output);
  if (!unsynced.empty())
    return Failed(
        Translated("\"%s\" could not be written to the disk: %s", {step.output_name, unsynced}));
  if (step.expected_bytes >= 0 && check.uncompressed != static_cast<uint64_t>(step.expected_bytes))
    return Failed(Translated(
        "\"%1$s\" was replaced by another file before xz read it: \"%2$s\" holds that file, "
        "and is kept.",
        {step.input_name, step.output_name}));
  if (!warned)
    return Archived(step.output_name);
  return Archived(step.output_name,
                  Translated("\"%s\" was created, with a warning from xz:", {step.output_name}) +
                      "\n" + XzMessages(xz.said));
}

}  // namespace

// The run's locks keep every other run away, so an output that was not
// there when xz started, is not a whole .xz file and was written since can
// only be this xz's part: it is removed, as it would look like an archive
// and block the next run.
ArchiveStatus RunXz(const ItemRun& run, const XzStep& step) {
  std::string input = run.folder + step.input_name;
  std::string output = run.folder + step.output_name;
  if (Exists(output))
    return Failed(AlreadyThere(step.output_name));
  // xz's blocks depend on the size of its input.
  int64_t input_size = GrowingFileSize(input);
  uint64_t input_bytes = input_size > 0 ? input_size : 0;
  // xz's output is recorded as soon as it is there, so that a start after
  // this run died knows it for this run's, whole or not.
  bool recorded = false;
  StepWatch watch = ItemStep(run, "xz", Translated("Compressing \"%s\"", {step.output_name}),
                             step.from, 1, input_bytes, [&](Subprocess* child) {
                               FileIdentity made =
                                   recorded ? FileIdentity() : QueryFileIdentity(output);
                               if (made.Known()) {
                                 run.record->NoteOutput(step.output_name, made);
                                 recorded = true;
                               }
                               return MeasureXz(child);
                             });
  int64_t start = static_cast<int64_t>(time(nullptr));
  ProgramRun xz =
      RunProgram("xz", run.lines.xz, run.folder, kShownWindow, XzEnvironment(input_bytes), &watch);
  XzFileCheck check = xz.outcome == ProgramRun::kNotStarted
                          ? XzFileCheck{XzFileCheck::kNotWhole, "", 0}
                          : CheckXzFile(output);
  // xz ends 2 after a warning (a mount that keeps no owner: "Cannot set the
  // file group"), having written the whole archive and removed its input.
  bool warned = xz.outcome == ProgramRun::kExited && xz.code == 2 && !Exists(input);
  // xz that wrote the whole archive but could not remove its input (a sync
  // client or a scanner holding it without sharing its deletion) ends 1 or
  // 2. The input is then the run's own Name.tar (its size known), which the
  // tar step removes itself.
  bool input_held = xz.outcome == ProgramRun::kExited && (xz.code == 1 || xz.code == 2) &&
                    step.expected_bytes >= 0 && Exists(input);
  if ((xz.Succeeded() || warned || input_held) && check.result == XzFileCheck::kWhole)
    return WholeOutput(step, output, check, xz, warned);
  if (xz.outcome != ProgramRun::kNotStarted && !Exists(input) && Exists(output))
    return KeptOutput(check, step);
  // A file system may keep times in steps of up to two seconds.
  if (MayHaveLeftAPart(xz) && check.result != XzFileCheck::kWhole &&
      FileModifiedTime(output) >= start - 2)
    RemoveClaimedFile(output);
  return XzStatus(xz, step.output_name);
}
