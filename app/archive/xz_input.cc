#include "app/archive/xz_plan.h"

#include <math.h>
#include <stdlib.h>

#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "host/files/whole_file.h"

// What of xz's input compresses: Name.tar's members found by their
// headers, each judged by samples of its bytes (xz_plan.h).

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

}  // namespace

std::vector<InputRegion> JoinSmallRuns(const std::vector<InputRegion>& regions, uint64_t least) {
  std::vector<InputRegion> joined;
  for (const InputRegion& region : regions)
    AddRegion(&joined, region.bytes, region.compresses || region.bytes < least);
  return joined;
}

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
  return JoinSmallRuns(joined, kSmallestFastRegion);
}
