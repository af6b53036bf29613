#include "app/archive/xz_plan.h"

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "tests/arkiva_run.h"
#include "tests/test_util.h"

namespace {

const uint64_t MiB = 1 << 20;

std::string Text(size_t size) {
  std::string text;
  for (int line = 0; text.size() < size; ++line)
    text += "line " + std::to_string(line) + " of a log that compresses well\n";
  text.resize(size);
  return text;
}

struct File {
  const char* name;
  std::string bytes;
};

// The folder `scratch`/Item, holding `files`.
std::string MakeItem(const ScratchDir& scratch, const std::vector<File>& files) {
  std::string folder = scratch / "Item";
  MakeDir(folder);
  for (const File& file : files)
    WriteText(folder + kSep + file.name, file.bytes);
  return folder;
}

}  // namespace

TEST(ByteEntropy, BitsAByte) {
  std::string every;
  for (int i = 0; i < 256 * 16; ++i)
    every += static_cast<char>(i);
  struct {
    std::string bytes;
    double bits;
  } rows[] = {{"", 0}, {"aaaa", 0}, {"abab", 1}, {every, 8}, {Text(65536), 4.0}};
  for (const auto& row : rows)
    EXPECT_NEAR(row.bits, ByteEntropy(row.bytes), row.bits == 4.0 ? 1.0 : 1e-9) << row.bytes.size();
  EXPECT_GT(ByteEntropy(Noise(65536, 1)), 7.99);
}

// Name.tar as GNU tar writes it for arkiva, judged: what is as good as
// random is found by its samples, member by member, and only where it is
// worth a block of its own.
TEST_F(ArchiveRun, WhatDoesNotCompressIsFoundByItsSamples) {
  std::string photo = Noise(6 * MiB, 1);
  struct {
    const char* what;
    std::vector<File> files;
    uint64_t incompressible;  // bytes, to a few KiB (headers join a run)
    size_t regions;
  } rows[] = {
      {"text only", {{"a.log", Text(3 * MiB)}}, 0, 1},
      {"a photo among texts",
       {{"a.log", Text(MiB)}, {"b.jpg", photo}, {"c.log", Text(MiB)}},
       6 * MiB,
       3},
      {"a photo twice", {{"a.jpg", photo}, {"b.jpg", photo}}, 0, 1},
      {"photos too small alone, together a run",
       {{"a.jpg", Noise(3 * MiB, 2)}, {"a.xmp", Text(2000)}, {"b.jpg", Noise(3 * MiB, 3)}},
       6 * MiB,
       1},
      {"one small photo", {{"a.log", Text(MiB)}, {"b.jpg", Noise(2 * MiB, 4)}}, 0, 1},
      {"icons",
       {{"a.png", Noise(4 << 20, 5)}, {"b.png", Noise(60 << 10, 6)}},
       (4 << 20) + (60 << 10),
       1},
      {"icons too small to tell", {{"a.png", Noise(3 << 10, 7)}}, 0, 1},
      {"an icon twice",
       {{"a.jpg", Noise(5 << 20, 8)}, {"b.png", Noise(60 << 10, 9)}, {"c.png", Noise(60 << 10, 9)}},
       5 << 20,
       2},
  };
  for (const auto& row : rows) {
    ScratchDir scratch;
    MakeItem(scratch, row.files);
    std::string names;
    for (const File& file : row.files)
      names += std::string(" 'Item/") + file.name + "'";
    ASSERT_EQ(0, RunShell("cd '" + UnixPath(scratch.path) +
                          "' && tar cf Item.tar --format=posix "
                          "--pax-option=delete=atime,delete=ctime,delete=mtime" +
                          names));
    std::string tar = scratch / "Item.tar";
    uint64_t size = ReadText(tar).size();
    std::vector<InputRegion> regions = JudgeInput(tar, size, true);
    uint64_t sum = 0;
    for (const InputRegion& region : regions)
      sum += region.bytes;
    EXPECT_EQ(size, sum) << row.what;
    EXPECT_NEAR(static_cast<double>(row.incompressible),
                static_cast<double>(IncompressibleBytes(regions)), 16 << 10)
        << row.what;
    EXPECT_EQ(row.regions, regions.size()) << row.what;
  }
#ifndef _WIN32
  // A FIFO put in Name.tar's place is not read (it would hold the run
  // forever): all of it counts as compressing.
  ASSERT_EQ(0, mkfifo((dir / "swapped.tar").c_str(), 0600));
  std::vector<InputRegion> fifo = JudgeInput(dir / "swapped.tar", 20 * MiB, true);
  ASSERT_EQ(1u, fifo.size());
  EXPECT_TRUE(fifo[0].compresses);
#endif
  // A file is one member.
  WriteText(dir / "video.mp4", Noise(5 * MiB, 6));
  std::vector<InputRegion> file = JudgeInput(dir / "video.mp4", 5 * MiB, false);
  ASSERT_EQ(1u, file.size());
  EXPECT_FALSE(file[0].compresses);
}

