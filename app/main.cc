#include "app/archive.h"
#include "app/runtime.h"
#include "app/setup.h"
#include "host/program_args.h"
#include "registry/registry.h"

// One start runs one mode, chosen afresh from the registry: Setup mode while
// the folder menu key is absent (the first start), Archive mode after. A
// start without an argument sets up again when the registered menu needs it.
int main(int argc, char** argv) {
  StartRuntime(argc, argv);
  bool setup = !MenuIsRegistered() || (ProgramArgumentCount() == 0 && MenuNeedsSetup());
  int exit_code = setup ? RegisterContextMenu(OwnProgramPath()) : CreateArchive();
  EndRuntime(exit_code);
}
