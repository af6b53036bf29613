#include "host/ui/message_box.h"

#include <stdlib.h>
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include "host/wide_text.h"

namespace {

// One window that the suspend step looked at; newest first in one list.
struct SavedWindowState {
  SavedWindowState* next;
  SavedWindowState* previous;
  DWORD thread;
  HWND window;
  uint8_t wasTopmost;
  uint8_t disabledHere;
};

SavedWindowState* g_saved;  // newest first

void Unlink(SavedWindowState* record) {
  if (record->previous)
    record->previous->next = record->next;
  else
    g_saved = record->next;
  if (record->next)
    record->next->previous = record->previous;
}

BOOL CALLBACK SuspendOne(HWND window, LPARAM) {
  DWORD thread = GetCurrentThreadId();
  if (GetWindowThreadProcessId(window, NULL) != thread || !IsWindowVisible(window))
    return TRUE;
  auto* record = static_cast<SavedWindowState*>(calloc(1, sizeof(SavedWindowState)));
  if (!record)
    return TRUE;  // without a record the window is left as it is
  record->thread = thread;
  record->window = window;
  record->next = g_saved;
  if (g_saved)
    g_saved->previous = record;
  g_saved = record;
  if (GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST)
    record->wasTopmost = 1;
  if (window != GetForegroundWindow() && IsWindowEnabled(window)) {
    record->disabledHere = 1;
    EnableWindow(window, FALSE);
  }
  return TRUE;
}

// Disables the thread's visible windows but the foreground one, and takes
// its top-most windows out of the band, keeping a record of each.
void SuspendThreadWindows() {
  EnumWindows(SuspendOne, 0);
  DWORD thread = GetCurrentThreadId();
  for (SavedWindowState* r = g_saved; r; r = r->next)
    if (r->thread == thread && r->wasTopmost)
      SetWindowPos(r->window, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
}

void RestoreThreadWindows() {
  DWORD thread = GetCurrentThreadId();
  for (SavedWindowState* r = g_saved; r;) {
    SavedWindowState* next = r->next;
    if (r->thread == thread) {
      if (r->disabledHere)
        EnableWindow(r->window, TRUE);
      if (r->wasTopmost)
        SetWindowPos(r->window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
      Unlink(r);
      free(r);
    }
    r = next;
  }
}

HWND FindOwnerWindow() {
  HWND foreground = GetForegroundWindow();
  if (!foreground)
    return NULL;
  DWORD process = 0;
  GetWindowThreadProcessId(foreground, &process);
  return process == GetCurrentProcessId() ? foreground : NULL;
}

}  // namespace

int ShowMessageBox(const char* title, const char* text, uint32_t style) {
  SuspendThreadWindows();
  HWND owner = FindOwnerWindow();
  // arkiva's texts are UTF-8, the catalogues' words on any code page.
  // Started by Explorer, not by the program in front, a box without the
  // foreground would only flash on the taskbar after a long run.
  int result = MessageBoxW(owner, WideFromUtf8(text).c_str(), WideFromUtf8(title).c_str(),
                           style | MB_SETFOREGROUND);
  RestoreThreadWindows();
  return result;
}

void InitRequesters() {
  INITCOMMONCONTROLSEX controls;
  controls.dwSize = sizeof(controls);
  controls.dwICC = ICC_TAB_CLASSES | ICC_HOTKEY_CLASS | ICC_DATE_CLASSES | ICC_USEREX_CLASSES |
                   ICC_INTERNET_CLASSES;
  InitCommonControlsEx(&controls);
  CoInitialize(NULL);
}
