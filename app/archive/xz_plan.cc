#include "app/archive/xz_plan.h"

#include <math.h>
#include <stdlib.h>

#include <algorithm>
#include <functional>
#include <map>
#include <vector>

#include "host/files/whole_file.h"
#include "host/lines.h"
#include "host/process/environment.h"

// How xz compresses an item's input: threads, blocks, dictionary and
// memory, the fast setting for what does not compress (xz_input.cc judges
// that), then the options that tell xz.

// The plan

namespace {

const uint64_t kMiB = 1 << 20;

// What xz -6, the default level, needs on one thread (xz -vv says 94 MiB).
const uint64_t kOneThreadMiB = 100;

// The dictionaries of presets 6 and 7, which differ in nothing else, and
// what xz 5.4's encoder needs with each (xz -vv, one thread). A larger one
// costs more time than it saves bytes: on a 133 MB source tree in two
// blocks (xz 5.4.1, two cores) 8 MiB made 10,803,252 B in 21.6 s, 16 MiB
// 10,723,048 B in 24.7 s, 32 MiB 10,688,364 B in 30.3 s and 64 MiB
// 10,588,968 B in 41.5 s; text that repeats itself (licences, logs) gains
// most from the step to 16 MiB, when a block is larger than 8 MiB.
struct Dictionary {
  uint64_t mib, encoder_mib;
};
const Dictionary kDictionaries[] = {{8, 94}, {16, 186}};
const int kLargest = 1;

// The smallest block worth a thread of its own: preset 6's dictionary.
const uint64_t kSmallestBlock = 8 * kMiB;

// Blocks a thread, where each can still be as large as the dictionary: a
// folder's parts compress at different speeds (a source tree's headers,
// photos, text), and with one block a thread the slowest block sets the
// time. Measured on two cores (xz 5.4.1), a 133 MB source tree in two
// blocks took 27.3 s, in six 21.8 s (tar | xz -T0: 19.8 s); the 64 MB mix,
// in two 15.6 s, in four 11.7 s (12.2 s).
const uint64_t kBlocksPerThread = 4;

// The largest block: each thread holds its block twice, what it reads and
// what it writes.
const uint64_t kLargestBlock = 64 * kMiB;

uint64_t CeilDiv(uint64_t a, uint64_t b) {
  return (a + b - 1) / b;
}

}  // namespace

uint64_t XzMemoryLimitMiB(uint64_t physical_memory, int runs) {
  uint64_t share = physical_memory / 2 / (runs > 0 ? runs : 1) >> 20;
  return share > kOneThreadMiB ? share : kOneThreadMiB;
}

uint64_t XzPlanMiB(const XzPlan& plan) {
  uint64_t encoder = kDictionaries[0].encoder_mib;
  for (const Dictionary& d : kDictionaries)
    if (d.mib * kMiB <= plan.dictionary_bytes)
      encoder = d.encoder_mib;
  if (plan.threads <= 1)
    return encoder;
  // Each thread holds its block's input and output besides its encoder, and
  // the output queue twice a block (measured: 331 MiB for -6 -T2's 24 MiB
  // blocks, 467 MiB for 16 MiB dictionaries and blocks).
  uint64_t block = CeilDiv(plan.block_bytes, kMiB);
  return plan.threads * (encoder + 2 * block) + 2 * block;
}

XzPlan PlanXz(uint64_t input_bytes, int threads, uint64_t limit_mib) {
  uint64_t busy = input_bytes / kSmallestBlock;  // threads that get a whole block
  int most = busy < static_cast<uint64_t>(threads) ? static_cast<int>(busy) : threads;
  for (int t = most > 1 ? most : 1; t >= 1; --t) {
    XzPlan plan = {.threads = t};
    uint64_t block = input_bytes;
    if (t > 1) {
      // Rounds of a block a thread: as many as keep every thread busy to the
      // end, of blocks no smaller than the dictionary, and as many as keep
      // each within the largest.
      uint64_t rounds = input_bytes / (t * kDictionaries[kLargest].mib * kMiB);
      if (rounds > kBlocksPerThread)
        rounds = kBlocksPerThread;
      uint64_t within = CeilDiv(input_bytes, t * kLargestBlock);
      if (rounds < within)
        rounds = within;
      block = CeilDiv(CeilDiv(input_bytes, t * (rounds > 1 ? rounds : 1)), kMiB) * kMiB;
      plan.block_bytes = block;
    }
    for (int d = kLargest; d >= 0; --d) {
      if (d > 0 && kDictionaries[d - 1].mib * kMiB >= block)
        continue;  // a smaller dictionary holds the whole block
      plan.dictionary_bytes = kDictionaries[d].mib * kMiB;
      if (XzPlanMiB(plan) <= limit_mib)
        return plan;
    }
  }
  return {.threads = 1, .dictionary_bytes = kDictionaries[0].mib * kMiB};
}

