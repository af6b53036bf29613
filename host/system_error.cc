#include "host/system_error.h"

std::string UnreachableBecause(unsigned long code) {
  switch (ClassifySystemError(code)) {
    case SystemErrorKind::kNotFound:
      return "";
    case SystemErrorKind::kDenied:
      return "access to it or to a folder on its path is denied.";
    case SystemErrorKind::kNotReady:
      return "its drive is not ready.";
    case SystemErrorKind::kOther:
      break;
  }
  return SystemErrorText(code);
}
