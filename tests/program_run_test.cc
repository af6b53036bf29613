#include "app/program_run.h"

#include <gtest/gtest.h>

TEST(LastLines, KeepsTheEndOfWhatAProgramSaid) {
  EXPECT_EQ("", LastLines("", 10, 1024));
  EXPECT_EQ("", LastLines("\n\r\n\n", 10, 1024));
  EXPECT_EQ("a\nb", LastLines("a\r\n\r\nb\r\n", 10, 1024));
  std::string many;
  for (int i = 1; i <= 12; ++i)
    many += "line " + std::to_string(i) + "\n";
  EXPECT_EQ("line 3\nline 4\nline 5\nline 6\nline 7\nline 8\nline 9\nline 10\nline 11\nline 12",
            LastLines(many, 10, 1024));
  // Over the byte limit, whole earlier lines go first.
  EXPECT_EQ("line 11\nline 12", LastLines(many, 10, 15));
  // A single long line keeps its end, from a character's first byte.
  EXPECT_EQ("xyz", LastLines("abcdefxyz\n", 10, 3));
  EXPECT_EQ("\xc3\xa9z", LastLines("a\xc3\xa9\xc3\xa9z", 10, 4));  // "é" is two bytes
}

TEST(DescribeFailure, NamesTheProgramAndTheCause) {
  EXPECT_EQ("xz could not be started: it is not on PATH.",
            DescribeFailure("xz", {ProgramRun::kNotStarted, 0, "it is not on PATH.", ""}));
  EXPECT_EQ("tar failed (exit code 2).", DescribeFailure("tar", {ProgramRun::kExited, 2, "", ""}));
  EXPECT_EQ(
      "tar failed (exit code 2):\ntar: x: Cannot open\ntar: Error exit delayed from previous "
      "errors.",
      DescribeFailure("tar",
                      {ProgramRun::kExited, 2,
                       "tar: x: Cannot open\ntar: Error exit delayed from previous errors.", ""}));
  EXPECT_EQ("xz was ended from outside (signal 9).",
            DescribeFailure("xz", {ProgramRun::kEnded, 9, "", ""}));
  EXPECT_EQ("how tar ended could not be learned: No child processes.",
            DescribeFailure("tar", {ProgramRun::kUnknown, 10, "No child processes.", ""}));
}
