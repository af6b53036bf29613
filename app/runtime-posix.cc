#include "app/runtime.h"

#include <stdlib.h>

#include "host/launcher.h"
#include "host/program_args.h"

void StartRuntime(int argc, char** argv) {
  InitProgramArguments(argc, argv);
  InitLauncher(nullptr);
}

void EndRuntime(int exit_code) {
  ReleaseLauncher();
  exit(exit_code);
}
