#include "host/files/item_lock.h"

#include <stdio.h>

std::string ItemLockName(const std::string& resolved_path) {
  uint64_t hash = 14695981039346656037ull;
  for (unsigned char c : resolved_path)
    hash = (hash ^ c) * 1099511628211ull;
  char name[32];
  snprintf(name, sizeof(name), "arkiva-%016llx", static_cast<unsigned long long>(hash));
  return name;
}
