#include "app/runtime.h"

#include <stdlib.h>

#include "host/process/interrupt.h"
#include "catalogues/translation.h"
#include "host/process/program_args.h"
#include "host/process/subprocess.h"

void StartRuntime(int argc, char** argv) {
  InitProgramArguments(argc, argv);
  UseUsersLanguage();
  InitSubprocesses();
}

std::string WhyThisSystemCannotRunArkiva() {
  return "";
}

void EndRuntime(int exit_code) {
  PassOnInterrupt();  // an interrupted run ends as interrupted
  exit(exit_code);
}