const char kFastLzma2[] = "dict=64KiB,mf=hc3,mode=fast,nice=3,depth=1";

uint32_t XzVersion(const std::string& said) {
  uint32_t lowest = 0;
  for (const std::string& line : SplitLines(said)) {
    size_t equals = line.find('=');
    if (equals == std::string::npos || (line.compare(0, equals, "XZ_VERSION") != 0 &&
                                        line.compare(0, equals, "LIBLZMA_VERSION") != 0))
      continue;
    uint32_t version = static_cast<uint32_t>(std::strtoul(line.c_str() + equals + 1, nullptr, 10));
    lowest = lowest == 0 || version < lowest ? version : lowest;
  }
  return lowest;
}

uint64_t IncompressibleBytes(const std::vector<InputRegion>& regions) {
  uint64_t bytes = 0;
  for (const InputRegion& region : regions)
    bytes += region.compresses ? 0 : region.bytes;
  return bytes;
}

XzPlan PlanFastRegions(const XzPlan& plan, const std::vector<InputRegion>& regions,
                       uint32_t xz_version) {
  // A block a region at least: the list stays short, and so does the
  // environment it goes in.
  const size_t kMostRegions = 64;
  XzPlan fast = plan;
  uint64_t all = 0;
  for (const InputRegion& region : regions)
    all += region.bytes;
  uint64_t incompressible = IncompressibleBytes(regions);
  if (incompressible == 0)
    return fast;
  if (xz_version < kXzChainsVersion) {
    fast.all_fast = incompressible * 100 >= all * 99;
    return fast;
  }
  std::vector<InputRegion> bounded = regions;
  for (uint64_t least = kSmallestFastRegion; bounded.size() > kMostRegions; least *= 2)
    bounded = JoinSmallRuns(regions, least);
  if (bounded.size() == 1) {
    fast.all_fast = !bounded[0].compresses;
    return fast;
  }
  for (const InputRegion& region : bounded)
    fast.regions += (fast.regions.empty() ? "" : ",") + std::string(region.compresses ? "" : "1:") +
                    std::to_string(region.bytes);
  return fast;
}

std::string XzDefaults(const XzPlan& plan, uint64_t limit_mib) {
  std::string options = "-T" + std::to_string(plan.threads) +
                        " --memlimit-compress=" + std::to_string(limit_mib) + "MiB";
  if (plan.all_fast)
    options += " --lzma2=" + std::string(kFastLzma2);
  else
    options += " --lzma2=preset=6,dict=" + std::to_string(plan.dictionary_bytes / kMiB) + "MiB";
  if (plan.threads > 1)
    options += " --block-size=" + std::to_string(plan.block_bytes / kMiB) + "MiB";
  if (!plan.regions.empty())
    options += " --filters1=lzma2:" + std::string(kFastLzma2) + " --block-list=" + plan.regions;
  return options;
}

int UsersXzThreads(const std::string& options) {
  std::vector<std::string> words;
  for (size_t start = 0; start < options.size();) {
    size_t end = options.find_first_of(" \t\n", start);
    if (end == std::string::npos)
      end = options.size();
    if (end > start)
      words.push_back(options.substr(start, end - start));
    start = end + 1;
  }
  int threads = -1;
  for (size_t i = 0; i < words.size(); ++i) {
    std::string value;
    if (words[i] == "-T" || words[i] == "--threads")
      value = i + 1 < words.size() ? words[++i] : "";
    else if (words[i].compare(0, 2, "-T") == 0)
      value = words[i].substr(2);
    else if (words[i].compare(0, 10, "--threads=") == 0)
      value = words[i].substr(10);
    else
      continue;
    if (!value.empty() && value.size() <= 4 &&
        value.find_first_not_of("0123456789") == std::string::npos)
      threads = std::stoi(value);
  }
  return threads;
}

ChildEnvironment XzEnvironment(uint64_t input_bytes, const std::vector<InputRegion>& regions,
                               uint32_t xz_version) {
  int users = -1;
  for (const char* name : {"XZ_DEFAULTS", "XZ_OPT"}) {
    std::string options;
    if (ReadEnvironment(name, &options) && UsersXzThreads(options) >= 0)
      users = UsersXzThreads(options);
  }
  uint64_t limit = XzMemoryLimitMiB(PhysicalMemory(), CountProgramRuns());
  XzPlan plan = PlanFastRegions(PlanXz(input_bytes, users > 0 ? users : ProcessorCount(), limit),
                                regions, xz_version);
  return {"XZ_DEFAULTS=" + XzDefaults(plan, limit), "XZ_OPT"};
}
