#ifndef ARKIVA_REGISTRY_REGISTRY_H_
#define ARKIVA_REGISTRY_REGISTRY_H_

#include <stdint.h>

#include <string>

// Registry keys named by one text, "HKEY_CLASSES_ROOT\Directory\shell\x",
// on the machine `machine`: "." is the local one, any other text a remote
// computer. Windows works on its registry; POSIX on a store file (store.h).
// Every operation reports 1 on success and 0 on failure; when `failure` is
// given, a failure also leaves the system's reason there.

// The predefined root keys, with the values of their Windows handles.
enum : uint32_t {
  kClassesRoot = 0x80000000,
  kCurrentUser = 0x80000001,
  kLocalMachine = 0x80000002,
  kUsers = 0x80000003,
  kCurrentConfig = 0x80000005,
};

// What the last parse found (0: no root), and the path after the first
// backslash (empty for a bare root name).
extern uint32_t RegistryRoot;
extern std::string RegistrySubKey;

// Splits a key path into RegistryRoot and RegistrySubKey. Returns false when
// the first component (compared without regard to case) names no root.
bool ParseRegistryKeyPath(const char* key_path);

// The root's name ("HKEY_LOCAL_MACHINE"), or "" for no root.
const char* RegistryRootName(uint32_t root);

int RegistryKeyExists(const char* key_path, const char* machine, std::string* failure = nullptr);

// Whether the local key exists only in the store a package installed for
// every user, not yet in this user's own (POSIX); the Windows registry has
// one place for it, so never there.
bool RegistryKeyIsOnlyInstalled(const char* key_path);

// Creates the key and every missing key above it; an existing key is kept.
int RegistryCreateKey(const char* key_path, const char* machine, std::string* failure = nullptr);

// Removes the key with every key and value below it; a missing key counts
// as removed.
int RegistryDeleteKeyTree(const char* key_path, const char* machine,
                          std::string* failure = nullptr);

// Writes one value into an existing key. `type`: 1 (REG_SZ) and 2
// (REG_EXPAND_SZ) the text and its zero byte; 4 (REG_DWORD) the number the
// text reads as; 3 (REG_BINARY) one byte per pair of hex digits. The empty
// name is the key's default value. 1 only when the value was written.
int RegistrySetValue(const char* key_path, const char* value_name, const char* value_text,
                     uint32_t type, const char* machine, std::string* failure = nullptr);

// RegistryCreateKey, then RegistrySetValue.
int RegistryCreateAndSetValue(const char* key_path, const char* value_name, const char* value_text,
                              uint32_t type, const char* machine, std::string* failure = nullptr);

// Reads a text value (REG_SZ or REG_EXPAND_SZ) into *text, without its
// terminating zero.
int RegistryReadText(const char* key_path, const char* value_name, const char* machine,
                     std::string* text, std::string* failure = nullptr);

// Reads a number: blanks and tabs skipped, an optional sign, "$" for hex or
// "%" for binary, digits up to the first foreign character, 64-bit
// wrap-around; the sign is applied last.
int64_t ReadRegistryNumber(const char* text);

// Fills out[0..count) with the text's pairs of characters, each read as
// "$" + pair (a pair that does not begin with a hex digit gives 0).
void ReadHexPairs(const char* text, unsigned char* out, size_t count);

// The bytes a value text gives for `type` (1 to 4); false for other types.
bool EncodeRegistryValue(const char* text, uint32_t type, std::string* bytes);

#endif  // ARKIVA_REGISTRY_REGISTRY_H_
