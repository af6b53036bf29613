#include "desktop/entry_file.h"

// A Nemo action: "any" extension takes folders and every file; only where
// the folder shown is local (not the Trash, where %F would give nothing).
// clang-format off
// (one line of the file a line here)
EntryFile NemoAction(const std::string& data_dir, const std::string& program) {
  return {data_dir + "/nemo/actions/" + kEntryFileStem + ".nemo_action",
          "# " + std::string(kWrittenByArkiva) + "; packaging/linux/remove-menu removes it.\n"
          "[Nemo Action]\n"
          "Name=" + kEntryLabel + "\n" +
          TranslatedKeys("Name", kEntryLabel) +
          "Comment=" + kEntryDescription + "\n" +
          TranslatedKeys("Comment", kEntryDescription) +
          "Icon-Name=package-x-generic\n"
          "Exec=" + KeyFileValue(EntryCommand(program)) + "\n"
          "Selection=notnone\n"
          "Extensions=any;\n"
          "UriScheme=file\n",
          false};
}
// clang-format on
