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
EntryFile Script(const std::string& path, const std::string& program, const Entry& entry) {
  return {path,
          "#!/bin/sh\n"
          "# " + std::string(entry.label) + ": " + entry.description + ".\n"
          "# " + kWrittenByArkiva + "; packaging/linux/remove-menu removes it.\n"
          "exec " + ShellWord(program) + " " + entry.arguments + " \"$@\"\n",
          true};
}
// clang-format on

}  // namespace

EntryFile NautilusScript(const std::string& data_home, const std::string& program,
                         const Entry& entry) {
  return Script(data_home + "/nautilus/scripts/" + ScriptName(entry), program, entry);
}

EntryFile CajaScript(const std::string& config_home, const std::string& program,
                     const Entry& entry) {
  return Script(config_home + "/caja/scripts/" + ScriptName(entry), program, entry);
}

std::string ScriptName(const Entry& entry) {
  return Translated(entry.script_name);
}

std::vector<std::string> EveryScriptName(const Entry& entry) {
  // The label alone was the first entry's scripts' first name.
  std::vector<std::string> names = {entry.script_name};
  if (!entry.many)
    names.push_back(entry.label);
  for (const LanguageText& text : EveryTranslation(entry.script_name))
    names.push_back(text.text);
  return names;
}