TEST(XzVersion, TheLowerOfProgramAndLibrary) {
  struct {
    const char* said;
    uint32_t version;
  } rows[] = {{"XZ_VERSION=50040012\nLIBLZMA_VERSION=50040012\n", 50040012},
              {"XZ_VERSION=50080012\r\nLIBLZMA_VERSION=50060022\r\n", 50060022},
              {"xz (XZ Utils) 5.4.1\nliblzma 5.4.1\n", 0},
              {"", 0}};
  for (const auto& row : rows)
    EXPECT_EQ(row.version, XzVersion(row.said)) << row.said;
}

// What does not compress gets xz's fastest setting: block by block from
// xz 5.6.2 on, before that only when nearly the whole input is such.
TEST(PlanFastRegions, BlockByBlockWhereXzCanElseWhenNearlyAll) {
  const uint32_t k541 = 50040012, k561 = 50060012, k562 = 50060022, k581 = 50080012;
  const XzPlan base = {.threads = 2, .block_bytes = 24 * MiB, .dictionary_bytes = 16 * MiB};
  std::vector<InputRegion> alternating;
  for (int i = 0; i < 100; ++i)
    alternating.push_back({(4 + static_cast<uint64_t>(i)) * MiB, i % 2 == 1});
  struct {
    std::vector<InputRegion> regions;
    uint32_t version;
    bool all_fast;
    std::string regions_list;
  } rows[] = {
      {{{100 * MiB, true}}, k581, false, ""},
      {{{100 * MiB, false}}, k541, true, ""},
      {{{100 * MiB, false}}, k581, true, ""},
      {{{1 * MiB, true}, {99 * MiB, false}}, k541, true, ""},
      {{{2 * MiB, true}, {98 * MiB, false}}, k541, false, ""},
      {{{10 * MiB, true}, {20 * MiB, false}, {10, true}}, k541, false, ""},
      {{{10 * MiB, true}, {20 * MiB, false}, {10, true}}, k561, false, ""},
      {{{10 * MiB, true}, {20 * MiB, false}, {10, true}}, k562, false, "10485760,1:20971520,10"},
      {{{10, true}, {20 * MiB, false}}, k581, false, "10,1:20971520"},
  };
  for (const auto& row : rows) {
    XzPlan plan = PlanFastRegions(base, row.regions, row.version);
    EXPECT_EQ(row.all_fast, plan.all_fast) << row.regions.size() << " " << row.version;
    EXPECT_EQ(row.regions_list, plan.regions) << row.regions.size() << " " << row.version;
    EXPECT_EQ(base.threads, plan.threads);
  }
  // A long list is kept short: the smallest runs join their neighbours.
  XzPlan bounded = PlanFastRegions(base, alternating, k581);
  EXPECT_LE(std::count(bounded.regions.begin(), bounded.regions.end(), ',') + 1, 64);
  EXPECT_NE(std::string::npos, bounded.regions.find("1:"));
  EXPECT_EQ(
      "-T2 --memlimit-compress=4096MiB --lzma2=dict=64KiB,mf=hc3,mode=fast,nice=3,depth=1 "
      "--block-size=24MiB",
      XzDefaults(PlanFastRegions(base, {{100 * MiB, false}}, k541), 4096));
  EXPECT_EQ(
      "-T2 --memlimit-compress=4096MiB --lzma2=preset=6,dict=16MiB --block-size=24MiB "
      "--filters1=lzma2:dict=64KiB,mf=hc3,mode=fast,nice=3,depth=1 "
      "--block-list=10,1:20971520",
      XzDefaults(PlanFastRegions(base, {{10, true}, {20 * MiB, false}}, k581), 4096));
}

