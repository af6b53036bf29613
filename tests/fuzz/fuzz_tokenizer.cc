// Every token is a piece of the line, and a token without a double quote
// survives being quoted and split again.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>

#include <string>

#include "host/process/program_args.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string line(reinterpret_cast<const char*>(data), size);
  line = line.c_str();  // the command line ends at its first zero byte
  std::vector<std::string> tokens = SplitCommandLine(line.c_str());
  for (const std::string& token : tokens) {
    if (line.find(token) == std::string::npos)
      abort();
    if (token.find('"') == std::string::npos) {
      std::vector<std::string> again = SplitCommandLine(("p \"" + token + "\"").c_str());
      if (again.size() != 2 || again[1] != token)
        abort();
    }
  }
  if (tokens.empty() && line.find_first_not_of(' ') != std::string::npos)
    abort();
  return 0;
}
