#include "app/program_run.h"

#include <vector>

#include "host/launcher.h"

namespace {

// The shell's fallback would start whatever "tar" or "xz" it finds in the
// item's folder (a planted xz.exe, xz.cmd, ...), so arkiva never asks it:
// LaunchConnect rules the fallback out and has no other effect.
const uint32_t kNoShellFallback = LaunchConnect;

#ifdef _WIN32
const char kWhereProgramsAre[] = "it is neither beside arkiva.exe nor on PATH";
#else
const char kWhereProgramsAre[] = "it is not on PATH";
#endif

// Up to 10 lines, about 1 KB: enough for tar's own last words.
const size_t kTailLines = 10;
const size_t kTailBytes = 1024;

}  // namespace

ProgramRun RunProgram(const char* program, const std::string& line, const std::string& folder,
                      ProgramWindow window) {
  ProgramRun run;
  if (window == kShownWindow) {
    run.started = LaunchProgram(program, line.c_str(), folder.c_str(),
                                LaunchWait | kNoShellFallback, &run.exit_code) != 0;
    return run;
  }
  // Read the error pipe to its end first, then wait: a program that fills the
  // pipe while nobody reads would never end.
  intptr_t started = LaunchProgram(program, line.c_str(), folder.c_str(),
                                   LaunchHide | LaunchOpen | LaunchError | kNoShellFallback);
  if (!started)
    return run;
  auto* record = reinterpret_cast<ProgramRecord*>(started);
  run.started = true;
  run.error_tail = LastLines(ReadProgramPipe(record->stderr_read), kTailLines, kTailBytes);
  run.exit_code = WaitForProgram(record);
  return run;
}

std::string DescribeFailure(const char* program, const ProgramRun& run) {
  std::string name = program;
  if (!run.started)
    return name + " could not be started: " + kWhereProgramsAre + ".";
  std::string text = name + " failed (exit code " + std::to_string(run.exit_code) + ")";
  return run.error_tail.empty() ? text + "." : text + ":\n" + run.error_tail;
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
