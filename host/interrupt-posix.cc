#include "host/interrupt.h"

#include <signal.h>
#include <string.h>

namespace {

volatile sig_atomic_t g_interrupted;

void NoteInterrupt(int) {
  g_interrupted = 1;
}

}  // namespace

void CatchInterrupt() {
  struct sigaction action;
  if (sigaction(SIGINT, nullptr, &action) != 0 || action.sa_handler == SIG_IGN)
    return;
  memset(&action, 0, sizeof(action));
  action.sa_handler = NoteInterrupt;  // no SA_RESTART: a wait returns at once
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
}

bool Interrupted() {
  return g_interrupted != 0;
}

void PassOnInterrupt() {
  if (!g_interrupted)
    return;
  signal(SIGINT, SIG_DFL);
  raise(SIGINT);
}
