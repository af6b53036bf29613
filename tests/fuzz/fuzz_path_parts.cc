// The folder part followed by the file part gives the path back when it has
// no double quote and no vertical bar; the file part holds no separator.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>

#include <string>

#include "host/files/path_parts.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string path(reinterpret_cast<const char*>(data), size);
  path = path.c_str();
  std::string folder = DirectoryPart(path.c_str());
  std::string file = FileNamePart(path.c_str());
  if (file.find_first_of("\\/\"") != std::string::npos)
    abort();
  if (!folder.empty() && !IsPathSeparator(folder.back()))
    abort();
  if (path.find_first_of("\"|") == std::string::npos && folder + file != path)
    abort();
  return 0;
}
