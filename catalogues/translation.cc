#include "catalogues/translation.h"

#include <string.h>

namespace {

// The entries' texts in every language, made from the catalogues at build
// time: {english, language, text}, by english.
struct EntryText {
  const char* english;
  const char* language;
  const char* text;
};
const EntryText kEntryTexts[] = {
#include "entry_texts.inc"
};

std::string Lower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c - 'A' + 'a');
    if (c == '-')
      c = '_';
  }
  return text;
}

int Find(const std::string& name, const std::vector<std::string>& catalogues) {
  for (size_t i = 0; i < catalogues.size(); ++i) {
    if (Lower(catalogues[i]) == name)
      return static_cast<int>(i);
  }
  return -1;
}

}  // namespace

std::string FillIn(const std::string& pattern, const std::vector<std::string>& values) {
  std::string text;
  size_t next = 0;
  for (size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] != '%' || i + 1 == pattern.size()) {
      text += pattern[i];
      continue;
    }
    size_t at = i + 1, number = 0;
    while (at < pattern.size() && pattern[at] >= '0' && pattern[at] <= '9')
      number = number * 10 + (pattern[at++] - '0');
    if (pattern[i + 1] == '%') {
      text += '%';
      i += 1;
    } else if (pattern[i + 1] == 's') {
      if (next < values.size())
        text += values[next];
      ++next;
      i += 1;
    } else if (number > 0 && pattern.compare(at, 2, "$s") == 0) {
      if (number <= values.size())
        text += values[number - 1];
      i = at + 1;
    } else {
      text += '%';
    }
  }
  return text;
}

std::string LocalDecimal(const std::string& c_decimal) {
  std::string separator = DecimalSeparator(), text;
  for (char c : c_decimal)
    text += c == '.' ? separator : std::string(1, c);
  return text;
}

std::vector<LanguageText> EveryTranslation(const char* english) {
  std::vector<LanguageText> texts;
  for (const EntryText& entry : kEntryTexts) {
    if (strcmp(entry.english, english) == 0)
      texts.push_back({entry.language, entry.text});
  }
  return texts;
}

int CatalogueFor(const std::string& language, const std::vector<std::string>& catalogues) {
  std::string name = Lower(language);
  int found = Find(name, catalogues);
  if (found >= 0)
    return found;
  std::string alone = name.substr(0, name.find('_'));
  if (alone == "zh") {
    bool simplified = name.find("_hans") != std::string::npos || name == "zh_sg" ||
                      name.compare(0, 6, "zh_sg_") == 0 || name == "zh";
    return simplified ? Find("zh_cn", catalogues) : -1;
  }
  return Find(alone, catalogues);
}

int PluralForm(PluralRule rule, uint64_t n) {
  switch (rule) {
    case PluralRule::kOneForm:
      return 0;
    case PluralRule::kNotOne:
      return n != 1;
    case PluralRule::kAboveOne:
      return n > 1;
    case PluralRule::kEastSlavic:
      return n % 10 == 1 && n % 100 != 11                                    ? 0
             : n % 10 >= 2 && n % 10 <= 4 && (n % 100 < 10 || n % 100 >= 20) ? 1
                                                                             : 2;
    case PluralRule::kPolish:
      return n == 1 ? 0 : n % 10 >= 2 && n % 10 <= 4 && (n % 100 < 10 || n % 100 >= 20) ? 1 : 2;
  }
  return 0;
}
