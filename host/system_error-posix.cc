#include "host/system_error.h"

#include <string.h>

std::string SystemErrorText(unsigned long code) {
  return std::string(strerror(static_cast<int>(code))) + ".";
}
