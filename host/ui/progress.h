#ifndef ARKIVA_HOST_UI_PROGRESS_H_
#define ARKIVA_HOST_UI_PROGRESS_H_

#include <stddef.h>
#include <stdint.h>

#include <string>

// What the user sees of a long run, from the first step of its first item to
// the end of its last: one display for the whole run. Windows: the shell's
// progress dialog with its Cancel button. POSIX: one line redrawn in place
// on standard error when that is a terminal; else, with a display, a window
// with Cancel (arkiva-progress, or zenity where that is missing).
struct Progress;

// Where a run stands.
struct ProgressReport {
  std::string program{};         // "tar" or "xz"
  std::string step{};            // Creating "Photos.tar", Compressing "Photos.tar.xz"
  size_t item = 1, items = 1;    // item 2 of 5
  double item_fraction = 0;      // of the item's work, its tar and its xz, 0 to 1
  double overall_fraction = 0;   // of the whole run, items weighted by size
  uint64_t done = 0, total = 0;  // bytes of the step
};

// Starts the clock; shows nothing yet. `title` names the window, when one
// opens.
Progress* BeginProgress(const std::string& title);

// Shows `report`. Nothing appears while the run is younger than a second:
// a quick run shows no display at all.
void ShowProgress(Progress* progress, const ProgressReport& report);

// Whether the user has asked the run to stop (Cancel, the close button,
// Escape).
bool ProgressCancelled(Progress* progress);

// Closes the display and frees `progress` (null: nothing). A `notice` (such
// as Created "Photos.tar.xz", with `details` below it) goes to the desktop's
// notifications when a display was shown, and is delivered before this
// returns.
void EndProgress(Progress* progress, const std::string& notice = "",
                 const std::string& details = "");

// "0 bytes", "512 bytes", "1.5 KB", "64.0 MB", "1.2 GB": as Explorer counts,
// in steps of 1024.
std::string FormatBytes(uint64_t bytes);

// "1.5 MB of 3.0 MB"; "1.5 MB" while the total is not known (0).
std::string FormatDoneOfTotal(uint64_t done, uint64_t total);

// The terminal's line: "50%  1.5 MB of 3.0 MB  768.0 KB/s"; "1.5 MB" while
// the total is not known.
std::string FormatProgressLine(uint64_t done, uint64_t total, double seconds);

// How long the rest of a run will take, from how long the part done took:
// "about 40 seconds left", "about 3 minutes left", "about 2 hours left";
// "" while too little is done to tell.
std::string FormatTimeLeft(double seconds, double fraction);

// The figures a window shows: "1.5 MB of 3.0 MB, about 3 minutes left".
std::string FormatFigures(const ProgressReport& report, double seconds);

// "item 2 of 5", or "" for a run of one item.
std::string FormatItemOfItems(const ProgressReport& report);

#endif  // ARKIVA_HOST_UI_PROGRESS_H_
