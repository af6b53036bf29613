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

// How xz compresses an item's input: what of it compresses, then threads,
// blocks, dictionary and memory, then the options that tell xz.

// What compresses

namespace {

const uint64_t kWindow = 64 << 10;
// A smaller member is judged whole, where the walk has read it anyway; below
// this it is too small to tell.
const uint64_t kSmallestJudged = 4 << 10;

// As good as random: a 64 KiB window of random bytes holds 7.997 bits a
// byte, JPEG and PNG about 7.98, a gzip'd text 7.99; text about 5,
// programs about 6. Fewer bytes hold fewer bits even when random (about
// 255 / (2 n ln 2) fewer for n bytes: 7.955 for 4 KiB), which the bar
// follows.
bool AsGoodAsRandom(double bits, uint64_t bytes) {
  return bits >= 7.9 - 255 / (2 * static_cast<double>(bytes) * std::log(2.0));
}
// The least worth a block at the fast setting of its own.
const uint64_t kSmallestFastRegion = 4 << 20;
const uint64_t kTarBlock = 512;

// A member of a tar archive: where its bytes are, after its header.
struct TarMember {
  uint64_t data, size;
  double bits = -1;        // a small member's, judged whole: ByteEntropy
  uint64_t fingerprint{};  // its bytes hashed
};

// An octal field of a tar header, or base-256 when its first byte's high
// bit is set (GNU tar's and bsdtar's large sizes); -1 when it is neither.
int64_t HeaderNumber(const std::string& header, size_t at, size_t length) {
  uint64_t value = 0;
  if (static_cast<unsigned char>(header[at]) & 0x80) {
    for (size_t i = 1; i < length; ++i)
      value = value << 8 | static_cast<unsigned char>(header[at + i]);
    return value >> 62 ? -1 : static_cast<int64_t>(value);
  }
  size_t i = at;
  while (i < at + length && header[i] == ' ')
    ++i;
  for (; i < at + length && header[i] >= '0' && header[i] <= '7'; ++i)
    value = value * 8 + (header[i] - '0');
  return value >> 62 ? -1 : static_cast<int64_t>(value);
}

// The size a pax record gives ("30 size=12884901888\n"), or -1.
int64_t PaxSize(const std::string& records) {
  for (size_t at = 0; at < records.size();) {
    size_t space = records.find(' ', at);
    if (space == std::string::npos)
      break;
    uint64_t length = std::strtoull(records.c_str() + at, nullptr, 10);
    if (length == 0 || at + length > records.size())
      break;
    std::string record = records.substr(space + 1, at + length - space - 2);
    if (record.compare(0, 5, "size=") == 0)
      return static_cast<int64_t>(std::strtoull(record.c_str() + 5, nullptr, 10));
    at += length;
  }
  return -1;
}

// The members of the tar archive `path` holds in its `size` bytes, by
// their headers; read a MiB at a time, so that a member's bytes are read
// only when they sit between the headers of small ones.
std::vector<TarMember> TarMembers(const std::string& path, uint64_t size) {
  const uint64_t kChunk = 1 << 20;
  std::vector<TarMember> members;
  std::string chunk;
  uint64_t chunk_at = 0;
  int64_t next_size = -1;  // a pax record's, for the next member
  for (uint64_t at = 0; at + kTarBlock <= size;) {
    if (at < chunk_at || at + kTarBlock > chunk_at + chunk.size()) {
      chunk_at = at;
      uint64_t want = std::min(kChunk, size - at) / kTarBlock * kTarBlock;
      if (!ReadFileRange(path, static_cast<int64_t>(at), want, &chunk))
        break;
    }
    std::string header = chunk.substr(at - chunk_at, kTarBlock);
    if (header.find_first_not_of('\0') == std::string::npos)
      break;  // the closing blocks
    int64_t member_size = HeaderNumber(header, 124, 12);
    if (member_size < 0)
      break;
    char type = header[156];
    if (next_size >= 0 && type != 'x' && type != 'g') {
      member_size = next_size;
      next_size = -1;
    }
    uint64_t data = at + kTarBlock;
    if (type == 'x' && member_size < (1 << 20)) {
      std::string records;
      if (ReadFileRange(path, static_cast<int64_t>(data), static_cast<size_t>(member_size),
                        &records))
        next_size = PaxSize(records);
    }
    if (type == '0' || type == '\0' || type == '7') {
      TarMember member = {data, static_cast<uint64_t>(member_size)};
      if (member.size >= kSmallestJudged && member.size < kWindow &&
          data + member.size <= chunk_at + chunk.size()) {
        std::string bytes = chunk.substr(data - chunk_at, member.size);
        member.bits = ByteEntropy(bytes);
        if (AsGoodAsRandom(member.bits, member.size))
          member.fingerprint = std::hash<std::string>()(bytes) ^ member.size;
      }
      members.push_back(member);
    }
    at = data + (static_cast<uint64_t>(member_size) + kTarBlock - 1) / kTarBlock * kTarBlock;
  }
  return members;
}

// Whether a member's sampled windows look random; `fingerprint` learns
// its first window's bytes, hashed.
bool LooksRandom(const std::string& path, const TarMember& member, uint64_t* fingerprint) {
  if (member.size < kWindow) {
    *fingerprint = member.fingerprint;
    return member.bits >= 0 && AsGoodAsRandom(member.bits, member.size);
  }
  uint64_t windows = std::min<uint64_t>(std::max<uint64_t>(member.size / (4 << 20), 1), 8);
  double bits = 0;
  for (uint64_t i = 0; i < windows; ++i) {
    // Centred in equal parts: a file's first bytes are often its header.
    uint64_t at = member.data + (2 * i + 1) * (member.size - kWindow) / (2 * windows);
    std::string window;
    if (!ReadFileRange(path, static_cast<int64_t>(at), kWindow, &window))
      return false;
    if (i == 0)
      *fingerprint = std::hash<std::string>()(window) ^ member.size;
    bits += ByteEntropy(window);
  }
  return AsGoodAsRandom(bits / windows, kWindow);
}

// Appends `bytes` to `regions`, joining a last region of the same kind.
void AddRegion(std::vector<InputRegion>* regions, uint64_t bytes, bool compresses) {
  if (bytes == 0)
    return;
  if (!regions->empty() && regions->back().compresses == compresses)
    regions->back().bytes += bytes;
  else
    regions->push_back({bytes, compresses});
}

// `regions` with incompressible runs below `least` bytes joined to what
// compresses around them.
std::vector<InputRegion> JoinSmall(const std::vector<InputRegion>& regions, uint64_t least) {
  std::vector<InputRegion> joined;
  for (const InputRegion& region : regions)
    AddRegion(&joined, region.bytes, region.compresses || region.bytes < least);
  return joined;
}

}  // namespace

