#ifndef ARKIVA_HOST_SYSTEM_ERROR_H_
#define ARKIVA_HOST_SYSTEM_ERROR_H_

#include <string>

// The system's own words for an error code (Windows: GetLastError's, through
// FormatMessageA; POSIX: errno's, through strerror), as one sentence ending
// in a full stop, e.g. "Access is denied." or "Permission denied.".
std::string SystemErrorText(unsigned long code);

#endif  // ARKIVA_HOST_SYSTEM_ERROR_H_
