#include "desktop/entry_file.h"

// A service menu, as KDE Frameworks 5.85 and later read them from
// kio/servicemenus; KIO runs only those marked executable.
// clang-format off
// (one line of the file a line here)
EntryFile DolphinServiceMenu(const std::string& data_dir, const std::string& program) {
  return {data_dir + "/kio/servicemenus/" + kEntryFileStem + ".desktop",
          "# " + std::string(kWrittenByArkiva) + "; packaging/linux/remove-menu removes it.\n"
          "[Desktop Entry]\n"
          "Type=Service\n"
          "MimeType=inode/directory;all/allfiles;\n"
          "Actions=createTarXz;\n"
          "\n"
          "[Desktop Action createTarXz]\n"
          "Name=" + kEntryLabel + "\n" +
          TranslatedKeys("Name", kEntryLabel) +
          "Icon=package-x-generic\n"
          "Exec=" + KeyFileValue(EntryCommand(program)) + "\n",
          true};
}
// clang-format on
