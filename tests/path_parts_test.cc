#include "host/files/path_parts.h"

#include <gtest/gtest.h>

struct PathCase {
  const char* path;
  const char* directory;
  const char* file;
};

TEST(PathParts, SplitsAtTheLastSeparator) {
  const PathCase cases[] = {
      {"C:\\data\\report.txt", "C:\\data\\", "report.txt"},
      {"C:\\data\\", "C:\\data\\", ""},
      {"C:/data/report.txt", "C:/data/", "report.txt"},
      {"C:\\data/sub\\file", "C:\\data/sub\\", "file"},
      {"report.txt", "", "report.txt"},
      {"", "", ""},
      {"C:\\", "C:\\", ""},
      {"C:", "", "C:"},
      {"C:\\data\\archive.tar.xz", "C:\\data\\", "archive.tar.xz"},
      {"\"C:\\my files\\a b.txt\"", "C:\\my files\\", "a b.txt"},
      {"C:\\a|b\\c.txt", "C:\\", "c.txt"},
      {"C:\\x\\ab\"cd", "C:\\x\\", "ab"},
      {"\\", "\\", ""},
      {"/home/u/My Photos", "/home/u/", "My Photos"},
  };
  for (const PathCase& c : cases) {
    EXPECT_EQ(c.directory, DirectoryPart(c.path)) << c.path;
    EXPECT_EQ(c.file, FileNamePart(c.path)) << c.path;
  }
}

TEST(PathParts, AbsentAndLongPaths) {
  EXPECT_EQ("", DirectoryPart(nullptr));
  EXPECT_EQ("", FileNamePart(nullptr));
  std::string separators(10000, '/');
  EXPECT_EQ(separators, DirectoryPart(separators.c_str()));
  EXPECT_EQ("", FileNamePart(separators.c_str()));
  std::string long_path = "C:\\" + std::string(10000, 'a');
  EXPECT_EQ("C:\\", DirectoryPart(long_path.c_str()));
  EXPECT_EQ(std::string(10000, 'a'), FileNamePart(long_path.c_str()));
}

TEST(PathParts, DirectoryThenFileGivesThePathBack) {
  for (const char* path : {"C:\\a\\b.c", "x", "\\\\server\\share\\f", "a/b\\c/", "C:"})
    EXPECT_EQ(path, DirectoryPart(path) + FileNamePart(path));
}

TEST(SplitItemPath, TrailingSeparatorsNameTheFolderAndRootsHaveNoName) {
  struct Case {
    const char* path;
    bool posix;
    const char* folder;
    const char* name;
  } cases[] = {
      {"C:\\Photos\\", false, "C:\\", "Photos"},
      {"C:\\a/b\\/", false, "C:\\a/", "b"},
      {"C:\\", false, "", ""},
      {"C:", false, "", ""},
      {"\\", false, "", ""},
      {"notes.txt", false, "", "notes.txt"},
      {"/home/u/a\\b|c\"d/", true, "/home/u/", "a\\b|c\"d"},
      {"/", true, "", ""},
      {"rel/x", true, "rel/", "x"},
  };
  for (const Case& c : cases) {
    ItemPath item = SplitItemPath(c.path, c.posix);
    EXPECT_EQ(c.folder, item.folder) << c.path;
    EXPECT_EQ(c.name, item.name) << c.path;
  }
}

TEST(ParentFolder, IsTheFolderThatHoldsThePath) {
  const struct {
    const char* path;
    const char* parent;
  } cases[] = {
      {"/home/u/.config/Thunar/uca.xml", "/home/u/.config/Thunar"},
      {"/arkiva.store", "/"},
      {"arkiva.store", "."},
      {"state/arkiva/run", "state/arkiva"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.parent, ParentFolder(c.path)) << c.path;
}
