#ifndef ARKIVA_HOST_PROGRESS_H_
#define ARKIVA_HOST_PROGRESS_H_

#include <stdint.h>

#include <string>

// What the user sees of a long run: the shell's progress dialog with its
// Cancel button (Windows), or one line redrawn in place on standard error
// when that is a terminal (POSIX).
struct Progress;

// Starts the clock; shows nothing yet. `title` is the dialog's title, `line`
// names the work ("Creating \"Name.tar\""), `position` says which of several
// items it is ("2 of 5"; empty for a single item).
Progress* BeginProgress(const std::string& title, const std::string& line,
                        const std::string& position);

// Shows `done` of `total` bytes; the first call makes the display appear.
void ShowProgress(Progress* progress, uint64_t done, uint64_t total);

// Whether the user has pressed Cancel.
bool ProgressCancelled(const Progress* progress);

// Closes the dialog or clears the line, and frees `progress` (null: nothing).
void EndProgress(Progress* progress);

// "0 bytes", "512 bytes", "1.5 KB", "64.0 MB", "1.2 GB": as Explorer counts,
// in steps of 1024.
std::string FormatBytes(uint64_t bytes);

// "1.5 MB of 3.0 MB".
std::string FormatDoneOfTotal(uint64_t done, uint64_t total);

// The terminal's line: "50%  1.5 MB of 3.0 MB  768.0 KB/s".
std::string FormatProgressLine(uint64_t done, uint64_t total, double seconds);

#endif  // ARKIVA_HOST_PROGRESS_H_