// The fewest blocks that keep every thread busy, each with the largest
// dictionary it can use, within the memory limit.
TEST(PlanXz, FewestBlocksLargestDictionaryWithinTheLimit) {
  const uint64_t MiB = 1 << 20, MB = 1000000, GB = 1000 * MB;
  struct {
    uint64_t input;
    int cores;
    uint64_t limit_mib;
    XzPlan plan;  // threads, block and dictionary in MiB
  } rows[] = {
      {1000, 2, 12288, {1, 0, 8}},  // tiny: one block, preset 6
      {0, 8, 12288, {1, 0, 8}},
      {30 * MB, 1, 12288, {1, 0, 16}},  // one core: one block
      {30 * MB, 2, 12288, {2, 15, 16}},
      {30 * MB, 8, 12288, {3, 10, 16}},  // no block smaller than preset 6's dictionary
      {30 * MB, 64, 12288, {3, 10, 16}},
      {15 * MiB, 2, 12288, {1, 0, 16}},
      {130 * MB, 1, 12288, {1, 0, 16}},   // never above preset 7's
      {130 * MB, 2, 12288, {2, 21, 16}},  // three blocks a thread: busy to the end
      {130 * MB, 8, 12288, {8, 16, 16}},
      {130 * MB, 64, 12288, {15, 9, 16}},
      {2 * GB, 1, 12288, {1, 0, 16}},
      {2 * GB, 2, 12288, {2, 64, 16}},  // 15 rounds of blocks of at most 64 MiB
      {2 * GB, 8, 12288, {8, 60, 16}},
      {2 * GB, 64, 12288, {64, 30, 8}},  // 64 threads fit only with preset 6's
      {2 * GB, 64, 65536, {64, 30, 16}},
      {130 * MB, 2, 400, {2, 21, 8}},  // low memory: a smaller dictionary first,
      {2 * GB, 8, 1024, {4, 60, 8}},   // then fewer threads
      {2 * GB, 8, 100, {1, 0, 8}},
  };
  for (const auto& row : rows) {
    XzPlan plan = PlanXz(row.input, row.cores, row.limit_mib);
    EXPECT_EQ(row.plan.threads, plan.threads) << row.input << " B, " << row.cores << " cores";
    EXPECT_EQ(row.plan.block_bytes * MiB, plan.block_bytes) << row.input << " B, " << row.cores;
    EXPECT_EQ(row.plan.dictionary_bytes * MiB, plan.dictionary_bytes)
        << row.input << " B, " << row.cores;
    EXPECT_LE(XzPlanMiB(plan), std::max<uint64_t>(row.limit_mib, 94));
  }
  // What xz 5.4 -vv says each needs, to a MiB or two.
  EXPECT_NEAR(331, XzPlanMiB({2, 24 * MiB, 8 * MiB}), 2);  // -6 -T2
  EXPECT_NEAR(467, XzPlanMiB({2, 16 * MiB, 16 * MiB}), 2);
  EXPECT_NEAR(186, XzPlanMiB({1, 0, 16 * MiB}), 2);
  EXPECT_EQ("-T2 --memlimit-compress=12288MiB --lzma2=preset=6,dict=16MiB --block-size=15MiB",
            XzDefaults({2, 15 * MiB, 16 * MiB}, 12288));
  EXPECT_EQ("-T1 --memlimit-compress=100MiB --lzma2=preset=6,dict=8MiB",
            XzDefaults({1, 0, 8 * MiB}, 100));
}

TEST(UsersXzThreads, OnlyAThreadCountIsTaken) {
  struct {
    const char* options;
    int threads;
  } rows[] = {
      {"", -1},           {"-9e -k --stdout", -1}, {"-T1", 1}, {"-T 4", 4}, {"--threads=0", 0},
      {"--threads 2", 2}, {"-T2 -T3", 3},          {"-T", -1}, {"-Tx", -1}, {"-T-1", -1},
      {"-kT1", -1},       {"\t-T1\n", 1},
  };
  for (const auto& row : rows)
    EXPECT_EQ(row.threads, UsersXzThreads(row.options)) << row.options;
}

TEST(XzMemoryLimitMiB, HalfTheMemorySharedAmongTheRuns) {
  const uint64_t GiB = 1ull << 30;
  EXPECT_EQ(12288u, XzMemoryLimitMiB(24 * GiB, 1));
  EXPECT_EQ(819u, XzMemoryLimitMiB(24 * GiB, 15));
  EXPECT_EQ(100u, XzMemoryLimitMiB(2 * GiB, 15));  // never below one thread's need
  EXPECT_EQ(100u, XzMemoryLimitMiB(0, 0));
}

// A real run: each block of the archive shows the setting it got. Photos
// alone get the fast one from any xz; photos and logs get both from xz
// 5.6.2 on (Windows' own), and the default before (Debian 12's).
TEST_F(ArchiveRun, WhatDoesNotCompressGetsTheFastSetting) {
#ifdef _WIN32
  bool chains = true;
#else
  std::string said;
  ASSERT_EQ(0, RunShell("xz --robot --version", &said));
  bool chains = XzVersion(said) >= kXzChainsVersion;
#endif
  struct {
    const char* what;
    std::vector<File> files;
    bool fast, default_chain;
  } rows[] = {
      {"photos",
       {{"a.jpg", Noise(5 * MiB, 1)}, {"b.jpg", Noise(5 * MiB, 2)}, {"c.jpg", Noise(5 * MiB, 3)}},
       true,
       false},
      {"photos and logs", {{"a.jpg", Noise(6 * MiB, 4)}, {"b.log", Text(6 * MiB)}}, chains, true},
      {"logs", {{"b.log", Text(6 * MiB)}}, false, true},
  };
  for (const auto& row : rows) {
    ScratchDir scratch;
    std::string folder = MakeItem(scratch, row.files);
    ASSERT_EQ(0, Arkiva(folder, kReal)) << row.what;
    ExpectArchiveHolds(scratch / "Item.tar.xz", folder);
    std::string blocks;
    ASSERT_EQ(0, RunShell("xz -lvv '" + UnixPath(scratch / "Item.tar.xz") +
                              "' | grep -o -- '--lzma2=[^ ]*'",
                          &blocks));
    bool fast = blocks.find("dict=64KiB") != std::string::npos;
    bool default_chain = blocks.find("dict=8MiB") != std::string::npos ||
                         blocks.find("dict=16MiB") != std::string::npos;
    EXPECT_EQ(row.fast, fast) << row.what << ":\n" << blocks;
    EXPECT_EQ(row.default_chain, default_chain) << row.what << ":\n" << blocks;
  }
}
