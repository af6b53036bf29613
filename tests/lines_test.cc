#include "host/lines.h"

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

// One row a text: its lines as they stand, and its non-empty ones with CR LF read as LF.
TEST(SplitLines, EveryLineOnceAndNothingAfterTheLastNewline) {
  const struct {
    const char* text;
    std::vector<std::string> lines, non_empty;
  } cases[] = {
      {"", {}, {}},
      {"a", {"a"}, {"a"}},
      {"a\n", {"a"}, {"a"}},
      {"a\n\nb", {"a", "", "b"}, {"a", "b"}},
      {"a\r\nb\r\n", {"a\r", "b\r"}, {"a", "b"}},
      {"\n", {""}, {}},
      {"x\ry\n", {"x\ry"}, {"x\ry"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.lines, SplitLines(c.text)) << c.text;
    EXPECT_EQ(c.non_empty, NonEmptyLines(c.text)) << c.text;
  }
}
