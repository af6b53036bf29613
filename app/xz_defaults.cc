#include "app/xz_defaults.h"

#include "host/process/environment.h"

#include <vector>

namespace {

const uint64_t kMiB = 1 << 20;

// What xz -6, the default level, needs on one thread (xz -vv says 94 MiB).
const uint64_t kOneThreadMiB = 100;

// xz -6's dictionary, and the block that its threaded mode cuts by default:
// three dictionaries.
const uint64_t kDictionary = 8 * kMiB;
const uint64_t kOwnBlock = 3 * kDictionary;

// What one thread of xz -6 -T0 takes with 24 MiB blocks: xz 5.4.1 -vv says
// 331 MiB for two threads (235 MiB with 8 MiB blocks), about 94 MiB and
// three blocks each.
const uint64_t kThreadMiB = 166;

// Blocks a thread should get. Measured on 2 cores with bench/mixed-data.sh's
// 64 MB folder as one tar, xz 5.4.1, five rounds alternated: xz's own 24 MiB
// blocks make three, and one core works alone on the last (14.43 s); 8 MiB
// blocks (four a thread) took 10.61 s, 12 MiB 10.65 s, for a size within
// 0.1% of xz's own.
const uint64_t kBlocksPerThread = 4;

}  // namespace

uint64_t XzMemoryLimitMiB(uint64_t physical_memory, int runs) {
  uint64_t share = physical_memory / 2 / (runs > 0 ? runs : 1) >> 20;
  return share > kOneThreadMiB ? share : kOneThreadMiB;
}

std::string MultiThreadedXzDefaults(uint64_t physical_memory, int runs) {
  return "-T0 --memlimit-compress=" + std::to_string(XzMemoryLimitMiB(physical_memory, runs)) +
         "MiB";
}

int XzThreads(int cores, uint64_t limit_mib) {
  uint64_t fit = limit_mib / kThreadMiB;
  int threads = fit < static_cast<uint64_t>(cores) ? static_cast<int>(fit) : cores;
  return threads > 1 ? threads : 1;
}

uint64_t XzBlockSize(uint64_t input_bytes, int threads) {
  if (threads <= 1)
    return 0;  // one thread: a single block, as xz makes it
  uint64_t blocks = static_cast<uint64_t>(threads) * kBlocksPerThread;
  uint64_t block = (input_bytes / blocks + kMiB - 1) / kMiB * kMiB;  // whole MiB, up
  if (block >= kOwnBlock)
    return 0;
  return block > kDictionary ? block : kDictionary;
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

ChildEnvironment XzEnvironment(uint64_t input_bytes) {
  int users = -1;
  for (const char* name : {"XZ_DEFAULTS", "XZ_OPT"}) {
    std::string options;
    if (ReadEnvironment(name, &options) && UsersXzThreads(options) >= 0)
      users = UsersXzThreads(options);
  }
  uint64_t memory = PhysicalMemory();
  int runs = CountProgramRuns();
  int cores = ProcessorCount();
  if (users > 0 && users < cores)
    cores = users;
  uint64_t block = XzBlockSize(input_bytes, XzThreads(cores, XzMemoryLimitMiB(memory, runs)));
  std::string options = MultiThreadedXzDefaults(memory, runs);
  if (users >= 0)
    options.replace(0, 3, "-T" + std::to_string(users));
  if (block)
    options += " --block-size=" + std::to_string(block / kMiB) + "MiB";
  return {"XZ_DEFAULTS=" + options, "XZ_OPT"};
}
