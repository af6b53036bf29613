#include "desktop/entry_file.h"

const char kScriptName[] = ARKIVA_ENTRY_LABEL " archive";

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
  return Script(data_home + "/nautilus/scripts/" + kScriptName, program);
}

EntryFile CajaScript(const std::string& config_home, const std::string& program) {
  return Script(config_home + "/caja/scripts/" + kScriptName, program);
}
