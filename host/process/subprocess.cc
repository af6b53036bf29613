#include "host/process/subprocess.h"

#include <stdlib.h>

#include "host/files/path_parts.h"

std::string ArgumentLine(const CommandArguments& arguments) {
  std::string line = arguments.options;
  for (const std::string& operand : arguments.operands)
    line += (line.empty() ? "\"" : " \"") + operand + "\"";
  return line;
}

std::vector<std::string> ProgramFolders(const std::string& path, bool posix_paths) {
  char separator = posix_paths ? ':' : ';';
  std::vector<std::string> folders;
  for (size_t start = 0; start <= path.size();) {
    size_t end = path.find(separator, start);
    if (end == std::string::npos)
      end = path.size();
    std::string folder = path.substr(start, end - start);
    if (IsAbsolutePath(folder, posix_paths))
      folders.push_back(folder);
    start = end + 1;
  }
  return folders;
}

std::vector<std::string> ProgramCandidates(const std::string& program) {
  if (program.find('/') != std::string::npos)
    return {program};
  const char* path = getenv("PATH");
  std::vector<std::string> candidates;
  for (const std::string& folder :
       ProgramFolders(path ? path : "/usr/local/bin:/usr/bin:/bin", true))
    candidates.push_back(folder + "/" + program);
  return candidates;
}
