#ifndef ARKIVA_HOST_WIDE_TEXT_H_
#define ARKIVA_HOST_WIDE_TEXT_H_

#include <stddef.h>

#include <string>

// Windows only: between the wide text of the W functions and this process's
// narrow text, which is in the code page the A functions use (UTF-8, as
// arkiva.exe's manifest asks). Text that cannot be converted comes back
// empty.
std::wstring Wide(const std::string& text);
std::string Narrow(const wchar_t* text, size_t length);
inline std::string Narrow(const std::wstring& text) {
  return Narrow(text.data(), text.size());
}

// Text that is UTF-8 whatever the code page (the catalogues' words), wide.
std::wstring WideFromUtf8(const std::string& text);

#endif  // ARKIVA_HOST_WIDE_TEXT_H_
