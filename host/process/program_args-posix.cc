#include "host/process/program_args.h"

#include <limits.h>
#include <stdlib.h>

namespace {
int g_argument_counter = 0;
std::vector<std::string> g_arguments;  // argv[1..]: POSIX has split them already
}  // namespace

void InitProgramArguments(int argc, char** argv) {
  g_argument_counter = 0;
  g_arguments.assign(argv + (argc > 0 ? 1 : 0), argv + (argc > 0 ? argc : 0));
}

std::string ProgramArgument() {
  if (static_cast<size_t>(g_argument_counter) >= g_arguments.size())
    return std::string();
  return g_arguments[g_argument_counter++];
}

bool SkipArgument(const std::string& text) {
  if (static_cast<size_t>(g_argument_counter) >= g_arguments.size() ||
      g_arguments[g_argument_counter] != text)
    return false;
  ++g_argument_counter;
  return true;
}

int ProgramArgumentCount() {
  return static_cast<int>(g_arguments.size()) - g_argument_counter;
}

std::string OwnProgramPath() {
  char path[PATH_MAX];
  return realpath("/proc/self/exe", path) ? std::string(path) : std::string();
}
