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

#ifndef _WIN32
// Whether GNOME Files loads the module at `module_path`
// (LIBDIR/nautilus/extensions-4/...): it is there, and so is the extension
// library it links, LIBDIR/libnautilus-extension.so.4, which GNOME Files 43
// and later bring. GNOME Files 42 (Ubuntu 22.04's) has .so.1 and loads
// modules from extensions-3.0 only: its users get the script.
bool NautilusLoadsModule(const std::string& module_path);
#endif

// "a, b and c".
std::string JoinNames(const std::vector<std::string>& names);

#endif  // ARKIVA_DESKTOP_DESKTOP_SETUP_H_
