#include "desktop/entry_file.h"

#include "catalogues/translation.h"
#include "host/escaped_text.h"

const char kWrittenByArkiva[] = "Written by arkiva's setup";
const char kEntryFileStem[] = "arkiva-create-tar-xz";
const char kEntryDescription[] = ENTRY_TEXT("Pack the selection into .tar.xz archives beside it");

const Entry kEachEntry = {kEntryLabel, kEntryDescription, kEntryFileStem, kScriptName, "--", false};
const Entry kOneEntry = {kOneEntryLabel,
                         ENTRY_TEXT("Pack the selection into one .tar.xz archive beside it"),
                         "arkiva-create-one-tar-xz",
                         // TRANSLATORS: the second script's file name and label; as the first's,
                         // it must not end in an ending such as ".xz".
                         ENTRY_TEXT("Create one tar.xz archive"), "--one --", true};

std::string ShellWord(const std::string& text) {
  const char kSafe[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789/._+-,=";
  if (!text.empty() && text.find_first_not_of(kSafe) == std::string::npos)
    return text;
  return "'" + EscapedText(text, {{'\'', "'\\''"}}) + "'";
}

std::string EntryCommand(const std::string& program, const Entry& entry) {
  // A '%' of the path would read as a field code.
  return EscapedText(ShellWord(program), {{'%', "%%"}}) + " " + entry.arguments + " %F";
}

std::string KeyFileValue(const std::string& value) {
  return EscapedText(value, {{'\\', "\\\\"}, {'\n', "\\n"}});
}

std::string TranslatedKeys(const char* key, const char* english) {
  std::string lines;
  for (const LanguageText& text : EveryTranslation(english))
    lines += std::string(key) + "[" + text.language + "]=" + KeyFileValue(text.text) + "\n";
  return lines;
}
