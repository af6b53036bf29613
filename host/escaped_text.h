#ifndef ARKIVA_HOST_ESCAPED_TEXT_H_
#define ARKIVA_HOST_ESCAPED_TEXT_H_

#include <initializer_list>
#include <string>

// One character and what stands for it in the text a reader gets.
struct CharEscape {
  char plain;
  const char* escaped;
};

// `text` with every character `escapes` names replaced: each reader of a
// text arkiva writes (XML, a key file, a run record, a shell) has its own
// table, and this one loop.
std::string EscapedText(const std::string& text, std::initializer_list<CharEscape> escapes);

// Text in XML or HTML markup, between tags: Thunar's uca.xml, kdialog's
// rich text.
std::string MarkupText(const std::string& text);

#endif  // ARKIVA_HOST_ESCAPED_TEXT_H_
