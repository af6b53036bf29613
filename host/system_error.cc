#include "host/system_error.h"

#include "catalogues/translation.h"

std::string UnreachableBecause(unsigned long code) {
  switch (ClassifySystemError(code)) {
    case SystemErrorKind::kNotFound:
      return "";
    case SystemErrorKind::kDenied:
      return Translated("access to it or to a folder on its path is denied.");
    case SystemErrorKind::kNotReady:
      return Translated("its drive is not ready.");
    case SystemErrorKind::kOther:
      break;
  }
  return SystemErrorText(code);
}
