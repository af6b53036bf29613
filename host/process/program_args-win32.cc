#include "host/process/program_args.h"

#include <windows.h>

namespace {
int g_argument_counter = 0;
}

void InitProgramArguments(int, char**) {
  g_argument_counter = 0;
}

std::string ProgramArgument() {
  // Read afresh on every call: the command line is the only source.
  std::vector<std::string> tokens = SplitCommandLine(GetCommandLineA());
  size_t wanted = static_cast<size_t>(g_argument_counter) + 1;
  if (wanted >= tokens.size())
    return std::string();
  ++g_argument_counter;
  return tokens[wanted];
}

bool SkipArgument(const std::string& text) {
  std::vector<std::string> tokens = SplitCommandLine(GetCommandLineA());
  size_t wanted = static_cast<size_t>(g_argument_counter) + 1;
  if (wanted >= tokens.size() || tokens[wanted] != text)
    return false;
  ++g_argument_counter;
  return true;
}

int ProgramArgumentCount() {
  int tokens = static_cast<int>(SplitCommandLine(GetCommandLineA()).size());
  return tokens > g_argument_counter + 1 ? tokens - g_argument_counter - 1 : 0;
}

std::string OwnProgramPath() {
  char path[MAX_PATH * 4];
  DWORD n = GetModuleFileNameA(NULL, path, sizeof(path));
  return std::string(path, n < sizeof(path) ? n : 0);
}
