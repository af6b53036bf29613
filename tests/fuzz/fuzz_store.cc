// The store parser reads back exactly what the store writer wrote, and any
// text it accepts writes back to a text that parses to the same store.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>

#include <fuzzer/FuzzedDataProvider.h>

#include <string>

#include "registry/registry.h"
#include "registry/store.h"

namespace {

bool Same(const RegistryStore& a, const RegistryStore& b) {
  if (a.keys.size() != b.keys.size())
    return false;
  for (size_t i = 0; i < a.keys.size(); ++i) {
    if (a.keys[i].path != b.keys[i].path || a.keys[i].values.size() != b.keys[i].values.size())
      return false;
    for (size_t j = 0; j < a.keys[i].values.size(); ++j) {
      const RegistryValue& x = a.keys[i].values[j];
      const RegistryValue& y = b.keys[i].values[j];
      if (x.name != y.name || x.type != y.type || x.data != y.data)
        return false;
    }
  }
  return true;
}

const char* kRoots[] = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE",
                        "HKEY_USERS", "HKEY_CURRENT_CONFIG"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Any text the parser accepts round-trips.
  RegistryStore parsed, again;
  std::string text(reinterpret_cast<const char*>(data), size);
  if (ParseRegistryStore(text, &parsed)) {
    if (!ParseRegistryStore(FormatRegistryStore(parsed), &again) || !Same(parsed, again))
      abort();
  }

  // A store built as the registry operations build it reads back unchanged.
  FuzzedDataProvider in(data, size);
  RegistryStore built;
  while (in.remaining_bytes() > 0) {
    std::string subkey = in.ConsumeRandomLengthString(40);
    std::string path;
    if (!StorableName(subkey) || subkey.find('\0') != std::string::npos ||
        !ParseRegistryKeyPath(
            (std::string(kRoots[in.ConsumeIntegralInRange(0, 4)]) + "\\" + subkey).c_str()) ||
        !StoreKeyPath(RegistryRoot, RegistrySubKey, &path))
      continue;
    AddRegistryKey(&built, path);
    std::string name = in.ConsumeRandomLengthString(20);
    std::string value_text = in.ConsumeRandomLengthString(60);
    uint32_t type = in.ConsumeIntegralInRange<uint32_t>(1, 4);
    std::string bytes;
    if (!StorableName(name) || name.find('\0') != std::string::npos ||
        !EncodeRegistryValue(value_text.c_str(), type, &bytes))
      continue;
    PutRegistryValue(FindRegistryKey(&built, path), name, type, bytes);
  }
  if (!ParseRegistryStore(FormatRegistryStore(built), &again) || !Same(built, again))
    abort();
  return 0;
}
