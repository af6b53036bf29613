#include "app/archive/archive.h"
#include "app/drop_target.h"
#include "app/runtime.h"
#include "app/setup/setup.h"
#include "catalogues/translation.h"
#include "entry_label.h"
#include "host/ui/message_box.h"
#include "host/process/program_args.h"
#include "registry/registry.h"

// A system arkiva cannot run on is told so and left alone.
// A start by COM (Windows: arkiva.exe -Embedding) serves the verbs' drop
// target and archives the selection Explorer drops on it; this is decided
// first, so that the word is never taken for an item. Otherwise one start
// runs one mode, chosen afresh from the registry: Setup mode while
// the folder menu key is absent (the first start), Archive mode after. A
// start without an argument sets up again when the registered menu needs it.
// The Linux desktop entries start "arkiva -- PATHS": that is never setup,
// and without a path (a manager in the Trash has none to give) does nothing;
// "arkiva --items-on-input" is the same with the paths on standard input.
int main(int argc, char** argv) {
  StartRuntime(argc, argv);
  // Before anything is read or written: a system that would mangle names.
  std::string cannot_run = WhyThisSystemCannotRunArkiva();
  if (!cannot_run.empty()) {
    ShowMessageBox(Translated(kEntryLabel).c_str(), cannot_run.c_str(), kBoxError);
    EndRuntime(1);
  }
  ComStart com = StartedByCom();
  if (com == ComStart::kOneArchive)
    EndRuntime(ArchiveOne(ReceiveDroppedItems(com)));
  if (com == ComStart::kEachItem)
    EndRuntime(ArchiveItems(ReceiveDroppedItems(com)));
  int installer_step = RunInstallerStep();
  if (installer_step >= 0)
    EndRuntime(installer_step);
  // "Create one tar.xz" starts "arkiva --one -- PATHS": one archive of them
  // all, never setup ("arkiva --one PATHS" from a script alike).
  bool one = SkipArgument("--one");
  // GNOME Files' module hands any number of items on standard input.
  if (SkipArgument("--items-on-input"))
    EndRuntime(one ? ArchiveOne(InputItems()) : ArchiveItems(InputItems()));
  bool from_entry = SkipArgument("--") || one;
  bool setup =
      !from_entry && (!MenuIsRegistered() || (ProgramArgumentCount() == 0 && MenuNeedsSetup()));
  int exit_code = setup ? RegisterContextMenu(OwnProgramPath()) : CreateArchive(one);
  EndRuntime(exit_code);
}
