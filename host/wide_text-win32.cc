#include "host/wide_text.h"

#include <windows.h>

namespace {

std::wstring WideIn(UINT code_page, const std::string& text) {
  int size = static_cast<int>(text.size());
  int length = MultiByteToWideChar(code_page, 0, text.data(), size, NULL, 0);
  std::wstring wide(length > 0 ? length : 0, L'\0');
  if (length > 0)
    MultiByteToWideChar(code_page, 0, text.data(), size, &wide[0], length);
  return wide;
}

}  // namespace

std::wstring Wide(const std::string& text) {
  return WideIn(CP_ACP, text);
}

std::wstring WideFromUtf8(const std::string& text) {
  return WideIn(CP_UTF8, text);
}

std::string Narrow(const wchar_t* text, size_t length) {
  int size = static_cast<int>(length);
  int bytes = WideCharToMultiByte(CP_ACP, 0, text, size, NULL, 0, NULL, NULL);
  std::string narrow(bytes > 0 ? bytes : 0, '\0');
  if (bytes > 0)
    WideCharToMultiByte(CP_ACP, 0, text, size, &narrow[0], bytes, NULL, NULL);
  return narrow;
}
