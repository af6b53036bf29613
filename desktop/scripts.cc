#include "desktop/entry_file.h"

#include "catalogues/translation.h"

// TRANSLATORS: the file name of a script, which is its label in GNOME
// Files and Caja. It must not end in an ending such as ".xz".
const char kScriptName[] = ENTRY_TEXT("Create tar.xz archive");

namespace {

// Both managers run a script in the folder being shown, with the selected
// names as its arguments; they also list the paths, one a line, in a
// variable, which a name with a line break would make ambiguous, so the
// arguments are what the script passes on.
// clang-format off
// (one line of the file a line here)
EntryFile Script(const std::string& path, const std::string& program) {
  return {path,
          "#!/bin/sh\n"
          "# " + std::string(kEntryLabel) + ": " + kEntryDescription + ".\n"
          "# " + kWrittenByArkiva + "; packaging/linux/remove-menu removes it.\n"
          "exec " + ShellWord(program) + " -- \"$@\"\n",
          true};
}
// clang-format on

}  // namespace

EntryFile NautilusScript(const std::string& data_home, const std::string& program) {
  return Script(data_home + "/nautilus/scripts/" + ScriptName(), program);
}

EntryFile CajaScript(const std::string& config_home, const std::string& program) {
  return Script(config_home + "/caja/scripts/" + ScriptName(), program);
}

std::string ScriptName() {
  return Translated(kScriptName);
}

std::vector<std::string> EveryScriptName() {
  // The label alone was the scripts' first name.
  std::vector<std::string> names = {kScriptName, kEntryLabel};
  for (const LanguageText& text : EveryTranslation(kScriptName))
    names.push_back(text.text);
  return names;
}
