// One of several processes writing into the same registry store at once:
// creates ten keys named after its number and sets a value in each.
#include <string>

#include "registry/registry.h"

int main(int argc, char** argv) {
  std::string n = argc > 1 ? argv[1] : "0";
  int failures = 0;
  for (int j = 0; j < 10; ++j) {
    std::string key = "HKEY_CURRENT_USER\\Software\\Writer" + n + "\\k" + std::to_string(j);
    failures += !RegistryCreateAndSetValue(key.c_str(), "v", n.c_str(), 1, ".");
  }
  return failures;
}
