#ifndef ARKIVA_APP_SETUP_H_
#define ARKIVA_APP_SETUP_H_

#include <string>

// The folder menu key: while it exists, every start archives.
extern const char kFolderMenuKey[];

// The command the shell runs for the menu entry: this program by its full
// path, quoted, so that no other arkiva.exe in the folder being browsed (or on
// PATH) is ever run in its place.
std::string MenuCommand(const std::string& program_path);

// Setup mode: writes the context-menu keys for folders and for all files and
// confirms with a box. When a write fails the remaining ones still run, the
// box says which key failed and why, and the folder menu key is removed again
// so that the next start retries. Returns the exit code: 0 or 1.
int RegisterContextMenu(const std::string& program_path);

#endif  // ARKIVA_APP_SETUP_H_
