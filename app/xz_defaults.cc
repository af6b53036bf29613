#include "app/xz_defaults.h"

#include "host/environment.h"

namespace {

// What xz -6, the default level, needs on one thread (xz -vv says 94 MiB).
const uint64_t kOneThreadMiB = 100;

}  // namespace

std::string MultiThreadedXzDefaults(uint64_t physical_memory, int runs) {
  uint64_t share = physical_memory / 2 / (runs > 0 ? runs : 1) >> 20;
  uint64_t limit = share > kOneThreadMiB ? share : kOneThreadMiB;
  return "-T0 --memlimit-compress=" + std::to_string(limit) + "MiB";
}

void OfferXzDefaults() {
  std::string users;
  if (ReadEnvironment("XZ_DEFAULTS", &users))
    return;
  WriteEnvironment("XZ_DEFAULTS", MultiThreadedXzDefaults(PhysicalMemory(), CountProgramRuns()));
}
