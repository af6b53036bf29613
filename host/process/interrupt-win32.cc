#include "host/process/interrupt.h"

#include <windows.h>

#include "host/wide_text.h"

namespace {

volatile LONG g_interrupted;
HWND g_session_window;

// Runs on a thread of its own. Ctrl-C and Ctrl-Break in the console that xz
// shares with arkiva end xz, and only raise the flag here. Closing that
// console ends every process in it once this returns: the wait gives the
// main thread the time to remove what the run made, and it ends the process
// itself.
BOOL WINAPI NoteInterrupt(DWORD event) {
  InterlockedExchange(&g_interrupted, 1);
  if (event == CTRL_CLOSE_EVENT)
    Sleep(INFINITE);
  return TRUE;
}

// The end of the Windows session (a log-off, a shutdown, a restart) comes
// to top-level windows: WM_ENDSESSION is the last word before the system
// ends the process. It cancels the run as Cancel does; the main thread
// stops tar or xz, removes what the run made and ends the process, while
// this handler holds the session's end for it (a few seconds at the most,
// as Windows allows).
const DWORD kSessionEndWait = 4000;

LRESULT CALLBACK SessionWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_QUERYENDSESSION)
    return TRUE;
  if (message == WM_ENDSESSION && wparam) {
    InterlockedExchange(&g_interrupted, 1);
    Sleep(kSessionEndWait);
    return 0;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

DWORD WINAPI RunSessionWindow(void* ready) {
  WNDCLASSW window_class = {};
  window_class.lpfnWndProc = SessionWindowProc;
  window_class.hInstance = GetModuleHandleW(NULL);
  window_class.lpszClassName = L"arkiva session";
  RegisterClassW(&window_class);
  // Hidden, but top-level: a message-only window hears no session end.
  g_session_window = CreateWindowExW(0, L"arkiva session", L"Create tar.xz", WS_OVERLAPPED, 0, 0, 0,
                                     0, NULL, NULL, window_class.hInstance, NULL);
  SetEvent(static_cast<HANDLE>(ready));
  MSG message;
  while (g_session_window && GetMessageW(&message, NULL, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return 0;
}

}  // namespace

void CatchInterrupt() {
  SetConsoleCtrlHandler(NoteInterrupt, TRUE);
  if (g_session_window)
    return;
  HANDLE ready = CreateEventW(NULL, TRUE, FALSE, NULL);
  HANDLE thread = ready ? CreateThread(NULL, 0, RunSessionWindow, ready, 0, NULL) : NULL;
  if (thread) {
    WaitForSingleObject(ready, INFINITE);
    CloseHandle(thread);
  }
  if (ready)
    CloseHandle(ready);
}

bool Interrupted() {
  return g_interrupted != 0;
}

void PassOnInterrupt() {}

void SetBusyReason(const std::string& reason) {
  if (!g_session_window)
    return;
  if (reason.empty())
    ShutdownBlockReasonDestroy(g_session_window);
  else
    ShutdownBlockReasonCreate(g_session_window, Wide(reason).c_str());
}
