#include "app/archive/program_run.h"

#include <vector>

#include "catalogues/translation.h"
#include "host/lines.h"
#include "host/process/interrupt.h"
#include "host/process/program_args.h"
#include "host/system_error.h"

namespace {

// Why the system would not start `program`: plain words where it was not
// found, else the system's own.
std::string NotStartedBecause(const std::string& program, unsigned long error) {
  if (ClassifySystemError(error) != SystemErrorKind::kNotFound)
    return SystemErrorText(error);
#ifdef _WIN32
  // Only the tar.exe and xz.exe beside arkiva.exe run: one that is gone
  // (a partial unzip, a quarantine) comes back with arkiva.
  return Translated("%1$s is missing beside arkiva.exe (%2$s): reinstall arkiva.",
                    {program + ".exe", OwnProgramFolder()});
#else
  (void)program;
  return Translated("it is not on PATH.");
#endif
}

// Up to 10 lines, about 1 KB: enough for tar's own last words.
const size_t kTailLines = 10;
const size_t kTailBytes = 1024;

// How often a Cancel is looked for, and how often, in polls, the display is
// brought up to date: twice a second is smooth, and costs xz next to nothing.
const int kPollMilliseconds = 250;
const int kPollsPerShow = 2;

// How far the step has come, 0 to 1; where it cannot tell, as far as it
// came last.
double StepFraction(Subprocess* child, const StepWatch& watch, double last) {
  double now = watch.measure ? watch.measure(child) : -1;
  return now >= 0 ? now : last;
}

ProgressReport Report(const StepWatch& watch, double fraction) {
  ProgressReport report = watch.report;
  report.item_fraction = watch.item_from + fraction * (watch.item_to - watch.item_from);
  report.overall_fraction = watch.overall_from + fraction * (watch.overall_to - watch.overall_from);
  report.done = static_cast<uint64_t>(fraction * watch.bytes);
  report.total = watch.bytes;
  return report;
}

// Waits for the program while the display follows it; stops it when the
// user cancels or interrupts. True when it was stopped.
bool WaitWatching(Subprocess* child, const StepWatch* watch) {
  double fraction = 0;
  Progress* progress = watch ? watch->progress : nullptr;
  if (progress)
    ShowProgress(progress, Report(*watch, fraction));
  for (int polls = 1; !child->Await(kPollMilliseconds); ++polls) {
    if (Interrupted() || (progress && ProgressCancelled(progress))) {
      child->Stop();
      return true;
    }
    if (watch && polls % kPollsPerShow == 0) {
      fraction = StepFraction(child, *watch, fraction);
      if (progress)
        ShowProgress(progress, Report(*watch, fraction));
    }
  }
  return false;
}

}  // namespace

ProgramRun RunProgram(const ChildProgram& program, const StepWatch* watch) {
  Subprocess child(program);
  if (!child.Started())
    return {.outcome = ProgramRun::kNotStarted,
            .reason = NotStartedBecause(program.program, child.StartError())};
  bool stopped = WaitWatching(&child, watch);
  SubprocessEnd end = child.Finish();
  // The interrupt reaches a shown program with the user's terminal.
  stopped = stopped || Interrupted();
  std::string all = child.ErrorOutput();
  std::string said = LastLines(all, kTailLines, kTailBytes);
  if (stopped)
    return {.outcome = ProgramRun::kStopped, .code = end.exit_code, .reason = said, .said = all};
  // Never taken for a success: what it did is not known.
  if (end.outcome == SubprocessEnd::kUnknown)
    return {.outcome = ProgramRun::kUnknown,
            .code = end.exit_code,
            .reason = SystemErrorText(end.exit_code),
            .said = all};
  if (end.outcome == SubprocessEnd::kSignalled)
    return {.outcome = ProgramRun::kEnded, .code = end.exit_code, .reason = said, .said = all};
  return {.outcome = ProgramRun::kExited, .code = end.exit_code, .reason = said, .said = all};
}

std::string DescribeFailure(const char* program, const ProgramRun& run) {
  // What the program said, where it said anything, goes below the sentence.
  bool said = !run.reason.empty();
  std::vector<std::string> values = {program, std::to_string(run.code), run.reason};
  switch (run.outcome) {
    case ProgramRun::kNotStarted:
      return Translated("%s could not be started: %s", {program, run.reason});
    case ProgramRun::kExited:
      return said ? Translated("%s failed (exit code %s):\n%s", values)
                  : Translated("%s failed (exit code %s).", values);
    case ProgramRun::kEnded:
      return said ? Translated("%s was ended from outside (signal %s):\n%s", values)
                  : Translated("%s was ended from outside (signal %s).", values);
    case ProgramRun::kStopped:
      return said ? Translated("%s was stopped:\n%s", {program, run.reason})
                  : Translated("%s was stopped.", {program});
    case ProgramRun::kUnknown:
      return Translated("how %s ended could not be learned: %s", {program, run.reason});
  }
  return "";
}
