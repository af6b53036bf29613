#include "host/process/program_args.h"

#include <stdio.h>
#include <string.h>

#include "host/files/path_parts.h"

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

std::vector<std::string> InputItems() {
  std::vector<std::string> items;
  std::string item;
  char buffer[65536];
  size_t got;
  while ((got = fread(buffer, 1, sizeof(buffer), stdin)) > 0) {
    for (size_t i = 0; i < got; ++i) {
      if (buffer[i] != '\0') {
        item += buffer[i];
      } else if (!item.empty()) {
        items.push_back(item);
        item.clear();
      }
    }
  }
  if (!item.empty())
    items.push_back(item);
  return items;
}

std::string ProgramFolder(const std::string& program_path) {
  std::string folder = SplitItemPath(program_path, kPosixNames).folder;
  return folder.substr(0, folder.size() - !folder.empty());
}

std::string OwnProgramFolder() {
  return ProgramFolder(OwnProgramPath());
}
