#include "desktop/entry_file.h"

// A service menu, as KDE Frameworks 5.85 and later read them from
// kio/servicemenus; KIO runs only those marked executable. Each entry has a
// file of its own, as X-KDE-MinNumberOfUrls holds for a whole file.
// clang-format off
// (one line of the file a line here)
EntryFile DolphinServiceMenu(const std::string& data_dir, const std::string& program,
                             const Entry& entry) {
  std::string action = entry.many ? "createOneTarXz" : "createTarXz";
  return {data_dir + "/kio/servicemenus/" + entry.file_stem + ".desktop",
          "# " + std::string(kWrittenByArkiva) + "; packaging/linux/remove-menu removes it.\n"
          "[Desktop Entry]\n"
          "Type=Service\n"
          "MimeType=inode/directory;all/allfiles;\n" +
          (entry.many ? "X-KDE-MinNumberOfUrls=2\n" : "") +
          "Actions=" + action + ";\n"
          "\n"
          "[Desktop Action " + action + "]\n"
          "Name=" + entry.label + "\n" +
          TranslatedKeys("Name", entry.label) +
          "Icon=package-x-generic\n"
          "Exec=" + KeyFileValue(EntryCommand(program, entry)) + "\n",
          true};
}
// clang-format on
