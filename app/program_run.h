#ifndef ARKIVA_APP_PROGRAM_RUN_H_
#define ARKIVA_APP_PROGRAM_RUN_H_

#include <stddef.h>
#include <stdint.h>

#include <string>

#include "host/subprocess.h"

// One run of tar or xz, waited for, and how it ended: one outcome, as the
// program's life allows.
struct ProgramRun {
  enum Outcome {
    kNotStarted,  // the system would not start it; `reason` says why
    kExited,      // it ended by itself, with `code` (its exit code)
    kEnded,       // POSIX: something else ended it, with the signal `code`
    kStopped,     // the user cancelled or interrupted it, and it was ended
  } outcome;
  int code;
  std::string reason;  // kNotStarted: in words for the user; else the last
                       // lines of what it said (standard error, or on
                       // Windows its console)

  bool Succeeded() const { return outcome == kExited && code == 0; }
};

// The file a hidden run writes, watched for progress: a run that takes
// longer than a second shows how far it has come, with a way to cancel.
struct OutputWatch {
  std::string path;
  uint64_t expected_size;  // about what it will hold at the end
  std::string line;        // what the run does, in words
  std::string position;    // which of several items it is ("2 of 5"), or ""
};

// Starts `program` with `arguments` in `folder`, with `environment` on top of
// arkiva's own, and waits for it to end. A hidden run with a `watch` shows
// its progress; it is stopped when the user cancels or
// interrupts. A shown run gets the interrupt with the user's terminal (or
// console), and counts as stopped when it comes.
ProgramRun RunProgram(const char* program, const CommandArguments& arguments,
                      const std::string& folder, SubprocessWindow window,
                      const ChildEnvironment& environment, const OutputWatch* watch = nullptr);

// Why a run that did not succeed failed, in words for the user, such as
// "tar failed (exit code 2):" followed by the last lines of its error output.
std::string DescribeFailure(const char* program, const ProgramRun& run);

// The last `max_lines` non-empty lines of `text`, at most about `max_bytes`
// of them (earlier lines go first; a single longer line keeps its end),
// CR LF read as LF. Never cuts a UTF-8 character.
std::string LastLines(const std::string& text, size_t max_lines, size_t max_bytes);

#endif  // ARKIVA_APP_PROGRAM_RUN_H_
