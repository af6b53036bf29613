#include "host/process/interrupt.h"

#include <windows.h>

namespace {

volatile LONG g_interrupted;

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

}  // namespace

void CatchInterrupt() {
  SetConsoleCtrlHandler(NoteInterrupt, TRUE);
}

bool Interrupted() {
  return g_interrupted != 0;
}

void PassOnInterrupt() {}
