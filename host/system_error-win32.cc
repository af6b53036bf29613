#include "host/system_error.h"

#include <windows.h>

std::string SystemErrorText(unsigned long code) {
  char text[512];
  DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, NULL, code,
                           0, text, sizeof(text), NULL);
  while (n > 0 && (text[n - 1] == '\n' || text[n - 1] == '\r' || text[n - 1] == ' '))
    --n;
  return n ? std::string(text, n) : "Error " + std::to_string(code) + ".";
}
