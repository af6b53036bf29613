#include "host/files/file_identity.h"

#include <stdlib.h>

#include <vector>

namespace {

std::string Hex(uint64_t value) {
  const char kDigits[] = "0123456789abcdef";
  std::string text;
  do {
    text.insert(text.begin(), kDigits[value & 15]);
    value >>= 4;
  } while (value);
  return text;
}

}  // namespace

bool SameFile(const FileIdentity& recorded, const FileIdentity& now) {
  return recorded.Known() && recorded.volume == now.volume && recorded.number == now.number &&
         (recorded.birth == 0 || now.birth == 0 || recorded.birth == now.birth);
}

std::string FormatFileIdentity(const FileIdentity& identity) {
  return Hex(identity.volume) + ":" + Hex(identity.number) + ":" +
         Hex(static_cast<uint64_t>(identity.birth));
}

bool ParseFileIdentity(const std::string& text, FileIdentity* identity) {
  std::vector<uint64_t> fields;
  for (size_t start = 0; start <= text.size() && fields.size() < 4;) {
    size_t end = text.find(':', start);
    std::string field = text.substr(start, end == std::string::npos ? end : end - start);
    if (field.empty() || field.size() > 16 ||
        field.find_first_not_of("0123456789abcdef") != std::string::npos)
      return false;
    fields.push_back(strtoull(field.c_str(), nullptr, 16));
    if (end == std::string::npos)
      break;
    start = end + 1;
  }
  if (fields.size() != 3)
    return false;
  *identity = {fields[0], fields[1], static_cast<int64_t>(fields[2])};
  return identity->Known();
}
