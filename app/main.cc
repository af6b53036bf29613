#include "host/program_args.h"

int main(int argc, char** argv) {
  InitProgramArguments(argc, argv);
  return 0;
}
