#include "host/system_error.h"

#include <errno.h>
#include <string.h>

std::string SystemErrorText(unsigned long code) {
  return std::string(strerror(static_cast<int>(code))) + ".";
}

unsigned long LastSystemError() {
  return static_cast<unsigned long>(errno);
}

SystemErrorKind ClassifySystemError(unsigned long code) {
  switch (code) {
    case ENOENT:
    case ENOTDIR:
      return SystemErrorKind::kNotFound;
    case EACCES:
    case EPERM:
      return SystemErrorKind::kDenied;
    default:
      return SystemErrorKind::kOther;
  }
}
