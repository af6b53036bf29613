// The number reading agrees with strtoull on plain decimal and hex digit
// strings that fit, with 64-bit wrap-around beyond, and applies the sign last.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>

#include <string>

#include "registry/registry.h"

namespace {

uint64_t Reference(const std::string& digits, int base) {
  uint64_t value = 0;
  for (char c : digits) {
    int d = c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10;
    value = value * base + d;  // unsigned arithmetic wraps by definition
  }
  return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  text = text.c_str();
  int64_t value = ReadRegistryNumber(text.c_str());
  if (ReadRegistryNumber(("-" + text).c_str()) !=
          static_cast<int64_t>(0 - static_cast<uint64_t>(value)) &&
      !text.empty() && text[0] != '-' && text[0] != '+' && text[0] != ' ' && text[0] != '\t')
    abort();
  size_t decimal = text.find_first_not_of("0123456789");
  std::string digits = text.substr(0, decimal);
  if (static_cast<uint64_t>(ReadRegistryNumber(digits.c_str())) != Reference(digits, 10))
    abort();
  if (digits.size() <= 19 && !digits.empty() &&
      static_cast<uint64_t>(ReadRegistryNumber(digits.c_str())) !=
          strtoull(digits.c_str(), nullptr, 10))
    abort();
  std::string hex = text.substr(0, text.find_first_not_of("0123456789abcdefABCDEF"));
  if (static_cast<uint64_t>(ReadRegistryNumber(("$" + hex).c_str())) != Reference(hex, 16))
    abort();
  return 0;
}
