#include "host/system_error.h"

#include "catalogues/translation.h"

#include <windows.h>

std::string SystemErrorText(unsigned long code) {
  char text[512];
  DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, NULL, code,
                           0, text, sizeof(text), NULL);
  while (n > 0 && (text[n - 1] == '\n' || text[n - 1] == '\r' || text[n - 1] == ' '))
    --n;
  std::string words(text, n);
  // Some messages name their subject as an insert ("%1 is not a valid Win32
  // application."); the sentence is about the item at hand.
  size_t insert = words.find("%1");
  if (insert != std::string::npos)
    // TRANSLATORS: the item, in place of "%1" in a message of Windows'
    // own, such as "%1 is not a valid Win32 application."
    words.replace(insert, 2, Translated("it"));
  if (words.empty())
    return Translated("Error %s.", {std::to_string(code)});
  return words.back() == '.' ? words : words + ".";
}

unsigned long LastSystemError() {
  return GetLastError();
}

SystemErrorKind ClassifySystemError(unsigned long code) {
  switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return SystemErrorKind::kNotFound;
    case ERROR_ACCESS_DENIED:
      return SystemErrorKind::kDenied;
    case ERROR_NOT_READY:
      return SystemErrorKind::kNotReady;
    default:
      return SystemErrorKind::kOther;
  }
}
