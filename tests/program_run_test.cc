#include "app/archive/program_run.h"

#include <gtest/gtest.h>

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
