#include "host/ui/progress.h"

#include "catalogues/translation.h"

#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <memory>

#include "host/process/program_args.h"
#include "host/process/subprocess.h"
#include "progress_window/protocol.h"

namespace {

typedef std::chrono::steady_clock Clock;

// arkiva-progress's exit code for Cancel, the close button and Escape: one
// that no toolkit uses, as GTK exits 1 when its display goes away.
const int kOwnWindowCancelled = 10;

// A run that ends within this time shows nothing at all.
const auto kQuietTime = std::chrono::seconds(1);
// How long the end waits for the window to deliver its notice.
const int kNoticeMilliseconds = 5000;

bool HasDisplay() {
  const char* x11 = getenv("DISPLAY");
  const char* wayland = getenv("WAYLAND_DISPLAY");
  return (x11 && *x11) || (wayland && *wayland);
}

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace

struct Progress {
  enum Display { kNothing, kTerminal, kWindow } display;
  std::string title;
  Clock::time_point start, step_start;
  std::string step;
  bool drawn = false;                  // kTerminal: a line is on it
  std::unique_ptr<Subprocess> window;  // kWindow: from the first report shown
  WindowKind kind = kOwnWindow;
  bool cancelled = false;
};

Progress* BeginProgress(const std::string& title) {
  Progress* progress = new Progress;
  progress->title = title;
  progress->display = isatty(STDERR_FILENO) == 1 ? Progress::kTerminal
                      : HasDisplay()             ? Progress::kWindow
                                                 : Progress::kNothing;
  progress->start = progress->step_start = Clock::now();
  return progress;
}

namespace {

void DrawLine(Progress* progress, const ProgressReport& report) {
  std::string label = report.program;
  if (report.items > 1)
    label +=
        " " + Translated("%s of %s", {std::to_string(report.item), std::to_string(report.items)});
  // Back to the line's start, the text, then clear what a longer text left.
  fprintf(
      stderr, "\r%s: %s\033[K", label.c_str(),
      FormatProgressLine(report.done, report.total, SecondsSince(progress->step_start)).c_str());
  fflush(stderr);
  progress->drawn = true;
}

// arkiva-progress beside this program (a build, or a copy), else where the
// package puts it; zenity where neither is.
void OpenWindow(Progress* progress) {
  std::string folder = OwnProgramFolder() + "/";
  std::string program;
  for (std::string candidate :
       {folder + "arkiva-progress", folder + "../libexec/arkiva/arkiva-progress"})
    if (program.empty() && candidate.find('"') == std::string::npos &&
        access(candidate.c_str(), X_OK) == 0)
      program = candidate;
  progress->kind = program.empty() ? kZenityWindow : kOwnWindow;
  progress->window.reset(program.empty()
                             ? new Subprocess({.program = "zenity",
                                               .arguments = ZenityArguments(progress->title),
                                               .window = kFedWindow})
                             : new Subprocess({.program = "\"" + program + "\"",
                                               .arguments = {"", {progress->title}},
                                               .window = kFedWindow}));
  if (!progress->window->Started())
    progress->window.reset();
}

}  // namespace

void ShowProgress(Progress* progress, const ProgressReport& report) {
  if (report.step != progress->step) {
    progress->step = report.step;
    progress->step_start = Clock::now();
  }
  if (progress->display == Progress::kNothing || Clock::now() - progress->start < kQuietTime)
    return;
  if (progress->display == Progress::kTerminal)
    return DrawLine(progress, report);
  if (!progress->window) {
    OpenWindow(progress);
    if (!progress->window) {
      progress->display = Progress::kNothing;
      return;
    }
  }
  progress->window->Feed(WindowLines(progress->kind, report, SecondsSince(progress->start)));
}

bool ProgressCancelled(Progress* progress) {
  if (progress->cancelled || !progress->window || !progress->window->Await(0))
    return progress->cancelled;
  // Only the user's Cancel stops the run. Any other end (a display that went
  // away or could not be opened, a crash) takes the display away and leaves
  // the run going. zenity exits 1 for Cancel, and for a display it could not
  // open too, which it says.
  SubprocessEnd end = progress->window->Finish();
  bool exited = end.outcome == SubprocessEnd::kExited;
  if (progress->kind == kOwnWindow) {
    progress->cancelled = exited && end.exit_code == kOwnWindowCancelled;
  } else {
    bool no_display =
        progress->window->ErrorOutput().find("cannot open display") != std::string::npos;
    progress->cancelled = exited && end.exit_code == 1 && !no_display;
  }
  progress->window.reset();
  if (!progress->cancelled)
    progress->display = Progress::kNothing;
  return progress->cancelled;
}

void EndProgress(Progress* progress, const std::string& notice, const std::string& details) {
  if (!progress)
    return;
  if (progress->drawn) {
    fputs("\r\033[K", stderr);
    fflush(stderr);
  }
  if (progress->window && progress->kind == kOwnWindow) {
    // It closes at the end of its input, after it has delivered the notice.
    if (!notice.empty())
      progress->window->Feed(NoticeLines(notice, details));
    progress->window->CloseInput();
    progress->window->Await(kNoticeMilliseconds);
  } else if (progress->window) {
    progress->window.reset();  // zenity has no end of its own: it is stopped
    if (!notice.empty()) {
      Subprocess zenity({.program = "zenity", .arguments = ZenityNoticeArguments(notice, details)});
      zenity.Await(kNoticeMilliseconds);
    }
  }
  delete progress;
}
