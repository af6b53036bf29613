#include "app/archive/archive.h"

#include <gtest/gtest.h>

#include <set>

// How "Create one tar.xz" reads a selection, one row a case: which items it
// keeps, in their order, and where it makes the archive.
TEST(PlanSelection, ItemsOfOneFolderEachOnceAndNoneInsideAnother) {
  const Selection::Kind kNothing = Selection::kNothing, kOne = Selection::kOneItem,
                        kItems = Selection::kItems, kTwo = Selection::kTwoFolders;
  const struct {
    std::vector<std::string> items;
    bool posix;
    Selection::Kind kind;
    std::string folder;
    std::vector<std::string> names;
  } rows[] = {
      {{}, true, kNothing, "", {}},
      {{""}, true, kNothing, "", {}},
      {{"/h/Fotos/a.jpg"}, true, kOne, "/h/Fotos/", {"a.jpg"}},
      {{"/h/Fotos/b.jpg", "/h/Fotos/a.jpg", "/h/Fotos/Trip/"},
       true,
       kItems,
       "/h/Fotos/",
       {"b.jpg", "a.jpg", "Trip"}},
      // Given twice, or inside another item: once, with that item.
      {{"/h/F/a", "/h/F/a/", "/h/F/b"}, true, kItems, "/h/F/", {"a", "b"}},
      {{"/h/F/Trip/x.jpg", "/h/F/Trip", "/h/F/b"}, true, kItems, "/h/F/", {"Trip", "b"}},
      {{"/h/F/Trip", "/h/F/Trip/x.jpg"}, true, kOne, "/h/F/", {"Trip"}},
      // Only whole names nest: "Trip 2" is not inside "Trip".
      {{"/h/F/Trip", "/h/F/Trip 2"}, true, kItems, "/h/F/", {"Trip", "Trip 2"}},
      // A search view, Recent: more than one folder, and a root.
      {{"/h/F/a", "/h/G/b"}, true, kTwo, "/h/F/", {"a", "b"}},
      {{"/", "/h"}, true, kOne, "", {""}},
      {{"/h", "/x"}, true, kItems, "/", {"h", "x"}},
      // Names as Linux allows them; relative items in the current folder.
      {{"-a", "b\nc", "a\\b"}, true, kItems, "", {"-a", "b\nc", "a\\b"}},
      // Windows: either separator, a drive's root.
      {{"C:\\F\\a.jpg", "C:/F/b.jpg"}, false, kTwo, "C:\\F\\", {"a.jpg", "b.jpg"}},
      {{"C:\\F\\a.jpg", "C:\\F\\b.jpg", "C:\\F\\a.jpg\\x"},
       false,
       kItems,
       "C:\\F\\",
       {"a.jpg", "b.jpg"}},
      {{"D:\\a", "D:\\b"}, false, kItems, "D:\\", {"a", "b"}},
  };
  for (const auto& row : rows) {
    std::string shown;
    for (const std::string& item : row.items)
      shown += "[" + item + "]";
    Selection selection = PlanSelection(row.items, row.posix);
    EXPECT_EQ(row.kind, selection.kind) << shown;
    EXPECT_EQ(row.folder, selection.folder) << shown;
    EXPECT_EQ(row.names, selection.names) << shown;
  }
}

// The archive's name: the folder's, or "Archive" at a root; a name that is
// taken (an archive or a tar there, the user's or an earlier run's) gives
// the next free one.
TEST(OneArchiveStem, TheFoldersNameOrTheNextFreeOne) {
  const struct {
    std::string folder;
    std::set<std::string> taken;
    std::string stem;
  } rows[] = {
      {"/home/u/Fotos/", {}, "Fotos"},
      {"/home/u/Fotos/", {"Fotos"}, "Fotos 2"},
      {"/home/u/Fotos/", {"Fotos", "Fotos 2", "Fotos 3"}, "Fotos 4"},
      {"/home/u/Fotos/", {"Fotos 2"}, "Fotos"},
      {"/home/u/-x/", {}, "-x"},
      {"/", {}, "Archive"},
      {"/", {"Archive"}, "Archive 2"},
  };
  for (const auto& row : rows)
    EXPECT_EQ(row.stem,
              OneArchiveStem(row.folder,
                             [&](const std::string& stem) { return row.taken.count(stem) > 0; }))
        << row.folder;
}
