#ifndef ARKIVA_DESKTOP_ENTRY_FILE_H_
#define ARKIVA_DESKTOP_ENTRY_FILE_H_

#include <string>
#include <vector>

#include "entry_label.h"

// The "Create tar.xz" entry on the Linux desktop: each file manager reads its
// own kind of file from its own place. One file here per kind; each builds
// the whole text of its file for a given arkiva program, which the entry runs
// by its absolute path on the whole selection.

// arkiva's two entries: "Create tar.xz", an archive of each item, and
// "Create one tar.xz", one archive of the whole selection (arkiva --one),
// which a manager that can shows for two or more items only.
struct Entry {
  const char* label;
  const char* description;  // what a manager shows beside the label
  const char* file_stem;    // the key-file entries' name, and Thunar's unique id
  const char* script_name;  // the scripts' file name, their label (kScriptName)
  const char* arguments;    // before the paths: "--" or "--one --"
  bool many;                // for two or more items only
};
extern const Entry kEachEntry, kOneEntry;

// One file of an entry, whole.
struct EntryFile {
  std::string path;
  std::string text;
  bool executable;
};

// Every file arkiva writes says so, in these words: arkiva replaces or
// removes only a file that holds them, never a user's file of the same name.
extern const char kWrittenByArkiva[];

// The file name of the key-file entries (Dolphin, Nemo, file-manager actions).
extern const char kEntryFileStem[];

// What the entry does, in words for users: the managers that show a
// description (Thunar in its status bar, Nemo, caja-actions, PCManFM as a
// tooltip) show this.
extern const char kEntryDescription[];

// The scripts' file name, which is also their label. GNOME Files and Caja
// list a script only when GIO types it as a program, and GIO types by the
// name's ending first: "Create tar.xz" reads as an xz file. "Create tar.xz
// archive" has no ending GIO knows, so its first line types it as a shell
// script.
extern const char kScriptName[];

// `text` as one word for a POSIX shell, GLib's g_shell_parse_argv and KDE's
// KShell alike: as it is when it holds only safe characters, else in single
// quotes ('\'' for a quote).
std::string ShellWord(const std::string& text);

// The command of a key-file or XML entry: the program, "--", then the field
// code for all the selected paths, which each manager quotes one by one.
// After "--" arkiva never sets up, so a manager that has no path to give
// (the Trash) starts nothing at all.
std::string EntryCommand(const std::string& program, const Entry& entry = kEachEntry);

// The entry's `key` in every language the catalogues have for `english`,
// one line each: "Name[de]=tar.xz erstellen\n". After the key in English.
std::string TranslatedKeys(const char* key, const char* english);

// The name of the scripts in the user's language, and every other name
// they may have had.
std::string ScriptName(const Entry& entry = kEachEntry);
std::vector<std::string> EveryScriptName(const Entry& entry = kEachEntry);

// `value` written as a key-file value (GLib's GKeyFile, KDE's KConfig):
// backslashes and line breaks escaped.
std::string KeyFileValue(const std::string& value);

// The scripts of GNOME Files and Caja: run in the folder being shown with
// the selected names as arguments, which the script hands on as they are.
// Scripts cannot ask for two items: the second one shows for one too, and
// then archives it as the first does.
EntryFile NautilusScript(const std::string& data_home, const std::string& program,
                         const Entry& entry = kEachEntry);
EntryFile CajaScript(const std::string& config_home, const std::string& program,
                     const Entry& entry = kEachEntry);

// `data_dir` is $XDG_DATA_HOME for a user's entry, /usr/share system-wide.
EntryFile DolphinServiceMenu(const std::string& data_dir, const std::string& program,
                             const Entry& entry = kEachEntry);
EntryFile NemoAction(const std::string& data_dir, const std::string& program,
                     const Entry& entry = kEachEntry);
EntryFile FileManagerAction(const std::string& data_dir, const std::string& program,
                            const Entry& entry = kEachEntry);

// The progress window's application entry, listed by no menu, which gives
// its window (app_id arkiva-progress) a name and an icon on the desktop.
EntryFile ProgressWindowEntry(const std::string& data_dir, const std::string& program);

// Thunar keeps every custom action in one file, uca.xml, which a user's copy
// replaces whole. The path of the user's.
std::string ThunarActionsPath(const std::string& config_home);

// The user's uca.xml text with arkiva's actions in it, each once: `actions` is the
// file's text (the user's, else the system's, else empty for none). Every
// other line stays as it was. False, with the reason, when `actions` is not
// a well-formed list of actions.
bool AddThunarAction(const std::string& actions, const std::string& program, std::string* merged,
                     std::string* why);

// `actions` without arkiva's actions.
std::string RemoveThunarAction(const std::string& actions);

#endif  // ARKIVA_DESKTOP_ENTRY_FILE_H_
