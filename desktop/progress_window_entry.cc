#include "desktop/entry_file.h"

// The progress window's own application entry, which no menu lists: GNOME
// Shell and Plasma find a window's name and icon by its app_id
// (arkiva-progress) in applications/arkiva-progress.desktop, for the
// overview, the dock, the task bar and Alt+Tab. Its command is arkiva's
// "--" without paths, which does nothing, should anything start it.
// clang-format off
// (one line of the file a line here)
EntryFile ProgressWindowEntry(const std::string& data_dir, const std::string& program) {
  return {data_dir + "/applications/arkiva-progress.desktop",
          "# " + std::string(kWrittenByArkiva) + "; packaging/linux/remove-menu removes it.\n"
          "[Desktop Entry]\n"
          "Type=Application\n"
          "Name=" + kEntryLabel + "\n" +
          TranslatedKeys("Name", kEntryLabel) +
          "Icon=package-x-generic\n"
          "Exec=" + KeyFileValue(ShellWord(program)) + " --\n"
          "NoDisplay=true\n",
          false};
}
// clang-format on
