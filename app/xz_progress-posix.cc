#include "app/xz_progress.h"

#include <signal.h>

void AskXzProgress(Subprocess* xz) {
  xz->SignalIfCaught(SIGUSR1);
}
