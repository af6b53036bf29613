#ifndef ARKIVA_HOST_UI_FAILURE_REPORT_H_
#define ARKIVA_HOST_UI_FAILURE_REPORT_H_

#include <string>

// Tells the user, once, that a run failed and why, and returns when the user
// has seen it. Windows: a message box with `title` and the error icon.
// POSIX: "arkiva: text" on standard error and, when there is a display, the
// same text in a dialog with `title`.
void ReportFailure(const std::string& title, const std::string& text);

// The same for a run that made what it was asked to with a warning (an
// archive without what could not be read): the warning icon.
void ReportWarning(const std::string& title, const std::string& text);

#endif  // ARKIVA_HOST_UI_FAILURE_REPORT_H_
