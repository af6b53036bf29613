#ifndef ARKIVA_DESKTOP_DESKTOP_SETUP_H_
#define ARKIVA_DESKTOP_DESKTOP_SETUP_H_

#include <string>
#include <vector>

// What setting up the Linux desktop entries did.
struct DesktopSetup {
  std::vector<std::string> set_up;    // the file managers that now show the entry
  std::vector<std::string> failures;  // "Thunar: <path>: why", one for each entry
                                      // that could not be written
};

// Gives every file manager this user may run the "Create tar.xz" entry,
// running `program` (an absolute path): GNOME Files and Caja scripts,
// Dolphin, Nemo, the file-manager actions of PCManFM, PCManFM-Qt and
// caja-actions, and Thunar's action list, in the XDG places of the user.
// A file manager that has arkiva's entry system-wide gets none of its own.
// Each file is written whole (a new file renamed over the old), replaces
// only a file arkiva wrote, and is never written twice over. Nothing on
// Windows, where the registry holds the entry.
DesktopSetup SetUpDesktopEntries(const std::string& program);

// "a, b and c".
std::string JoinNames(const std::vector<std::string>& names);

#endif  // ARKIVA_DESKTOP_DESKTOP_SETUP_H_
