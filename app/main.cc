#include "app/archive.h"
#include "app/runtime.h"
#include "app/setup.h"
#include "host/program_args.h"
#include "registry/registry.h"

// One start runs one mode, chosen afresh from the registry: Setup mode while
// the folder menu key is absent (the first start), Archive mode after.
int main(int argc, char** argv) {
  StartRuntime(argc, argv);
  int exit_code = MenuIsRegistered() ? CreateArchive() : RegisterContextMenu(OwnProgramPath());
  EndRuntime(exit_code);
}
