// A parse that succeeds found one of the five roots by its name, and the
// subkey is exactly the text after the first backslash.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <strings.h>

#include <string>

#include "registry/registry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string path(reinterpret_cast<const char*>(data), size);
  path = path.c_str();
  bool ok = ParseRegistryKeyPath(path.c_str());
  size_t backslash = path.find('\\');
  std::string first = path.substr(0, backslash);
  std::string subkey = backslash == std::string::npos ? "" : path.substr(backslash + 1);
  if (RegistrySubKey != subkey)
    abort();
  if (ok != (RegistryRoot != 0))
    abort();
  if (ok && strcasecmp(first.c_str(), RegistryRootName(RegistryRoot)) != 0)
    abort();
  return 0;
}
