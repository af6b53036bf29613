#include "desktop/entry_file.h"

#include "catalogues/translation.h"

const char kWrittenByArkiva[] = "Written by arkiva's setup";
const char kEntryFileStem[] = "arkiva-create-tar-xz";
const char kEntryDescription[] = ENTRY_TEXT("Pack the selection into .tar.xz archives beside it");

std::string ShellWord(const std::string& text) {
  const char kSafe[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789/._+-,=";
  if (!text.empty() && text.find_first_not_of(kSafe) == std::string::npos)
    return text;
  std::string word = "'";
  for (char c : text)
    word += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return word + "'";
}

std::string EntryCommand(const std::string& program) {
  // A '%' of the path would read as a field code.
  std::string escaped;
  for (char c : ShellWord(program))
    escaped += c == '%' ? std::string("%%") : std::string(1, c);
  return escaped + " -- %F";
}

std::string KeyFileValue(const std::string& value) {
  std::string escaped;
  for (char c : value) {
    if (c == '\\')
      escaped += "\\\\";
    else if (c == '\n')
      escaped += "\\n";
    else
      escaped += c;
  }
  return escaped;
}

std::string TranslatedKeys(const char* key, const char* english) {
  std::string lines;
  for (const LanguageText& text : EveryTranslation(english))
    lines += std::string(key) + "[" + text.language + "]=" + KeyFileValue(text.text) + "\n";
  return lines;
}
