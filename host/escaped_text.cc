#include "host/escaped_text.h"

std::string EscapedText(const std::string& text, std::initializer_list<CharEscape> escapes) {
  std::string result;
  result.reserve(text.size());
  for (char c : text) {
    const char* escaped = nullptr;
    for (const CharEscape& escape : escapes)
      if (escape.plain == c)
        escaped = escape.escaped;
    if (escaped)
      result += escaped;
    else
      result += c;
  }
  return result;
}

std::string MarkupText(const std::string& text) {
  return EscapedText(text, {{'&', "&amp;"}, {'<', "&lt;"}, {'>', "&gt;"}});
}
