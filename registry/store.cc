#include "registry/store.h"

#include <ctype.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include "host/lines.h"
#include "registry/registry.h"

namespace {

const char kHeader[] = "Windows Registry Editor Version 5.00";
const char kClassesView[] = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes";

bool SameText(const std::string& a, const std::string& b) {
  return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

// A quoted string with \\ and \" escaped.
std::string Quoted(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '\\' || c == '"')
      out += '\\';
    out += c;
  }
  return out + "\"";
}

std::string HexBytes(const std::string& data) {
  std::string out;
  char byte[4];
  for (size_t i = 0; i < data.size(); ++i) {
    snprintf(byte, sizeof(byte), i ? ",%02x" : "%02x", static_cast<unsigned char>(data[i]));
    out += byte;
  }
  return out;
}

// A string value that the quoted form carries as it is: one zero byte at the
// end and no other control character.
bool PlainString(const RegistryValue& value) {
  if (value.type != 1 || value.data.empty() || value.data.back() != '\0')
    return false;
  for (size_t i = 0; i + 1 < value.data.size(); ++i)
    if (static_cast<unsigned char>(value.data[i]) < 0x20)
      return false;
  return true;
}

std::string FormatData(const RegistryValue& value) {
  if (PlainString(value))
    return Quoted(value.data.substr(0, value.data.size() - 1));
  if (value.type == 4 && value.data.size() == 4) {
    uint32_t n = 0;
    for (int i = 3; i >= 0; --i)
      n = n << 8 | static_cast<unsigned char>(value.data[i]);
    char text[16];
    snprintf(text, sizeof(text), "dword:%08x", n);
    return text;
  }
  if (value.type == 3)
    return "hex:" + HexBytes(value.data);
  char type[16];
  snprintf(type, sizeof(type), "hex(%x):", value.type);  // the type in hex, as regedit writes it
  return type + HexBytes(value.data);
}

// Reads a quoted string at `p`; advances past the closing quote.
bool ReadQuoted(const char*& p, std::string* out) {
  if (*p != '"')
    return false;
  out->clear();
  for (++p; *p != '"'; ++p) {
    if (*p == '\0')
      return false;
    if (*p == '\\') {
      ++p;
      if (*p != '\\' && *p != '"')
        return false;
    }
    *out += *p;
  }
  ++p;
  return true;
}

bool ReadHexList(const char* p, std::string* out) {
  out->clear();
  while (*p) {
    unsigned int byte;
    int used = 0;
    if (!isxdigit(static_cast<unsigned char>(p[0])) || sscanf(p, "%2x%n", &byte, &used) != 1 ||
        used != 2)
      return false;
    out->push_back(static_cast<char>(byte));
    p += 2;
    if (*p == ',')
      ++p;
    else if (*p)
      return false;
  }
  return true;
}

bool ParseValueLine(const std::string& line, RegistryValue* value) {
  const char* p = line.c_str();
  if (*p == '@') {
    value->name.clear();
    ++p;
  } else if (!ReadQuoted(p, &value->name)) {
    return false;
  }
  if (*p++ != '=')
    return false;
  if (*p == '"') {
    std::string text;
    if (!ReadQuoted(p, &text) || *p)
      return false;
    value->type = 1;
    value->data = text + '\0';
    return true;
  }
  if (strncmp(p, "dword:", 6) == 0) {
    p += 6;
    if (strlen(p) != 8 || strspn(p, "0123456789abcdefABCDEF") != 8)
      return false;
    uint32_t n = static_cast<uint32_t>(strtoul(p, nullptr, 16));
    value->type = 4;
    value->data.clear();
    for (int i = 0; i < 4; ++i)
      value->data.push_back(static_cast<char>(n >> (8 * i)));
    return true;
  }
  if (strncmp(p, "hex:", 4) == 0) {
    value->type = 3;
    return ReadHexList(p + 4, &value->data);
  }
  size_t digits = strncmp(p, "hex(", 4) == 0 ? strspn(p + 4, "0123456789abcdefABCDEF") : 0;
  if (digits >= 1 && digits <= 8 && strncmp(p + 4 + digits, "):", 2) == 0) {
    value->type = static_cast<uint32_t>(strtoul(p + 4, nullptr, 16));
    int used = static_cast<int>(4 + digits + 2);
    return ReadHexList(p + used, &value->data);
  }
  return false;
}

}  // namespace

