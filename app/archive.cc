#include "app/archive.h"

#include <stdio.h>

#include "host/file_size.h"
#include "host/launcher.h"
#include "host/path_parts.h"
#include "host/program_args.h"

namespace {

#ifdef _WIN32
const bool kPosixNames = false;
#else
const bool kPosixNames = true;
#endif

// The shell's fallback would start whatever "tar" or "xz" it finds in the
// item's folder (a planted xz.exe, xz.cmd, ...), so arkiva never asks it:
// LaunchConnect rules the fallback out and has no other effect.
const uint32_t kNoShellFallback = LaunchConnect;

// Runs one program and waits; true when it started and exited with 0.
bool Run(const char* program, const std::string& line, const std::string& folder,
         uint32_t flags) {
  int exit_code = 0;
  intptr_t started = LaunchProgram(program, line.c_str(), folder.c_str(),
                                   flags | kNoShellFallback, &exit_code);
  return started != 0 && exit_code == 0;
}

}  // namespace

std::string OperandName(const std::string& name, bool posix_names) {
  bool option_like = !name.empty() && (name[0] == '-' || name[0] == '@');
  bool remote_like = posix_names && name.find(':') != std::string::npos;
  return option_like || remote_like ? "./" + name : name;
}

ArchiveLines BuildArchiveLines(const std::string& name, bool folder, bool posix_names) {
  std::string operand = OperandName(name, posix_names);
  std::string tar_name = "\"" + operand + ".tar\"";
  std::string quoted_name = "\"" + operand + "\"";
  if (!folder)
    return {std::string(), "-zv " + quoted_name};
  return {"cf " + tar_name + " " + quoted_name, "-zv " + tar_name};
}

int CreateArchive() {
  std::string argument = ProgramArgument();
  int64_t size = QueryFileSize(argument.c_str());
  bool folder = size == kSizeFolder;
  if (!folder && size <= 0)
    return 0;

  if (kPosixNames && argument.find_first_of("\"|") != std::string::npos) {
    // The argument line has no way to carry a double quote, and a vertical
    // bar would cut the folder part short.
    fprintf(stderr, "arkiva: cannot archive \"%s\": its path holds a \" or a |\n",
            argument.c_str());
    return 1;
  }

  std::string folder_part = DirectoryPart(argument.c_str());
  std::string name = FileNamePart(argument.c_str());
  ArchiveLines lines = BuildArchiveLines(name, folder, kPosixNames);
  if (folder) {
    // A tar that failed leaves a partial archive: never compress it.
    if (!Run("tar", lines.tar, folder_part, LaunchWait | LaunchHide))
      return 1;
  }
  return Run("xz", lines.xz, folder_part, LaunchWait) ? 0 : 1;
}
