#ifndef ARKIVA_HOST_SYSTEM_ERROR_H_
#define ARKIVA_HOST_SYSTEM_ERROR_H_

#include <string>

// The system's own words for an error code (Windows: GetLastError's, through
// FormatMessageA; POSIX: errno's, through strerror), as one sentence ending
// in a full stop, e.g. "Access is denied." or "Permission denied.".
std::string SystemErrorText(unsigned long code);

// The calling thread's last error: GetLastError (Windows) or errno (POSIX).
unsigned long LastSystemError();

// What an error code says of the file it was about, where arkiva's words
// are plainer than the system's.
enum class SystemErrorKind { kNotFound, kDenied, kNotReady, kOther };
SystemErrorKind ClassifySystemError(unsigned long code);

// Why an item that may well be there cannot be reached, in words for the
// user; empty when the code says it is not there at all.
std::string UnreachableBecause(unsigned long code);

#endif  // ARKIVA_HOST_SYSTEM_ERROR_H_
