#ifndef ARKIVA_HOST_FAILURE_REPORT_H_
#define ARKIVA_HOST_FAILURE_REPORT_H_

#include <string>

// Tells the user, once, that a run failed and why, and returns when the user
// has seen it. Windows: a message box titled "Create tar.xz" with the error
// icon. POSIX: "arkiva: text" on standard error and, when there is a
// display, the same text in a dialog.
void ReportFailure(const std::string& text);

#endif  // ARKIVA_HOST_FAILURE_REPORT_H_
