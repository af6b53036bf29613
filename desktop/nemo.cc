#include "desktop/entry_file.h"

// A Nemo action: "any" extension takes folders and every file; only where
// the folder shown is local (not the Trash, where %F would give nothing).
// Selection=m: two or more items.
// clang-format off
// (one line of the file a line here)
EntryFile NemoAction(const std::string& data_dir, const std::string& program, const Entry& entry) {
  return {data_dir + "/nemo/actions/" + entry.file_stem + ".nemo_action",
          "# " + std::string(kWrittenByArkiva) + "; packaging/linux/remove-menu removes it.\n"
          "[Nemo Action]\n"
          "Name=" + entry.label + "\n" +
          TranslatedKeys("Name", entry.label) +
          "Comment=" + entry.description + "\n" +
          TranslatedKeys("Comment", entry.description) +
          "Icon-Name=package-x-generic\n"
          "Exec=" + KeyFileValue(EntryCommand(program, entry)) + "\n"
          "Selection=" + (entry.many ? "m" : "notnone") + "\n"
          "Extensions=any;\n"
          "UriScheme=file\n",
          false};
}
// clang-format on
