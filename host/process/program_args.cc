#include "host/process/program_args.h"

#include <string.h>

std::vector<std::string> SplitCommandLine(const char* line) {
  std::vector<std::string> tokens;
  if (!line)
    return tokens;
  const char* p = line;
  for (;;) {
    while (*p == ' ')
      ++p;
    if (*p == '"') {
      const char* start = p + 1;
      const char* end = strchr(start, '"');
      if (!end)
        end = start + strlen(start);
      tokens.emplace_back(start, end);
      p = *end ? end + 1 : end;  // a closing quote ends the token, blank or not
    } else if (*p == '\0') {
      return tokens;
    } else {
      const char* end = strchr(p, ' ');
      if (!end)
        end = p + strlen(p);
      tokens.emplace_back(p, end);
      p = *end ? end + 1 : end;
    }
  }
}
