#include "host/process/subprocess.h"

std::string ArgumentLine(const CommandArguments& arguments) {
  std::string line = arguments.options;
  for (const std::string& operand : arguments.operands)
    line += (line.empty() ? "\"" : " \"") + operand + "\"";
  return line;
}