double ByteEntropy(const std::string& bytes) {
  uint64_t counts[256] = {};
  for (unsigned char c : bytes)
    ++counts[c];
  double bits = 0;
  for (uint64_t count : counts)
    if (count) {
      double p = static_cast<double>(count) / bytes.size();
      bits -= p * std::log2(p);
    }
  return bits;
}

std::vector<InputRegion> JudgeInput(const std::string& path, uint64_t size, bool tar) {
  std::vector<TarMember> members = tar ? TarMembers(path, size) : std::vector<TarMember>{{0, size}};
  // A member that comes twice (the same size and sampled bytes: an icon in
  // two themes) is found again by xz's dictionary within a block: neither
  // copy goes to the fast setting, nor is joined to what does.
  std::vector<uint64_t> prints(members.size());
  std::vector<bool> random(members.size());
  std::map<uint64_t, int> copies;
  for (size_t i = 0; i < members.size(); ++i) {
    random[i] =
        members[i].data + members[i].size <= size && LooksRandom(path, members[i], &prints[i]);
    if (random[i])
      ++copies[prints[i]];
  }
  std::vector<InputRegion> regions;
  std::vector<bool> held;  // a region that holds a copy
  uint64_t done = 0;
  for (size_t i = 0; i < members.size(); ++i) {
    if (!random[i])
      continue;
    bool copy = copies[prints[i]] > 1;
    // Its header, and what came before it, compress.
    AddRegion(&regions, members[i].data - done, true);
    AddRegion(&regions, members[i].size, copy);
    held.resize(regions.size());
    held.back() = held.back() || copy;
    done = members[i].data + members[i].size;
  }
  AddRegion(&regions, size - done, true);
  held.resize(regions.size());
  // What compresses but is too small to matter (headers, the closing
  // blocks, a photo's sidecar) goes with what does not beside it.
  std::vector<InputRegion> joined;
  for (size_t i = 0; i < regions.size(); ++i)
    AddRegion(
        &joined, regions[i].bytes,
        regions[i].compresses && (regions[i].bytes >= kWindow || held[i] || regions.size() == 1));
  return JoinSmall(joined, kSmallestFastRegion);
}

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
    bounded = JoinSmall(regions, least);
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
