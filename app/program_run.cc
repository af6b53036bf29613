#include "app/program_run.h"

#include <chrono>
#include <vector>

#include "host/entry_label.h"
#include "host/file_size.h"
#include "host/interrupt.h"
#include "host/progress.h"
#include "host/system_error.h"

namespace {

#ifdef _WIN32
const char kWhereProgramsAre[] = "it is neither beside arkiva.exe nor on PATH.";
#else
const char kWhereProgramsAre[] = "it is not on PATH.";
#endif

// Why the system would not start a program: plain words where it was not
// found, else the system's own.
std::string NotStartedBecause(unsigned long error) {
  if (ClassifySystemError(error) == SystemErrorKind::kNotFound)
    return kWhereProgramsAre;
  return SystemErrorText(error);
}

// Up to 10 lines, about 1 KB: enough for tar's own last words.
const size_t kTailLines = 10;
const size_t kTailBytes = 1024;

// A run that ends within this time shows no progress at all.
const auto kQuietTime = std::chrono::seconds(1);
// How often the watched file's size is read.
const int kPollMilliseconds = 250;

// Until the program has ended, its output can be a little larger than
// expected (headers, padding) or smaller (files that shrank): never show it
// as done before it is.
uint64_t ShownSoFar(int64_t written, uint64_t total) {
  uint64_t most = total - total / 100;
  return written <= 0 ? 0 : static_cast<uint64_t>(written) < most ? written : most;
}

// Waits for the program, showing the progress of `watch` once the run is
// no longer quick; stops it when the user cancels or interrupts. True when
// it was stopped.
bool WaitWatching(Subprocess* child, const OutputWatch* watch) {
  auto start = std::chrono::steady_clock::now();
  Progress* progress = watch ? BeginProgress(kEntryLabel, watch->line, watch->position) : nullptr;
  bool stopped = false;
  while (!child->Await(kPollMilliseconds)) {
    if (Interrupted() || (progress && ProgressCancelled(progress))) {
      child->Stop();
      stopped = true;
      break;
    }
    if (progress && std::chrono::steady_clock::now() - start >= kQuietTime) {
      uint64_t total = watch->expected_size ? watch->expected_size : 1;
      ShowProgress(progress, ShownSoFar(GrowingFileSize(watch->path), total), total);
    }
  }
  EndProgress(progress);
  return stopped;
}

}  // namespace

ProgramRun RunProgram(const char* program, const CommandArguments& arguments,
                      const std::string& folder, SubprocessWindow window,
                      const ChildEnvironment& environment, const OutputWatch* watch) {
  Subprocess child(program, arguments, folder, window, environment);
  if (!child.Started())
    return {ProgramRun::kNotStarted, 0, NotStartedBecause(child.StartError())};
  bool stopped = WaitWatching(&child, watch);
  SubprocessEnd end = child.Finish();
  // The interrupt reaches a shown program with the user's terminal.
  stopped = stopped || Interrupted();
  std::string said = LastLines(child.ErrorOutput(), kTailLines, kTailBytes);
  if (stopped)
    return {ProgramRun::kStopped, end.exit_code, said};
  if (end.outcome == SubprocessEnd::kSignalled)
    return {ProgramRun::kEnded, end.exit_code, said};
  return {ProgramRun::kExited, end.exit_code, said};
}

std::string DescribeFailure(const char* program, const ProgramRun& run) {
  std::string name = program, text;
  switch (run.outcome) {
    case ProgramRun::kNotStarted:
      return name + " could not be started: " + run.reason;
    case ProgramRun::kExited:
      text = name + " failed (exit code " + std::to_string(run.code) + ")";
      break;
    case ProgramRun::kEnded:
      text = name + " was ended from outside (signal " + std::to_string(run.code) + ")";
      break;
    case ProgramRun::kStopped:
      text = name + " was stopped";
      break;
  }
  return run.reason.empty() ? text + "." : text + ":\n" + run.reason;
}

std::string LastLines(const std::string& text, size_t max_lines, size_t max_bytes) {
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
