#include "registry/registry.h"

#include <string.h>

uint32_t RegistryRoot = 0;
std::string RegistrySubKey;

// Upper-cases a root name with the platform's own mapping.
std::string UpperCaseRootName(std::string text);

namespace {

const struct {
  const char* name;
  uint32_t root;
} kRoots[] = {
    {"HKEY_CLASSES_ROOT", kClassesRoot},     {"HKEY_CURRENT_USER", kCurrentUser},
    {"HKEY_LOCAL_MACHINE", kLocalMachine},   {"HKEY_USERS", kUsers},
    {"HKEY_CURRENT_CONFIG", kCurrentConfig},
};

int DigitValue(char c, int base) {
  int value = c >= '0' && c <= '9'   ? c - '0'
              : c >= 'a' && c <= 'f' ? c - 'a' + 10
              : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                     : 99;
  return value < base ? value : -1;
}

}  // namespace

bool ParseRegistryKeyPath(const char* key_path) {
  if (!key_path)
    key_path = "";
  const char* backslash = strchr(key_path, '\\');
  std::string first = backslash ? std::string(key_path, backslash) : std::string(key_path);
  RegistrySubKey = backslash ? std::string(backslash + 1) : std::string();
  first = UpperCaseRootName(first);
  RegistryRoot = 0;
  for (const auto& r : kRoots) {
    if (first == r.name) {
      RegistryRoot = r.root;
      return true;
    }
  }
  return false;
}

const char* RegistryRootName(uint32_t root) {
  for (const auto& r : kRoots)
    if (r.root == root)
      return r.name;
  return "";
}

int64_t ReadRegistryNumber(const char* text) {
  if (!text)
    return 0;
  const char* p = text;
  while (*p == ' ' || *p == '\t')
    ++p;
  bool negative = false;
  if (*p == '-' || *p == '+')
    negative = *p++ == '-';
  int base = 10;
  if (*p == '$' || *p == '%')
    base = *p++ == '$' ? 16 : 2;
  uint64_t value = 0;
  for (int digit; (digit = DigitValue(*p, base)) >= 0; ++p)
    value = value * base + digit;
  return static_cast<int64_t>(negative ? 0 - value : value);
}

void ReadHexPairs(const char* text, unsigned char* out, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    char pair[4] = {'$', text[2 * i], text[2 * i + 1], '\0'};
    out[i] = static_cast<unsigned char>(ReadRegistryNumber(pair));
  }
}

bool EncodeRegistryValue(const char* text, uint32_t type, std::string* bytes) {
  if (!text)
    text = "";
  switch (type) {
    case 1:
    case 2:
      bytes->assign(text, strlen(text) + 1);
      return true;
    case 4: {
      uint32_t value = static_cast<uint32_t>(ReadRegistryNumber(text));
      bytes->clear();
      for (int i = 0; i < 4; ++i)
        bytes->push_back(static_cast<char>(value >> (8 * i)));
      return true;
    }
    case 3: {
      size_t count = strlen(text) / 2;  // a trailing odd character is ignored
      bytes->assign(count, '\0');
      ReadHexPairs(text, reinterpret_cast<unsigned char*>(&(*bytes)[0]), count);
      return true;
    }
    default:
      return false;
  }
}

int RegistryCreateAndSetValue(const char* key_path, const char* value_name, const char* value_text,
                              uint32_t type, const char* machine, std::string* failure) {
  RegistryCreateKey(key_path, machine, nullptr);
  return RegistrySetValue(key_path, value_name, value_text, type, machine, failure);
}
