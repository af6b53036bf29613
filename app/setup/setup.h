#ifndef ARKIVA_APP_SETUP_SETUP_H_
#define ARKIVA_APP_SETUP_SETUP_H_

#include <string>

// The folder menu key, machine-wide and for the current user only: while
// either exists, every start archives.
extern const char kFolderMenuKey[];
extern const char kUserFolderMenuKey[];

// Windows: the class that takes a verb's whole selection (the verbs'
// DropTarget), which arkiva.exe serves when COM starts it with -Embedding.
extern const char kDropTargetClass[];
// The same for "Create one tar.xz", served by arkiva.exe --one.
extern const char kOneDropTargetClass[];

// True when the folder menu key exists machine-wide or for this user. Both
// are asked: Windows merges the user's key into HKEY_CLASSES_ROOT, Wine does
// not.
bool MenuIsRegistered();

// Whether a start without an argument sets up again although the menu is
// registered: when the program the menu runs is gone (its folder was moved
// or deleted), so that the menu names this program from then on; and on
// Linux when only a package's system-wide store holds the menu key, so that
// the user's own entries (Thunar, the script folders) are still to be
// written; and on Windows when this user's verbs are the hidden copy an
// earlier build left, which kept the entry off the menus. A menu that runs
// another copy that is there is left alone.
bool MenuNeedsSetup();

// Whether only what an installer wrote for every user holds the menu, and
// this user's own setup is still to run (Linux: the package's store).
bool MenuIsOnlyInstalled();

// The program the folder menu runs: this user's entry, which Windows puts
// before the machine's, else the machine-wide one; "" when neither is there.
std::string RegisteredProgram();

// The command the shell runs for the menu entry: this program by its full
// path, quoted, so that no other arkiva.exe in the folder being browsed (or on
// PATH) is ever run in its place.
std::string MenuCommand(const std::string& program_path);

// Writes the machine-wide context-menu keys for `program_path`, every one
// even after a failure; the first failure's key and reason land in
// *failed_key and *reason. True when all were written.
bool WriteMenuKeys(const std::string& program_path, std::string* failed_key, std::string* reason);

// Setup mode: writes the context-menu keys for folders and for all files and
// confirms with a box. When a machine-wide write fails the remaining ones
// still run, the folder menu key is removed again, and the keys are written
// for the current user under HKEY_CURRENT_USER\Software\Classes instead; the
// box then says "Setup OK" and, on a second line, that the entry is this
// user's only and why. On Windows 11 the box has one more line: that the
// entry is on the first context menu, or why it stays under "Show more
// options". When those fail too, the box says which machine-wide
// key failed and why, and the next start retries. Returns the exit code: 0 or 1.
int RegisterContextMenu(const std::string& program_path);

// Windows: the MSI's own steps. "arkiva.exe --add-package" puts the entry on
// Windows 11's first menu for the user who runs it, as setup does: the MSI
// runs it as the installing user, and Active Setup as every other user at
// their next logon, since a package is registered per user.
// "--remove-package" takes the package away for this user,
// "--remove-package-for-all-users" (the MSI's uninstall, elevated) for
// every user; both remove the hidden verbs an earlier build left for the
// user who runs them. Nothing on Windows 10. Returns the exit code, or -1
// when the first argument names none of them (always on POSIX).
int RunInstallerStep();

#endif  // ARKIVA_APP_SETUP_SETUP_H_
