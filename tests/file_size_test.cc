#include "host/files/file_size.h"
#include "host/files/whole_file.h"

#include <filesystem>

#include <gtest/gtest.h>

#include "tests/test_util.h"

TEST(QueryFileSize, NothingThere) {
  ScratchDir dir;
  EXPECT_EQ(kSizeNothing, QueryFileSize(nullptr));
  EXPECT_EQ(kSizeNothing, QueryFileSize(""));
  EXPECT_EQ(kSizeNothing, QueryFileSize((dir / "missing").c_str()));
#ifdef _WIN32
  EXPECT_EQ(kSizeNothing, QueryFileSize("////"));
#else
  EXPECT_EQ(kSizeFolder, QueryFileSize("////"));  // the root
#endif
  EXPECT_EQ(kSizeNothing, QueryFileSize("\\\\\\"));
  EXPECT_EQ(kSizeNothing, QueryFileSize((dir.path + std::string(10000, 'a')).c_str()));
}

TEST(QueryFileSize, FilesReportTheirFullSize) {
  ScratchDir dir;
  WriteText(dir / "empty", "");
  WriteText(dir / "one", "x");
  std::filesystem::resize_file(std::filesystem::path(dir / "one"), 1);
  WriteText(dir / "big", "");
  std::filesystem::resize_file(std::filesystem::path(dir / "big"), (5LL << 30) + 7);  // sparse
  EXPECT_EQ(0, QueryFileSize((dir / "empty").c_str()));
  EXPECT_EQ(1, QueryFileSize((dir / "one").c_str()));
  EXPECT_EQ((5LL << 30) + 7, QueryFileSize((dir / "big").c_str()));
}

TEST(QueryFileSize, FoldersWithAnyTrailingSeparators) {
  ScratchDir dir;
  MakeDir(dir / "sub dir");
#ifdef _WIN32
  const char* tails[] = {"", "\\", "/", "//", "\\/\\"};
#else
  const char* tails[] = {"", "/", "//"};          // a backslash is part of a Linux name
#endif
  for (const char* tail : tails)
    EXPECT_EQ(kSizeFolder, QueryFileSize((dir / "sub dir" + tail).c_str())) << tail;
}

#ifdef _WIN32
TEST(QueryFileSize, DriveRootsAskTheDriveType) {
  EXPECT_EQ(kSizeFolder, QueryFileSize("C:"));
  EXPECT_EQ(kSizeFolder, QueryFileSize("C:\\"));
  EXPECT_EQ(kSizeFolder, QueryFileSize("c:/"));
  EXPECT_EQ(kSizeNothing, QueryFileSize("Q:"));
  EXPECT_EQ(kSizeNothing, QueryFileSize("Q:\\"));
}

TEST(QueryFileSize, WildcardsAnswerForTheFirstMatch) {
  ScratchDir dir;
  WriteText(dir / "only.bin", "abc");
  EXPECT_EQ(3, QueryFileSize((dir / "*.bin").c_str()));
  EXPECT_EQ(kSizeNothing, QueryFileSize((dir / "*.none").c_str()));
}
#else
TEST(QueryFileSize, SpecialFilesAreNothing) {
  EXPECT_EQ(kSizeNothing, QueryFileSize("/dev/null"));
  ScratchDir dir;
  WriteText(dir / "*.bin", "abc");  // no wildcard meaning: the name is literal
  EXPECT_EQ(3, QueryFileSize((dir / "*.bin").c_str()));
}
#endif

#ifdef _WIN32
const char kSep[] = "\\";
#else
const char kSep[] = "/";
#endif

TEST(TallyFolder, EveryEntryOnceAndEveryFilesBytes) {
  ScratchDir dir;
  MakeDir(dir / "top");
  MakeDir(dir / "top/sub");
  MakeDir(dir / "top/sub/empty");
  WriteText(dir / "top/a", "12345");
  WriteText(dir / "top/sub/b", std::string(70000, 'b'));
  WriteText(dir / "top/sub/zero", "");
  FolderTally tally = TallyFolder(dir / "top");
  EXPECT_EQ(70005u, tally.bytes);
  EXPECT_EQ(5u, tally.entries);  // a, sub, sub/b, sub/empty, sub/zero
  EXPECT_EQ(0u, TallyFolder(dir / "missing").entries);
  EXPECT_FALSE(TallyFolder(dir / "missing").unreadable.empty());

  // Below a path of more than 259 characters, which tar archives all the
  // same: made by the host's shell, past Windows' own limit.
  std::string deep = "deep", unix_deep = UnixPath(dir / "deep");
  for (int i = 0; i < 30; ++i)
    deep += std::string(1, kSep[0]) + "level-of-ten", unix_deep += "/level-of-ten";
  ASSERT_EQ(0, RunShell("(mkdir -p '" + unix_deep + "' && printf 1234567 >'" + unix_deep + "/f')"));
  tally = TallyFolder(dir / "deep");
  EXPECT_EQ(7u, tally.bytes);
  EXPECT_EQ(31u, tally.entries);
  EXPECT_TRUE(tally.unreadable.empty());
}
