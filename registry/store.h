#ifndef ARKIVA_REGISTRY_STORE_H_
#define ARKIVA_REGISTRY_STORE_H_

#include <stdint.h>

#include <string>
#include <vector>

// The registry store that takes the Windows registry's place on POSIX: keys
// and values kept in one text file in the registry export format
// ("Windows Registry Editor Version 5.00"), which a person can read and
// regedit can import. The file is UTF-8 text without a byte-order mark, so
// hex(2) data holds the text's own bytes, as Wine's regedit reads such a file.

struct RegistryValue {
  std::string name;  // "" is the default value, written @=
  uint32_t type;
  std::string data;  // the value's bytes, as RegQueryValueEx gives them
};

struct RegistryKey {
  std::string path;  // full path from the root name, case as created
  std::vector<RegistryValue> values;
};

struct RegistryStore {
  std::vector<RegistryKey> keys;  // in file order; every parent listed too
};

// Reads the file's text; false (and *store unchanged) for anything that is
// not a complete, well-formed file.
bool ParseRegistryStore(const std::string& text, RegistryStore* store);
std::string FormatRegistryStore(const RegistryStore& store);

// Key paths compare without regard to case.
RegistryKey* FindRegistryKey(RegistryStore* store, const std::string& path);

// Adds the key and its missing parents; true when anything was added.
bool AddRegistryKey(RegistryStore* store, const std::string& path);

// Removes the key and every key below it; true when anything was removed.
bool RemoveRegistryKeyTree(RegistryStore* store, const std::string& path);

// Creates the value or replaces its type and data.
void PutRegistryValue(RegistryKey* key, const std::string& name, uint32_t type,
                      const std::string& data);

// The store's full key path for a parsed root and subkey, as Windows shows
// it (HKEY_CLASSES_ROOT is a view of HKEY_LOCAL_MACHINE\SOFTWARE\Classes;
// empty components are dropped). False for a subkey that begins with a
// backslash, which the registry refuses.
bool StoreKeyPath(uint32_t root, const std::string& subkey, std::string* path);

// Whether a key path or value name can be written in the file: the format
// has no way to carry a control character (a line break above all).
bool StorableName(const std::string& name);

// Where the store lives: $ARKIVA_REGISTRY, else
// $XDG_CONFIG_HOME/arkiva/registry.reg (XDG_CONFIG_HOME defaults to ~/.config).
std::string RegistryStorePath();

// The store a package installs for every user, read-only, under the user's
// own: a key in either exists. "" while $ARKIVA_REGISTRY names the one store.
std::string SystemRegistryStorePath();

// Whether the store file `file` holds the key `key_path` (as RegistryKeyExists
// takes it); false when the file cannot be read.
bool StoreHoldsKey(const std::string& file, const char* key_path);

// Reads one value from the user's store, else the system's (1), or 0 when
// the stores, the key or the value are missing.
int QueryRegistryValue(const char* key_path, const char* value_name, uint32_t* type,
                       std::string* data);

#endif  // ARKIVA_REGISTRY_STORE_H_
