#include "app/program_run.h"

#include <vector>

#include "catalogues/translation.h"
#include "host/process/interrupt.h"
#include "host/process/program_args.h"
#include "host/system_error.h"

namespace {

// Why the system would not start `program`: plain words where it was not
// found, else the system's own.
std::string NotStartedBecause(const char* program, unsigned long error) {
  if (ClassifySystemError(error) != SystemErrorKind::kNotFound)
    return SystemErrorText(error);
#ifdef _WIN32
  // Only the tar.exe and xz.exe beside arkiva.exe run: one that is gone
  // (a partial unzip, a quarantine) comes back with arkiva.
  return Translated("%1$s is missing beside arkiva.exe (%2$s): reinstall arkiva.",
                    {std::string(program) + ".exe", OwnProgramFolder()});
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

ProgramRun RunProgram(const char* program, const CommandArguments& arguments,
                      const std::string& folder, SubprocessWindow window,
                      const ChildEnvironment& environment, const StepWatch* watch,
                      intptr_t output) {
  Subprocess child(program, arguments, folder, window, environment, output);
  if (!child.Started())
    return {ProgramRun::kNotStarted, 0, NotStartedBecause(program, child.StartError()), ""};
  bool stopped = WaitWatching(&child, watch);
  SubprocessEnd end = child.Finish();
  // The interrupt reaches a shown program with the user's terminal.
  stopped = stopped || Interrupted();
  std::string all = child.ErrorOutput();
  std::string said = LastLines(all, kTailLines, kTailBytes);
  if (stopped)
    return {ProgramRun::kStopped, end.exit_code, said, all};
  // Never taken for a success: what it did is not known.
  if (end.outcome == SubprocessEnd::kUnknown)
    return {ProgramRun::kUnknown, end.exit_code, SystemErrorText(end.exit_code), all};
  if (end.outcome == SubprocessEnd::kSignalled)
    return {ProgramRun::kEnded, end.exit_code, said, all};
  return {ProgramRun::kExited, end.exit_code, said, all};
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

std::vector<std::string> NonEmptyLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos)
      end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r')
      line.pop_back();
    if (!line.empty())
      lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

std::string LastLines(const std::string& text, size_t max_lines, size_t max_bytes) {
  std::vector<std::string> lines = NonEmptyLines(text);
  std::string tail;
  for (size_t i = lines.size(), taken = 0; i > 0 && taken < max_lines; --i, ++taken) {
    std::string with = tail.empty() ? lines[i - 1] : lines[i - 1] + "\n" + tail;
    if (with.size() > max_bytes) {
      if (tail.empty()) {  // one long line: keep its end, from a character's start
        size_t cut = lines[i - 1].size() - max_bytes;
        while (cut < lines[i - 1].size() && (lines[i - 1][cut] & 0xC0) == 0x80)
          ++cut;
        tail = lines[i - 1].substr(cut);
      }
      break;
    }
    tail = with;
  }
  return tail;
}
