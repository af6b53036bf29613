#include "desktop/entry_file.h"

// The file-manager actions that PCManFM, PCManFM-Qt (libfm) and
// caja-actions read. libfm-qt skips a file without Type=Action; the first
// field code decides whether one run takes every item (%F). Folders=/*
// keeps it to items in local folders: libfm shows it in the Trash otherwise,
// where it can start nothing. (Schemes=file would say so too, but any
// Schemes line crashes PCManFM 1.3.2 as it opens a folder.) No Tooltip:
// PCManFM shows it in place of the name. SelectionCount=>1: two or more items.
// clang-format off
// (one line of the file a line here)
EntryFile FileManagerAction(const std::string& data_dir, const std::string& program,
                            const Entry& entry) {
  return {data_dir + "/file-manager/actions/" + entry.file_stem + ".desktop",
          "# " + std::string(kWrittenByArkiva) + "; packaging/linux/remove-menu removes it.\n"
          "[Desktop Entry]\n"
          "Type=Action\n"
          "Name=" + entry.label + "\n" +
          TranslatedKeys("Name", entry.label) +
          "Icon=package-x-generic\n"
          "Profiles=all;\n"
          "\n"
          "[X-Action-Profile all]\n"
          "MimeTypes=inode/directory;all/allfiles;\n"
          "Folders=/*;\n" +
          (entry.many ? "SelectionCount=>1\n" : "") +
          "Exec=" + KeyFileValue(EntryCommand(program, entry)) + "\n",
          false};
}
// clang-format on
