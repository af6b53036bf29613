// For any name Windows allows, the argument lines split (by the rules the
// POSIX launcher uses, which the differential test holds against the Windows
// C runtime) into exactly the item and its archive, never an option.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>

#include <string>

#include "app/archive/archive.h"
#include "host/process/program_args.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string name(reinterpret_cast<const char*>(data), size);
  for (char c : name)
    if (static_cast<unsigned char>(c) < 0x20 ||
        std::string("\\/:*?\"<>|").find(c) != std::string::npos)
      return 0;
  for (bool posix : {false, true}) {
    ArchiveLines folder = BuildArchiveLines(name, true, posix);
    ArchiveLines file = BuildArchiveLines(name, false, posix);
    std::string operand = OperandName(name, posix);
    if (operand != name && operand != "./" + name)
      abort();
    if (!operand.empty() && (operand[0] == '-' || operand[0] == '@'))
      abort();
    using Args = std::vector<std::string>;
    Args tar = {"tar", "cf", "-", operand};
    if (posix)  // GNU tar, asked for the pax format
      tar.insert(tar.begin() + 3,
                 {"--format=posix", "--pax-option=delete=atime,delete=ctime,delete=mtime"});
    if (SplitCommandLine(("\"tar\" " + ArgumentLine(folder.tar)).c_str()) != tar)
      abort();
    if (SplitCommandLine(("\"xz\" " + ArgumentLine(folder.xz)).c_str()) !=
        Args{"xz", "-zv", operand + ".tar"})
      abort();
    if (SplitCommandLine(("\"xz\" " + ArgumentLine(file.xz)).c_str()) != Args{"xz", "-zv", operand})
      abort();
  }
  return 0;
}