bool ParseRegistryStore(const std::string& text, RegistryStore* store) {
  // A file we wrote always ends with a newline: one that does not was cut short.
  if (text.empty() || text.back() != '\n')
    return false;
  std::vector<std::string> lines;
  for (std::string line : SplitLines(text)) {
    if (!line.empty() && line.back() == '\r')
      line.pop_back();
    if (memchr(line.data(), '\0', line.size()))
      return false;
    // Long values continue on the next line after a trailing backslash.
    if (!lines.empty() && !lines.back().empty() && lines.back().back() == '\\' &&
        lines.back().find('=') != std::string::npos && lines.back()[0] != '[') {
      lines.back().pop_back();
      size_t indent = line.find_first_not_of(' ');
      lines.back() += indent == std::string::npos ? "" : line.substr(indent);
      continue;
    }
    lines.push_back(line);
  }
  std::string first = lines.empty() ? "" : lines[0];
  if (first.compare(0, 3, "\xEF\xBB\xBF") == 0)
    first.erase(0, 3);
  if (first != kHeader)
    return false;

  RegistryStore parsed;
  std::string current;  // the key that the lines below belong to
  for (size_t i = 1; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (line.empty() || line[0] == ';')
      continue;
    if (line[0] == '[') {
      // "[-...]" deletes a key on import: not something a store holds.
      if (line.back() != ']' || line.size() < 3 || line[1] == '-' ||
          !ParseRegistryKeyPath(line.substr(1, line.size() - 2).c_str()) ||
          !StoreKeyPath(RegistryRoot, RegistrySubKey, &current))
        return false;
      AddRegistryKey(&parsed, current);
      continue;
    }
    RegistryValue value;
    if (current.empty() || !ParseValueLine(line, &value))
      return false;
    PutRegistryValue(FindRegistryKey(&parsed, current), value.name, value.type, value.data);
  }
  *store = parsed;
  return true;
}

std::string FormatRegistryStore(const RegistryStore& store) {
  std::string out = std::string(kHeader) + "\n";
  for (const RegistryKey& key : store.keys) {
    out += "\n[" + key.path + "]\n";
    for (const RegistryValue& value : key.values)
      out += (value.name.empty() ? "@" : Quoted(value.name)) + "=" + FormatData(value) + "\n";
  }
  return out;
}

RegistryKey* FindRegistryKey(RegistryStore* store, const std::string& path) {
  for (RegistryKey& key : store->keys)
    if (SameText(key.path, path))
      return &key;
  return nullptr;
}

bool AddRegistryKey(RegistryStore* store, const std::string& path) {
  bool added = false;
  // Each prefix that ends before a backslash is a parent; a root is listed
  // only when it is the key itself (it holds values then).
  for (size_t end = path.find('\\');; end = path.find('\\', end + 1)) {
    std::string prefix = path.substr(0, end);
    bool wanted = prefix.find('\\') != std::string::npos || end == std::string::npos;
    if (wanted && !FindRegistryKey(store, prefix)) {
      store->keys.push_back({prefix, {}});
      added = true;
    }
    if (end == std::string::npos)
      return added;
  }
}

bool RemoveRegistryKeyTree(RegistryStore* store, const std::string& path) {
  size_t before = store->keys.size();
  std::vector<RegistryKey> kept;
  for (RegistryKey& key : store->keys) {
    bool below = key.path.size() > path.size() && key.path[path.size()] == '\\' &&
                 SameText(key.path.substr(0, path.size()), path);
    if (!SameText(key.path, path) && !below)
      kept.push_back(std::move(key));
  }
  store->keys = std::move(kept);
  return store->keys.size() != before;
}

void PutRegistryValue(RegistryKey* key, const std::string& name, uint32_t type,
                      const std::string& data) {
  for (RegistryValue& value : key->values) {
    if (SameText(value.name, name)) {
      value.type = type;
      value.data = data;
      return;
    }
  }
  key->values.push_back({name, type, data});
}

bool StorableName(const std::string& name) {
  for (char c : name)
    if (static_cast<unsigned char>(c) < 0x20)
      return false;
  return true;
}

bool StoreKeyPath(uint32_t root, const std::string& subkey, std::string* path) {
  if (!subkey.empty() && subkey[0] == '\\')
    return false;
  *path = root == kClassesRoot ? kClassesView : RegistryRootName(root);
  size_t start = 0;
  while (start <= subkey.size()) {
    size_t end = subkey.find('\\', start);
    if (end == std::string::npos)
      end = subkey.size();
    if (end > start)
      *path += "\\" + subkey.substr(start, end - start);
    start = end + 1;
  }
  return true;
}
