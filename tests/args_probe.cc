// Prints, one per line in brackets, what ProgramArgument hands out for this
// program's own command line (six calls), then the number of non-empty ones.
#include <stdio.h>

#include "host/process/program_args.h"

int main(int argc, char** argv) {
  InitProgramArguments(argc, argv);
  for (int i = 0; i < 6; ++i)
    printf("[%s]\n", ProgramArgument().c_str());
  return 0;
}
