#ifndef ARKIVA_HOST_UI_MESSAGE_BOX_H_
#define ARKIVA_HOST_UI_MESSAGE_BOX_H_

#include <stdint.h>

// Box styles: a single OK button, with no icon, the error icon or the
// warning icon.
enum : uint32_t {
  kBoxPlain = 0x0,     // MB_OK
  kBoxError = 0x10,    // MB_OK | MB_ICONERROR
  kBoxWarning = 0x30,  // MB_OK | MB_ICONWARNING
};

// Shows a modal box and returns when it has been closed: the button that
// closed it (1 for OK), or 0 when no box could be shown.
//
// Windows: while the box is up, the calling thread's visible windows other
// than the foreground window are disabled and its top-most windows leave the
// top-most band; afterwards both are restored. The foreground window owns
// the box when it belongs to this process.
//
// POSIX: with a display, the first of zenity, kdialog and xmessage found on
// PATH that can show the box does; without one (or when none could show
// it) "title: text" goes to standard error and, when standard input is a
// terminal, Enter closes it.
int ShowMessageBox(const char* title, const char* text, uint32_t style = kBoxPlain);

// Once at start-up: common controls and COM (Windows); nothing on POSIX.
void InitRequesters();

#ifndef _WIN32
// The dialog half of ShowMessageBox: shows the box with zenity, kdialog or
// xmessage when there is a display and one of them can, and returns as
// ShowMessageBox does; -1 when none showed it. A dialog program counts as
// shown when it ended by itself, with 0 (OK) or another code (the user
// closed it), not when it said it could not reach the display.
int ShowDialogBox(const char* title, const char* text, uint32_t style = kBoxPlain);
#endif

#endif  // ARKIVA_HOST_UI_MESSAGE_BOX_H_
