#include "app/runtime.h"

#include <windows.h>

#include "catalogues/translation.h"
#include "host/process/program_args.h"
#include "host/process/subprocess.h"
#include "host/ui/message_box.h"

namespace {
HINSTANCE g_instance;
HANDLE g_private_heap;
}  // namespace

void StartRuntime(int argc, char** argv) {
  g_instance = GetModuleHandleA(NULL);
  g_private_heap = HeapCreate(0, 4096, 0);
  InitProgramArguments(argc, argv);
  UseUsersLanguage();
  InitSubprocesses();
  InitRequesters();
}

std::string WhyThisSystemCannotRunArkiva() {
  if (GetACP() == CP_UTF8)
    return "";
  // TRANSLATORS: shown instead of anything else on Windows 10 before
  // version 1903 (and Server 2019), which cannot pass names in UTF-8.
  return Translated("arkiva needs Windows 10 version 1903 or later.");
}

void EndRuntime(int exit_code) {
  HeapDestroy(g_private_heap);
  ExitProcess(static_cast<UINT>(exit_code));
}
