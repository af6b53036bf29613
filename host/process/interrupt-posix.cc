#include "host/process/interrupt.h"

#include <signal.h>
#include <string.h>

namespace {

// Ctrl-C at a terminal, a closed terminal or a logout, and kill or a session
// manager ending arkiva: each ends the run the same way.
const int kEndingSignals[] = {SIGINT, SIGHUP, SIGTERM};

volatile sig_atomic_t g_interrupted;  // the signal that came, or 0

void NoteInterrupt(int signal) {
  if (!g_interrupted)
    g_interrupted = signal;
}

}  // namespace

void CatchInterrupt() {
  sigset_t ending;
  sigemptyset(&ending);
  for (int signal : kEndingSignals) {
    struct sigaction action;
    if (sigaction(signal, nullptr, &action) != 0 || action.sa_handler == SIG_IGN)
      continue;  // nohup, or a background job: it stays ignored
    memset(&action, 0, sizeof(action));
    action.sa_handler = NoteInterrupt;  // no SA_RESTART: a wait returns at once
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
    sigaddset(&ending, signal);
  }
  // A launcher may hand its blocked signals on: a blocked one would wait
  // until arkiva had finished.
  sigprocmask(SIG_UNBLOCK, &ending, nullptr);
}

bool Interrupted() {
  return g_interrupted != 0;
}

void PassOnInterrupt() {
  int signal = g_interrupted;
  if (!signal)
    return;
  ::signal(signal, SIG_DFL);
  raise(signal);
}

void SetBusyReason(const std::string&) {}
