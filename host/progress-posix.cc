#include "host/progress.h"

#include <stdio.h>
#include <unistd.h>

#include <chrono>

struct Progress {
  std::chrono::steady_clock::time_point start;
  std::string label;  // "tar", or "tar 2 of 5" for one of several items
  bool terminal;      // standard error is one: the line is drawn
  bool drawn;
};

Progress* BeginProgress(const std::string&, const std::string&, const std::string& position) {
  return new Progress{std::chrono::steady_clock::now(),
                      position.empty() ? "tar" : "tar " + position, isatty(STDERR_FILENO) == 1,
                      false};
}

void ShowProgress(Progress* progress, uint64_t done, uint64_t total) {
  if (!progress->terminal)
    return;
  std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - progress->start;
  // Back to the line's start, the text, then clear what a longer text left.
  fprintf(stderr, "\r%s: %s\033[K", progress->label.c_str(),
          FormatProgressLine(done, total, seconds.count()).c_str());
  fflush(stderr);
  progress->drawn = true;
}

bool ProgressCancelled(const Progress*) {
  return false;
}  // Ctrl-C is an interrupt

void EndProgress(Progress* progress) {
  if (progress && progress->drawn) {
    fputs("\r\033[K", stderr);
    fflush(stderr);
  }
  delete progress;
}
