#include "app/runtime.h"

#include <stdlib.h>

#include "host/interrupt.h"
#include "host/subprocess.h"
#include "host/program_args.h"

void StartRuntime(int argc, char** argv) {
  InitProgramArguments(argc, argv);
  InitSubprocesses();
}

void EndRuntime(int exit_code) {
  PassOnInterrupt();  // an interrupted run ends as interrupted
  exit(exit_code);
}
