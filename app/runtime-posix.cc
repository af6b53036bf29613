#include "app/runtime.h"

#include <stdlib.h>

#include "host/interrupt.h"
#include "host/launcher.h"
#include "host/program_args.h"

void StartRuntime(int argc, char** argv) {
  InitProgramArguments(argc, argv);
  InitLauncher(nullptr);
}

void EndRuntime(int exit_code) {
  ReleaseLauncher();
  PassOnInterrupt();  // an interrupted run ends as interrupted
  exit(exit_code);
}
