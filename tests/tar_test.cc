// What tar said, read as an archive of all that could be read, or as a
// failure: GNU tar's lines (English and German) and bsdtar's.
#include "app/archive/tar.h"

#include <gtest/gtest.h>

#include "host/process/environment.h"

TEST(JudgeTar, EntriesLeftOutAreWarningsAnythingElseFails) {
  const TarResult::Outcome kWhole = TarResult::kWhole, kWarn = TarResult::kWithWarnings,
                           kFail = TarResult::kFailed;
  std::string closing = TarClosingLines().front();
  struct {
    ProgramRun::Outcome outcome;
    int code;
    std::string said;
    TarResult::Outcome judged;
    size_t warnings;
  } rows[] = {
      {ProgramRun::kExited, 0, "", kWhole, 0},
      // GNU tar: a folder and a file it may not open, a socket it skips,
      // a file that grew while read, the item's own listing changed.
      {ProgramRun::kExited, 2,
       "tar: Docs/locked: Cannot open: Permission denied\ntar: Docs/p.txt: Cannot open: "
       "Permission denied\ntar: Docs/sock: socket ignored\ntar: " +
           closing + "\n",
       kWarn, 3},
      {ProgramRun::kExited, 1, "tar: Docs/grow.log: file changed as we read it\n", kWarn, 1},
      {ProgramRun::kExited, 1, "tar: Docs: file changed as we read it\n", kWarn, 1},
      {ProgramRun::kExited, 2,
       "tar: Docs/locked: Funktion open fehlgeschlagen: Keine "
       "Berechtigung\n",
       kWarn, 1},
      {ProgramRun::kExited, 0, "tar: Docs/sock: socket ignored\n", kWarn, 1},
      // bsdtar: the path after its words; CR LF from a console.
      {ProgramRun::kExited, 1,
       "tar: Couldn't open Docs/mid/locked.pst: Permission denied\r\n"
       "tar: Error exit delayed from previous errors.\r\n",
       kWarn, 1},
      // Fatal: the archive cannot be written, an error of no entry, a
      // name that only begins like the item's, an unknown code or end.
      {ProgramRun::kExited, 2,
       "tar: Docs.tar: Cannot write: No space left on device\ntar: "
       "Error is not recoverable: exiting now\n",
       kFail, 0},
      {ProgramRun::kExited, 2,
       "tar: Docs/a: Cannot open: Permission denied\ntar: memory "
       "exhausted\n",
       kFail, 0},
      {ProgramRun::kExited, 2, "tar: Docs2/a: Cannot open: Permission denied\n", kFail, 0},
      {ProgramRun::kExited, 2, "", kFail, 0},
      {ProgramRun::kExited, 2, "tar: " + closing + "\n", kFail, 0},
      {ProgramRun::kExited, 2, "Docs/a: Cannot open\n", kFail, 0},
      {ProgramRun::kExited, 3, "tar: Docs/a: Cannot open: Permission denied\n", kFail, 0},
      {ProgramRun::kEnded, 9, "tar: Docs/a: Cannot open: Permission denied\n", kFail, 0},
      {ProgramRun::kUnknown, 0, "", kFail, 0},
  };
  for (const auto& row : rows) {
    TarResult judged = JudgeTar({row.outcome, row.code, "", row.said}, {"Docs"});
    EXPECT_EQ(row.judged, judged.outcome) << row.said;
    EXPECT_EQ(row.warnings, judged.warnings.size()) << row.said;
  }
  TarResult bsdtar = JudgeTar(
      {ProgramRun::kExited, 1, "", "tar: Couldn't open ./-x/a: Permission denied\n"}, {"./-x"});
  ASSERT_EQ(TarResult::kWithWarnings, bsdtar.outcome);
  EXPECT_EQ("Couldn't open ./-x/a: Permission denied", bsdtar.warnings[0]);
  // One archive of a selection: a line about any of its items is about an
  // entry; one about a name beside them is not.
  std::string locked = "tar: b.jpg: Cannot open: Permission denied\ntar: Docs/x: Cannot open\n";
  EXPECT_EQ(2u, JudgeTar({ProgramRun::kExited, 2, "", locked}, {"Docs", "b.jpg"}).warnings.size());
  EXPECT_EQ(TarResult::kFailed,
            JudgeTar({ProgramRun::kExited, 2, "", "tar: c.jpg: Cannot open: Permission denied\n"},
                     {"Docs", "b.jpg"})
                .outcome);
}

// Only a finished archive is kept from a tar that went on past what it
// could not read: GNU tar's padded records, bsdtar's unpadded end, and
// not a few bytes, a cut block, or an end that is not the closing blocks.
TEST(IsWholeTarArchive, WholeBlocksEndingWithTheClosingBlocks) {
  std::string end(kTarEndBytes, '\0');
  struct {
    int64_t size;
    std::string tail;
    bool whole;
  } rows[] = {
      {10240, end, true},
      {1536, end, true},
      {1024, end, true},
      {8, "partial\n", false},
      {0, "", false},
      {1500, end, false},
      {2048, std::string(1023, '\0') + "x", false},
      {2048, "", false},  // its end could not be read
  };
  for (const auto& row : rows)
    EXPECT_EQ(row.whole, IsWholeTarArchive(row.size, row.tail)) << row.size;
}

TEST(ShortList, TenLinesThenHowManyMore) {
  std::vector<std::string> lines;
  for (int i = 1; i <= 12; ++i)
    lines.push_back("line " + std::to_string(i));
  EXPECT_EQ(
      "line 1\nline 2\nline 3\nline 4\nline 5\nline 6\nline 7\nline 8\nline 9\nline "
      "10\nand 2 more.",
      ShortList(lines, 10));
  lines.resize(10);
  EXPECT_EQ(std::string::npos, ShortList(lines, 10).find("more"));
}

TEST(MergeEnvironment, AnEntryWithoutAValueTakesTheVariableAway) {
  auto same = [](const std::string& a, const std::string& b) { return a == b; };
  EXPECT_EQ(
      (std::vector<std::string>{"PATH=/bin", "XZ_DEFAULTS=-T0"}),
      MergeEnvironment({"TAR_OPTIONS=--remove-files", "PATH=/bin", "XZ_OPT=-k", "XZ_DEFAULTS=-9"},
                       {"TAR_OPTIONS", "XZ_DEFAULTS=-T0", "XZ_OPT"}, same));
}
