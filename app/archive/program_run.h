#ifndef ARKIVA_APP_ARCHIVE_PROGRAM_RUN_H_
#define ARKIVA_APP_ARCHIVE_PROGRAM_RUN_H_

#include <stddef.h>
#include <stdint.h>

#include <functional>
#include <string>
#include <vector>

#include "host/process/subprocess.h"
#include "host/ui/progress.h"

// One run of tar or xz, waited for, and how it ended: one outcome, as the
// program's life allows.
struct ProgramRun {
  enum Outcome {
    kNotStarted,  // the system would not start it; `reason` says why
    kExited,      // it ended by itself, with `code` (its exit code)
    kEnded,       // POSIX: something else ended it, with the signal `code`
    kStopped,     // the user cancelled or interrupted it, and it was ended
    kUnknown,     // how it ended could not be learned; `reason` says why
  } outcome;
  int code = 0;
  std::string reason{};  // kNotStarted: in words for the user; else the last
                         // lines of what it said (standard error, or on
                         // Windows its console)
  std::string said{};    // all that it wrote there

  bool Succeeded() const { return outcome == kExited && code == 0; }
};

// A step of a run (tar, or xz) as the run's progress shows it: the program
// runs while the display follows it, and Cancel stops it.
struct StepWatch {
  Progress* progress;               // the run's display; null: none, `measure` is still asked
  ProgressReport report;            // what the step is; the figures are filled in
  double item_from, item_to;        // the step's share of its item, 0 to 1
  double overall_from, overall_to;  // and of the whole run
  uint64_t bytes;                   // what it goes through
  // How far the running program has come, 0 to 1; below 0 while it cannot
  // tell. Asked twice a second.
  std::function<double(Subprocess* child)> measure;
};

// Starts `child` and waits for it to end. With a `watch` it shows its
// progress, and it is stopped when the user cancels. It is stopped too when
// the user interrupts; a shown run gets the interrupt with the user's
// terminal (or console), and counts as stopped when it comes.
ProgramRun RunProgram(const ChildProgram& child, const StepWatch* watch = nullptr);

// Why a run that did not succeed failed, in words for the user, such as
// "tar failed (exit code 2):" followed by the last lines of its error output.
std::string DescribeFailure(const char* program, const ProgramRun& run);

#endif  // ARKIVA_APP_ARCHIVE_PROGRAM_RUN_H_
