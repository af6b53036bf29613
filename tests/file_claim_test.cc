#include "host/files/file_claim.h"

#include <gtest/gtest.h>

#include "tests/test_util.h"

TEST(ClaimNewFile, OnlyANameNobodyHasIsClaimed) {
  ScratchDir dir;
  FileClaim claim = ClaimNewFile(dir / "new.tar");
  EXPECT_EQ(FileClaim::kClaimed, claim.result);
  EXPECT_EQ("", claim.reason);
  EXPECT_EQ("", ReadText(dir / "new.tar"));  // made, empty, held open
  EXPECT_TRUE(claim.file.IsOpen());
  EXPECT_EQ(0, claim.file.Size());
  EXPECT_TRUE(SameFile(QueryFileIdentity(dir / "new.tar"), claim.file.Identity()));
  claim.file.Close();

  // The second claim of one name loses, and the file stays as it was.
  WriteText(dir / "new.tar", "first run's data");
  EXPECT_EQ(FileClaim::kExists, ClaimNewFile(dir / "new.tar").result);
  EXPECT_EQ("first run's data", ReadText(dir / "new.tar"));

  // A folder of that name is there too.
  MakeDir(dir / "folder.tar");
  EXPECT_EQ(FileClaim::kExists, ClaimNewFile(dir / "folder.tar").result);

  // A folder that is not there: a failure with the system's reason.
  claim = ClaimNewFile(dir / "no such folder" + (dir / "x.tar").substr(dir.path.size()));
  EXPECT_EQ(FileClaim::kFailed, claim.result);
  EXPECT_FALSE(claim.reason.empty());
}

TEST(RemoveClaimedFile, RemovesAndToleratesAbsence) {
  ScratchDir dir;
  ASSERT_EQ(FileClaim::kClaimed, ClaimNewFile(dir / "x.tar").result);
  EXPECT_TRUE(RemoveClaimedFile(dir / "x.tar"));
  EXPECT_FALSE(PathExists(dir / "x.tar"));
  EXPECT_TRUE(RemoveClaimedFile(dir / "x.tar"));
}
