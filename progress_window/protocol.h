#ifndef ARKIVA_PROGRESS_WINDOW_PROTOCOL_H_
#define ARKIVA_PROGRESS_WINDOW_PROTOCOL_H_

#include <string>

#include "host/process/subprocess.h"
#include "host/ui/progress.h"

// What arkiva tells the progress window on the desktop, a line at a time on
// its standard input. arkiva-progress ends with exit code 10 when the user
// cancels (1 when its display went away, 3 when it could not open one);
// zenity with 1.
//
// arkiva-progress (progress_window/) reads one setting a line, "name value",
// and redraws:
//   step Creating "Photos.tar"     the step, in bold
//   item Item 2 of 5               empty for a single item
//   bar 0.420                      the item's bar, tar and xz
//   overall 0.200                  the run's bar, for several items
//   figures 1.5 MB of 3.0 MB, about 3 minutes left
// and at the end, before its input ends, the notice to deliver:
//   notice Created "Photos.tar.xz"
//   detail a line below it (one such line each)
// At the end of its input it closes, delivers the notice, and exits 0.
//
// zenity --progress, where arkiva-progress is missing, reads "# text" for
// its label (with C escapes) and a number for its one bar, in percent.
enum WindowKind { kOwnWindow, kZenityWindow };

std::string WindowLines(WindowKind kind, const ProgressReport& report, double seconds);
std::string NoticeLines(const std::string& notice, const std::string& details);

CommandArguments ZenityArguments(const std::string& title);
CommandArguments ZenityNoticeArguments(const std::string& notice, const std::string& details);

#endif  // ARKIVA_PROGRESS_WINDOW_PROTOCOL_H_
