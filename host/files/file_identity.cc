#include "host/files/file_identity.h"

#include <inttypes.h>
#include <stdio.h>

bool SameFile(const FileIdentity& recorded, const FileIdentity& now) {
  return recorded.Known() && recorded.volume == now.volume && recorded.number == now.number &&
         (recorded.birth == 0 || now.birth == 0 || recorded.birth == now.birth);
}

std::string FormatFileIdentity(const FileIdentity& identity) {
  char text[64];
  snprintf(text, sizeof(text), "%" PRIx64 ":%" PRIx64 ":%" PRIx64, identity.volume, identity.number,
           static_cast<uint64_t>(identity.birth));
  return text;
}

bool ParseFileIdentity(const std::string& text, FileIdentity* identity) {
  uint64_t volume, number, birth;
  int end = 0;
  if (sscanf(text.c_str(), "%" SCNx64 ":%" SCNx64 ":%" SCNx64 "%n", &volume, &number, &birth,
             &end) != 3 ||
      static_cast<size_t>(end) != text.size())
    return false;
  *identity = {volume, number, static_cast<int64_t>(birth)};
  return identity->Known();
}
