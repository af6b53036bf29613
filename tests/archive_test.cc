#include "app/archive/archive.h"
#include "app/archive/xz.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include <gtest/gtest.h>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#ifdef _WIN32
#include "host/files/item_lock.h"
#include "host/wide_text.h"
#endif
#include "tests/arkiva_run.h"
#include "tests/test_util.h"

TEST(BuildArchiveLines, ExactLinesAndSafeOperands) {
  struct Case {
    const char* name;
    bool folder, posix;
    const char* tar;
    const char* xz;
  } cases[] = {
      {"My Photos", true, false, "cf - \"My Photos\"", "-zv \"My Photos.tar\""},
      {"report.final", false, false, "", "-zv \"report.final\""},
      {"", true, false, "cf - \"\"", "-zv \".tar\""},
      {"-v", true, false, "cf - \"./-v\"", "-zv \"./-v.tar\""},
      {"-d", false, false, "", "-zv \"./-d\""},
      {"-", false, false, "", "-zv \"./-\""},
      {"@list", true, false, "cf - \"./@list\"", "-zv \"./@list.tar\""},
      {"a-b@c", true, false, "cf - \"a-b@c\"", "-zv \"a-b@c.tar\""},
      {"a:b", true, false, "cf - \"a:b\"", "-zv \"a:b.tar\""},
      {"a:b", true, true,
       "cf - --format=posix --pax-option=delete=atime,delete=ctime,delete=mtime \"./a:b\"",
       "-zv \"./a:b.tar\""},
  };
  for (const Case& c : cases) {
    ArchiveLines lines = BuildArchiveLines(c.name, c.folder, c.posix);
    EXPECT_EQ(c.tar, ArgumentLine(lines.tar)) << c.name;
    EXPECT_EQ(c.xz, ArgumentLine(lines.xz)) << c.name;
  }
}

TEST_F(ArchiveRun, FolderRunsTarHiddenThenXzShownInTheParent) {
  MakeDir(dir / "My Photos");
  ASSERT_EQ(0, Arkiva(dir / "My Photos", kRecording));
  auto records = Records();
  ASSERT_EQ(2u, records.size());
  ExpectLaunch(records[0], "tar", "cf - \"My Photos\"", {"cf", "-", "My Photos"}, dir.path, true);
  ExpectLaunch(records[1], "xz", "-zv \"My Photos.tar\"", {"-zv", "My Photos.tar"}, dir.path,
               false);
}

TEST_F(ArchiveRun, FileRunsXzAlone) {
  WriteText(dir / "report.final", "twelve bytes");
  ASSERT_EQ(0, Arkiva(dir / "report.final", kRecording));
  auto records = Records();
  ASSERT_EQ(1u, records.size());
  ExpectLaunch(records[0], "xz", "-zv \"report.final\"", {"-zv", "report.final"}, dir.path, false);
}

TEST_F(ArchiveRun, NothingToDoIsNotAFailureAndSaysNothing) {
  WriteText(dir / "empty", "");
  EXPECT_EQ(0, Arkiva("", kRecording));
  EXPECT_EQ("", message);
  EXPECT_EQ(0, Arkiva(dir / "missing", kRecording));
  EXPECT_EQ("", message);
  EXPECT_EQ(0, Arkiva(dir / "empty", kRecording));
  EXPECT_EQ("", message);
  EXPECT_TRUE(Records().empty());
  EXPECT_FALSE(PathExists(dir / "missing.tar"));
}

// A folder path typed or scripted with a trailing separator names the folder.
TEST_F(ArchiveRun, TrailingSeparatorAndBareName) {
  MakeDir(dir / "data");
  WriteText(dir / "notes.txt", "x");
  ASSERT_EQ(0, Arkiva(dir / "data" + kSep + kSep, kRecording));
  ASSERT_EQ(0, Arkiva("notes.txt", kRecording, dir.path));
  auto records = Records();
  ASSERT_EQ(3u, records.size());
  ExpectLaunch(records[0], "tar", "cf - \"data\"", {"cf", "-", "data"}, dir.path, true);
  ExpectLaunch(records[1], "xz", "-zv \"data.tar\"", {"-zv", "data.tar"}, dir.path, false);
  ExpectLaunch(records[2], "xz", "-zv \"notes.txt\"", {"-zv", "notes.txt"}, dir.path, false);
}

TEST_F(ArchiveRun, OptionLikeNamesBecomeOperands) {
  MakeDir(dir / "-v");
  WriteText(dir / "@d", "x");
  ASSERT_EQ(0, Arkiva(dir / "-v", kRecording));
  ASSERT_EQ(0, Arkiva(dir / "@d", kRecording));
  auto records = Records();
  ASSERT_EQ(3u, records.size());
  ExpectLaunch(records[0], "tar", "cf - \"./-v\"", {"cf", "-", "./-v"}, dir.path, true);
  ExpectLaunch(records[1], "xz", "-zv \"./-v.tar\"", {"-zv", "./-v.tar"}, dir.path, false);
  ExpectLaunch(records[2], "xz", "-zv \"./@d\"", {"-zv", "./@d"}, dir.path, false);
}

// A tar that writes part of the archive, says why on its standard error and
// exits 2: the partial Name.tar goes, xz never runs, and the user reads tar's words.
// A tar that failed outright, and one that says it left an entry out but
// wrote no whole archive (a few bytes, no closing blocks): neither made an
// archive to compress and keep.
TEST_F(ArchiveRun, AFailedTarLeavesNothingAndIsReported) {
  MakeDir(dir / "data");
  struct {
    std::string writes;  // where the double writes a few bytes
    const char* says;
  } rows[] = {
      {dir / "data.tar", "tar: data.tar: Cannot write: No space left on device"},
      {"-", "tar: data/secret: Cannot open: Permission denied"},
  };
  size_t runs = 0;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.says);
    EXPECT_EQ(1, Arkiva(dir / "data", kRecording, "",
                        {"ARKIVA_RECORD_EXIT=2", "ARKIVA_RECORD_WRITE=" + row.writes,
                         std::string("ARKIVA_RECORD_STDERR=") + row.says}));
    ASSERT_EQ(++runs, Records().size());  // tar only
    EXPECT_FALSE(PathExists(dir / "data.tar"));
    EXPECT_FALSE(PathExists(dir / "data.tar.xz"));
    EXPECT_EQ(std::string("Could not archive \"data\": tar failed (exit code 2):\n") + row.says,
              message);
#ifdef _WIN32
    EXPECT_TRUE(error_icon);
    EXPECT_TRUE(per_monitor_dpi);  // sharp on a screen scaled to 150 %
#endif
  }
}

#ifndef _WIN32
// A folder the user can read only in part: the archive holds the rest, the
// entries after the unreadable ones included, and the warning names what
// was left out. The unreadable item itself is a failure.
TEST_F(ArchiveRun, WhatCannotBeReadIsLeftOutAndTold) {
  ASSERT_TRUE(RunUnprivileged());
  std::string docs = dir / "Docs";
  for (const char* folder : {"", "/a", "/locked", "/z"})
    MakeDir(docs + folder);
  WriteText(docs + "/a/f", "f");
  WriteText(docs + "/locked/secret", "s");
  WriteText(docs + "/private.txt", "p");
  WriteText(docs + "/z/after", "after");
  for (const std::string& path : {docs, docs + "/a", docs + "/z"})
    chmod(path.c_str(), 0755);
  chmod((docs + "/locked").c_str(), run_as.empty() ? 0 : 0700);
  chmod((docs + "/private.txt").c_str(), 0);
  std::string sock =
      "python3 -c 'import socket; socket.socket(socket.AF_UNIX).bind(\"" + docs + "/sock\")'";
  ASSERT_EQ(0, RunShell(sock));

  EXPECT_EQ(2, Arkiva(docs, kReal));
  std::vector<std::string> told = Lines(message);
  ASSERT_EQ(4u, told.size()) << message;
  EXPECT_EQ(
      "\"Docs.tar.xz\" was created, but some of \"Docs\" is missing from it or changed while it "
      "was read:",
      told[0]);
  std::sort(told.begin() + 1, told.end());  // in the folder's own order
  EXPECT_EQ((std::vector<std::string>{"Docs/locked: Cannot open: Permission denied",
                                      "Docs/private.txt: Cannot open: Permission denied",
                                      "Docs/sock: socket ignored"}),
            std::vector<std::string>(told.begin() + 1, told.end()));
  EXPECT_EQ((std::vector<std::string>{"Docs/", "Docs/a/", "Docs/a/f", "Docs/z/", "Docs/z/after"}),
            Members(dir / "Docs.tar.xz"));
  EXPECT_FALSE(PathExists(dir / "Docs.tar"));

  // In German, tar's own closing line too is known for what it is.
  std::remove((dir / "Docs.tar.xz").c_str());
  EXPECT_EQ(2, Arkiva(docs, kReal, "", {"LANG=de_DE.UTF-8", "LANGUAGE=de"}));
  EXPECT_EQ(0u, message.find("„Docs.tar.xz“ wurde erstellt, aber einiges aus „Docs“ fehlt darin "
                             "oder hat sich beim Lesen geändert:\n"))
      << message;

  // The item itself unreadable: nothing is made.
  std::remove((dir / "Docs.tar.xz").c_str());
  chmod((docs + "/locked").c_str(), 0700);
  EXPECT_EQ(1, Arkiva(docs + "/locked", kReal));
  EXPECT_EQ("Could not archive \"locked\": access to it or to a folder on its path is denied.",
            message);
  EXPECT_FALSE(PathExists(docs + "/locked.tar"));
}

// A log written while tar reads it: archived as it was, and told.
TEST_F(ArchiveRun, AFileThatChangesWhileReadIsTold) {
  MakeDir(dir / "Live");
  WriteText(dir / "Live/grow.log", std::string(16 << 20, 'l'));
  std::atomic<bool> done(false);
  std::thread writer([&] {
    FILE* log = fopen((dir / "Live/grow.log").c_str(), "a");
    std::string line(4096, 'x');
    while (!done) {
      fwrite(line.data(), 1, line.size(), log);
      fflush(log);
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    fclose(log);
  });
  int code = Arkiva(dir / "Live", kReal);
  done = true;
  writer.join();
  EXPECT_EQ(2, code);
  EXPECT_EQ(
      "\"Live.tar.xz\" was created, but some of \"Live\" is missing from it or changed while it "
      "was read:\nLive/grow.log: file changed as we read it",
      message);
  EXPECT_EQ((std::vector<std::string>{"Live/", "Live/grow.log"}), Members(dir / "Live.tar.xz"));
}

// The archive is no more open than its item: a private folder's archive is
// private too, whatever the umask lets a new file be.
TEST_F(ArchiveRun, TheArchiveIsNoMoreOpenThanItsItem) {
  struct {
    const char* item;
    bool folder;
    mode_t mode, archive_mode;
  } rows[] = {
      {"private", true, 0700, 0600}, {"group", true, 0750, 0640},   {"open", true, 0755, 0644},
      {"notes", false, 0600, 0600},  {"shared", false, 0640, 0640},
  };
  mode_t umask_before = umask(022);
  for (const auto& row : rows) {
    SCOPED_TRACE(row.item);
    std::string item = dir / row.item;
    if (row.folder) {
      MakeDir(item);
      WriteText(item + "/f", "f");
    } else {
      WriteText(item, "the user's file");
    }
    chmod(item.c_str(), row.mode);
    EXPECT_EQ(0, Arkiva(item, kReal)) << message;
    struct stat archive;
    ASSERT_EQ(0, stat((item + (row.folder ? ".tar.xz" : ".xz")).c_str(), &archive));
    EXPECT_EQ(row.archive_mode, archive.st_mode & 0777);
  }
  umask(umask_before);
}

// Without a runtime folder, another user who made /tmp/arkiva-UID first
// cannot stop the user's runs: the locks live in the user's own cache.
TEST_F(ArchiveRun, AnotherUsersLockFolderStopsNoRun) {
  if (geteuid() != 0)
    GTEST_SKIP() << "only root can play the other user";
  const int uid = 65531;  // a user of this test's own
  ASSERT_TRUE(RunUnprivileged(uid));
  std::string taken = "/tmp/arkiva-" + std::to_string(uid);
  MakeDir(taken);
  ASSERT_EQ(0, chown(taken.c_str(), 0, 0));
  chmod(taken.c_str(), 0777);
  MakeDir(io / "home");
  ASSERT_EQ(0, chown((io / "home").c_str(), uid, uid));
  MakeDir(dir / "data");
  WriteText(dir / "data/f", "f");
  EXPECT_EQ(0, Arkiva(dir / "data", kReal, "", {"XDG_RUNTIME_DIR=", "HOME=" + io / "home"}))
      << message;
  EXPECT_TRUE(PathExists(dir / "data.tar.xz"));
  rmdir(taken.c_str());
}

// Another user who may write the folder puts something of theirs in
// Name.tar's place: a link to a file of the user's before tar writes, which
// tar would fill; a pipe, through which they would read the tar of a
// private folder; their own tar after tar or before xz reads it. tar writes
// into the file the run created, so the link and the pipe get nothing; the
// run fails and says so, their file is left alone, and nothing of theirs is
// reported as the item's.
TEST_F(ArchiveRun, ANameSwappedByAnotherIsNeverWrittenNorTakenForTheItem) {
  MakeDir(dir / "data");
  WriteText(dir / "data/f", "the user's");
  WriteText(dir / "victim", "the user's other file");
  MakeDir(dir / "theirs");
  WriteText(dir / "theirs/payload.sh", std::string(30000, 'p'));
  MakeDir(dir / "bin");
  std::string tar = dir / "data.tar";
  std::string theirs = "/usr/bin/tar cf '" + dir / "payload.tar" + "' -C '" + dir.path +
                       "' theirs && mv -f '" + dir / "payload.tar" + "' '" + tar + "'";
  const std::string replaced_while =
      "\"data.tar\" was replaced by another file while the run went on; that file is left as it "
      "is.";
  struct {
    const char* program;
    std::string script;
    std::string told;
    const char* left;  // what stands as data.tar, or "data.tar.xz": their archive
  } rows[] = {
      {"tar", "rm '" + tar + "' && ln -s victim '" + tar + "' && exec /usr/bin/tar \"$@\"",
       replaced_while, "link"},
      {"tar", "rm '" + tar + "' && mkfifo '" + tar + "' && exec /usr/bin/tar \"$@\"",
       replaced_while, "pipe"},
      {"tar", "/usr/bin/tar \"$@\" || exit; " + theirs, replaced_while, "their tar"},
      {"xz", theirs + " && exec /usr/bin/xz \"$@\"",
       "\"data.tar\" was replaced by another file before xz read it: \"data.tar.xz\" holds that "
       "file, and is kept.",
       "data.tar.xz"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.script);
    std::string wrapper = dir / "bin/" + row.program;
    WriteText(wrapper, "#!/bin/sh\n" + row.script + "\n");
    chmod(wrapper.c_str(), 0755);
    EXPECT_EQ(1, Arkiva(dir / "data", kReal, "", {"PATH=" + dir / "bin:/usr/bin:/bin"}));
    EXPECT_EQ("Could not archive \"data\": " + row.told, message);
    std::remove(wrapper.c_str());
    EXPECT_EQ("the user's other file", ReadText(dir / "victim"));
    struct stat st;
    std::string left = lstat(tar.c_str(), &st) != 0 ? "data.tar.xz"
                       : S_ISLNK(st.st_mode)        ? "link"
                       : S_ISFIFO(st.st_mode)       ? "pipe"
                                                    : "their tar";
    EXPECT_EQ(row.left, left);
    if (left == "their tar") {
      std::string listed;
      EXPECT_EQ(0, RunShell("tar tf '" + tar + "'", &listed));
      EXPECT_EQ(std::vector<std::string>({"theirs/", "theirs/payload.sh"}), Lines(listed));
    } else if (left == "data.tar.xz") {
      EXPECT_EQ(std::vector<std::string>({"theirs/", "theirs/payload.sh"}),
                Members(dir / "data.tar.xz"));
    }
    std::remove(tar.c_str());
    std::remove((dir / "data.tar.xz").c_str());
  }
}

// xz ends 2 after a warning, its archive whole and its input removed: a run
// with a warning, never a broken archive.
TEST_F(ArchiveRun, XzsWarningIsAWarning) {
  if (geteuid() != 0)
    GTEST_SKIP() << "only root can give the file a group its user is not in";
  ASSERT_TRUE(RunUnprivileged());
  WriteText(dir / "W", "the user's file");
  ASSERT_EQ(0, chown((dir / "W").c_str(), 65534, 0));
  EXPECT_EQ(2, Arkiva(dir / "W", kReal));
  EXPECT_EQ(
      "\"W.xz\" was created, with a warning from xz:\n"
      "xz: W.xz: Cannot set the file group: Operation not permitted",
      message);
  EXPECT_EQ(0, RunShell("xz -t '" + dir / "W.xz" + "'"));
  EXPECT_FALSE(PathExists(dir / "W"));
}
#else
// Files that another program holds open without sharing (a mail store, a
// running virtual machine's disk): the archive holds all the rest, and the
// warning names each. tar.exe goes on past the first (Wine lists a folder
// in no fixed order: two held files show that the walk went on).
TEST_F(ArchiveRun, AFileHeldWithoutSharingIsLeftOutAndTold) {
  for (const char* folder : {"Docs", "Docs\\mid", "Docs\\z"})
    MakeDir(dir / folder);
  WriteText(dir / "Docs\\a", "readable");
  WriteText(dir / "Docs\\z\\after", "after");
  std::vector<HANDLE> held;
  for (const char* name : {"Docs\\mid\\locked.pst", "Docs\\z\\disk.vhdx"}) {
    WriteText(dir / name, "held open");
    held.push_back(
        CreateFileA((dir / name).c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL));
    ASSERT_NE(INVALID_HANDLE_VALUE, held.back());
  }
  EXPECT_EQ(2, Arkiva(dir / "Docs", kReal));
  for (HANDLE h : held)
    CloseHandle(h);
  std::vector<std::string> told = Lines(message);
  ASSERT_EQ(3u, told.size()) << message;
  EXPECT_EQ(
      "\"Docs.tar.xz\" was created, but some of \"Docs\" is missing from it or changed while it "
      "was read:",
      told[0]);
  std::sort(told.begin() + 1, told.end());
  EXPECT_EQ((std::vector<std::string>{"Couldn't open Docs/mid/locked.pst: Permission denied",
                                      "Couldn't open Docs/z/disk.vhdx: Permission denied"}),
            std::vector<std::string>(told.begin() + 1, told.end()));
  EXPECT_TRUE(error_icon);  // the warning icon
  EXPECT_EQ((std::vector<std::string>{"Docs/", "Docs/a", "Docs/mid/", "Docs/z/", "Docs/z/after"}),
            Members(dir / "Docs.tar.xz"));
  EXPECT_FALSE(PathExists(dir / "Docs.tar"));
}

// Another user who may write the folder replaces Name.tar while tar runs:
// Windows refuses, as the run holds the file tar writes into and shares
// only its reading; the archive is the item's.
TEST_F(ArchiveRun, NameTarHeldByTheRunCannotBeSwapped) {
  MakeDir(dir / "data");
  EXPECT_EQ(0, Arkiva(dir / "data", kRecording, "",
                      {"ARKIVA_RECORD_SWAP=" + dir / "data.tar", "ARKIVA_RECORD_WRITE=-"}))
      << message;
  std::string held;
  EXPECT_EQ(0, RunShell("xz -dc '" + UnixPath(dir / "data.tar.xz") + "'", &held));
  EXPECT_EQ("partial", held);
}

// Objects under the names the locks had (Global\\ mutexes, which any user
// may create first) stop no run: the locks are files in the user's own
// profile.
TEST_F(ArchiveRun, AnotherUsersMutexStopsNoRun) {
  MakeDir(dir / "data");
  WriteText(dir / "data\\f", "f");
  HANDLE folder = CreateFileW(Wide(dir.path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, NULL);
  std::vector<wchar_t> resolved(32768);
  DWORD length = GetFinalPathNameByHandleW(folder, resolved.data(), resolved.size(), 0);
  CloseHandle(folder);
  std::vector<HANDLE> taken;
  for (const char* name : {"data", "data.tar", "data.tar.xz"}) {
    std::wstring path = std::wstring(resolved.data(), length) + L"\\" + Wide(name);
    CharUpperBuffW(&path[0], static_cast<DWORD>(path.size()));
    taken.push_back(CreateMutexA(NULL, FALSE, ("Global\\" + ItemLockName(Narrow(path))).c_str()));
  }
  EXPECT_EQ(0, Arkiva(dir / "data", kReal)) << message;
  EXPECT_TRUE(PathExists(dir / "data.tar.xz"));
  for (HANDLE mutex : taken)
    CloseHandle(mutex);
}
#endif

// A PATH entry that is empty or relative names a folder beside the item,
// where anyone who may write the folder could put a tar: never searched.
TEST_F(ArchiveRun, ARelativePathEntryIsNeverSearched) {
  MakeDir(dir / "data");
  WriteText(dir / "data" + kSep + "f", "x");
  MakeDir(dir / "planted");
#ifdef _WIN32
  for (const char* program : {"tar.exe", "xz.exe"})
    for (const std::string& folder : {dir.path, dir / "planted"})
      CopyFileA(BuildPath(std::string("recbin/") + program).c_str(),
                (folder + "\\" + program).c_str(), FALSE);
  std::string rest = ";" + BuildPath("realbin") + ";C:\\windows\\system32;C:\\windows";
  const std::string paths[] = {rest, "planted" + rest, "." + rest, ".\\planted" + rest};
  auto planted_ran = [&] { return !Records().empty(); };
#else
  for (const char* program : {"tar", "xz"})
    for (const std::string& folder : {dir.path, dir / "planted"}) {
      WriteText(folder + "/" + program, "#!/bin/sh\ntouch '" + dir / "planted-ran" + "'\n");
      chmod((folder + "/" + program).c_str(), 0755);
    }
  const std::string paths[] = {":/usr/bin:/bin", "planted:/usr/bin:/bin", ".:/usr/bin:/bin",
                               "/usr/bin:/bin:"};
  auto planted_ran = [&] { return PathExists(dir / "planted-ran"); };
#endif
  for (const std::string& path : paths) {
    SCOPED_TRACE(path);
    EXPECT_EQ(0, Arkiva(dir / "data", kReal, dir.path, {"PATH=" + path})) << message;
    EXPECT_FALSE(planted_ran());
    EXPECT_EQ(std::vector<std::string>({"data/", "data/f"}), Members(dir / "data.tar.xz"));
    std::remove((dir / "data.tar.xz").c_str());
  }
}

// The user's settings for tar and xz never change what arkiva makes or
// removes: the same archive, the item kept, nothing beside it.
// tar writes the archive into the run's Name.tar through its standard
// output: it holds exactly what `tar cf Name.tar Name` writes by name (a
// bsdtar writing to standard output would pad it to a whole 10 KiB block).
TEST_F(ArchiveRun, TarThroughItsOutputWritesWhatItWritesByName) {
  MakeDir(dir / "Proj");
  MakeDir(dir / "Proj" + kSep + "sub");
  WriteText(dir / "Proj" + kSep + "odd.bin", Noise(1000, 3));
  WriteText(dir / "Proj" + kSep + "sub" + kSep + "notes.txt", "notes");
  ASSERT_EQ(0, Arkiva(dir / "Proj", kReal)) << message;
#ifdef _WIN32
  ASSERT_EQ(0, RunCommandLine("\"" + BuildPath("realbin/tar.exe") + "\" cf by-name.tar Proj",
                              dir.path, nullptr));
#else
  ASSERT_EQ(0, RunArgv({"tar", "cf", "by-name.tar", "--format=posix",
                        "--pax-option=delete=atime,delete=ctime,delete=mtime", "Proj"},
                       dir.path, nullptr));
#endif
  std::string differs;
  EXPECT_EQ(0, RunShell("xz -dc '" + UnixPath(dir / "Proj.tar.xz") + "' | cmp - '" +
                            UnixPath(dir / "by-name.tar") + "'",
                        &differs))
      << differs;
}

TEST_F(ArchiveRun, TheUsersTarAndXzSettingsChangeNothing) {
  MakeDir(dir / "Proj");
  WriteText(dir / "Proj" + kSep + "notes.txt", "notes");
  WriteText(dir / "Proj" + kSep + "data.bin", Noise(4096, 1));
  for (const char* setting :
       {"TAR_OPTIONS=--remove-files", "TAR_OPTIONS=--exclude=*.txt", "XZ_OPT=-k", "XZ_OPT=--stdout",
        "XZ_OPT=-S .tmp", "XZ_DEFAULTS=-k -9e", "TAR_WRITER_OPTIONS=x:y",
        "TAR_READER_OPTIONS=x:y"}) {
    SCOPED_TRACE(setting);
    EXPECT_EQ(0, Arkiva(dir / "Proj", kReal, "", {setting})) << message;
    ExpectArchiveHolds(dir / "Proj.tar.xz", dir / "Proj");
    EXPECT_FALSE(PathExists(dir / "Proj.tar"));
    std::remove((dir / "Proj.tar.xz").c_str());
  }
}

TEST_F(ArchiveRun, AFailedXzIsReported) {
  WriteText(dir / "file", "x");
  EXPECT_EQ(1, Arkiva(dir / "file", kRecording, "", {"ARKIVA_RECORD_EXIT=1"}));
  EXPECT_EQ("Could not archive \"file\": xz failed (exit code 1).", message);
#ifndef _WIN32
  MakeDir(dir / "data");
  EXPECT_EQ(1, Arkiva(dir / "data", kRecording, "", {"PATH=" + dir / "nowhere"}));
  EXPECT_EQ("Could not archive \"data\": tar could not be started: it is not on PATH.", message);
  EXPECT_FALSE(PathExists(dir / "data.tar"));
#endif
}

#ifdef _WIN32
std::string SystemFolder() {
  char folder[MAX_PATH];
  UINT length = GetSystemDirectoryA(folder, MAX_PATH);
  return std::string(folder, length < MAX_PATH ? length : 0);
}

// arkiva.exe runs only the tar.exe and xz.exe beside it. One that is gone
// (a partial unzip, a quarantine) is named, with arkiva's folder, and never
// taken from elsewhere: not Windows' own in System32 (a stand-in here), nor
// one on PATH.
TEST_F(ArchiveRun, AMissingProgramIsNamedNeverTakenFromElsewhereInTheUsersLanguage) {
  struct {
    const char* language;
    const char* title;
    const char* told;  // %1: the program, %2: arkiva's folder
  } languages[] = {
      {"en", "Create tar.xz",
       "Could not archive \"%3\": %1 could not be started: %1.exe is missing beside arkiva.exe "
       "(%2): reinstall arkiva."},
      {"de", "tar.xz erstellen",
       "„%3“ konnte nicht archiviert werden: %1 konnte nicht gestartet werden: %1.exe fehlt "
       "neben arkiva.exe (%2): Installieren Sie arkiva neu."},
      {"ja", "tar.xz を作成",
       "「%3」をアーカイブできませんでした: %1 を起動できませんでした: arkiva.exe と同じ場所 (%2) "
       "に %1.exe がありません。arkiva を再インストールしてください。"},
  };
  struct {
    const char* missing;
    const char* item;
    std::string stand_in;  // where a recording one waits
  } rows[] = {
      {"tar", "data", SystemFolder() + "\\tar.exe"},
      {"tar", "data", dir / "path\\tar.exe"},
      {"xz", "notes.txt", SystemFolder() + "\\xz.exe"},
  };
  MakeDir(dir / "data");
  WriteText(dir / "notes.txt", "notes");
  MakeDir(dir / "path");
  MakeDir(io / "arkiva");
  program = io / "arkiva\\arkiva.exe";
  ASSERT_TRUE(CopyFileA(BuildPath("arkiva.exe").c_str(), program.c_str(), FALSE));
  for (const auto& language : languages) {
    if (DisplayLanguage() != language.language)
      continue;
    box_title = language.title;
    for (const auto& row : rows) {
      SCOPED_TRACE(row.stand_in);
      std::string beside = io / "arkiva\\tar.exe";
      std::remove(beside.c_str());
      if (std::string(row.missing) == "xz") {
        ASSERT_TRUE(CopyFileA(BuildPath("realbin/tar.exe").c_str(), beside.c_str(), FALSE));
      }
      ASSERT_TRUE(CopyFileA(BuildPath("recbin/tar.exe").c_str(), row.stand_in.c_str(), FALSE));
      int code = Arkiva(dir / row.item, kRecording, "", {"PATH=" + dir / "path;" + SystemFolder()});
      std::remove(row.stand_in.c_str());
      EXPECT_EQ(1, code);
      std::string told = language.told;
      for (const auto& value :
           {std::make_pair("%1", std::string(row.missing)), std::make_pair("%2", io / "arkiva"),
            std::make_pair("%3", std::string(row.item))})
        for (size_t at; (at = told.find(value.first)) != std::string::npos;)
          told.replace(at, 2, value.second);
      EXPECT_EQ(told, message);
      EXPECT_FALSE(PathExists(log));  // no stand-in ran
      EXPECT_FALSE(PathExists(dir / "data.tar"));
      EXPECT_TRUE(PathExists(dir / "notes.txt"));
    }
  }
}
#endif

// xz's own words reach the user, as tar's do: natively from its standard
// error, on Windows from the console it showed them in.
TEST_F(ArchiveRun, XzsOwnReasonIsReported) {
  WriteText(dir / "notes.xz", "already compressed, by its name");
  EXPECT_EQ(1, Arkiva(dir / "notes.xz", kReal));
  // xz 5.4 (Debian 12) quotes `so', 5.8 (Debian 13, the Windows xz.exe) 'so'.
  std::string reason =
      "Could not archive \"notes.xz\": xz failed (exit code 2):\n"
      "xz: notes.xz: File already has '.xz' suffix, skipping";
  std::string older = reason;
  older[older.find("'.xz'")] = '`';
  EXPECT_TRUE(message == reason || message == older) << message;
  EXPECT_EQ("already compressed, by its name", ReadText(dir / "notes.xz"));
}

// A tar that is there but is no program: the system's reason, and no Name.tar.
TEST_F(ArchiveRun, AProgramThatCannotStartIsReportedWithTheSystemsReason) {
  MakeDir(dir / "data");
  MakeDir(dir / "bogus");
#ifdef _WIN32
  WriteText(dir / "bogus\\tar.exe", "not a program");
  program = dir / "bogus\\arkiva.exe";
  ASSERT_TRUE(CopyFileA(BuildPath("arkiva.exe").c_str(), program.c_str(), FALSE));
  std::string path = "PATH=" + dir / "bogus" + ";C:\\windows\\system32";
#else
  WriteText(dir / "bogus/tar", "not a program");
  chmod((dir / "bogus/tar").c_str(), 0755);
  std::string path = "PATH=" + dir / "bogus" + ":/usr/bin:/bin";
#endif
  EXPECT_EQ(1, Arkiva(dir / "data", kReal, "", {path}));
  EXPECT_EQ(0u, message.find("Could not archive \"data\": tar could not be started: ")) << message;
  EXPECT_EQ(std::string::npos, message.find("PATH")) << message;
  EXPECT_FALSE(PathExists(dir / "data.tar"));
}

// xz ended from outside while it writes: exit code 0 (as TerminateProcess(h,
// 0) reports) with a part of the archive, or the real xz killed midway.
// Neither Name.tar nor the half-made Name.tar.xz stays, and the user is told.
TEST_F(ArchiveRun, AnXzEndedFromOutsideLeavesNoHalfArchive) {
  MakeDir(dir / "data");
  WriteText(dir / "data" + kSep + "f", "x");
  EXPECT_EQ(1, Arkiva(dir / "data", kRecording, "", {"ARKIVA_RECORD_XZ_PARTIAL=1"}));
  EXPECT_EQ("Could not archive \"data\": xz failed: it ended before \"data.tar.xz\" was complete.",
            message);
  EXPECT_FALSE(PathExists(dir / "data.tar"));
  EXPECT_FALSE(PathExists(dir / "data.tar.xz"));

  MakeDir(dir / "big");
  WriteText(dir / "big" + kSep + "noise.bin", Noise(48 << 20, 7));
  std::thread outsider;
  on_start = [&](unsigned long pid) {
    outsider = std::thread([this, pid] {
      for (int i = 0; i < 600 && !PathExists(dir / "big.tar.xz"); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
      std::this_thread::sleep_for(std::chrono::milliseconds(500));
      EXPECT_TRUE(EndChildProgram(pid, "xz"));
    });
  };
  EXPECT_EQ(1, Arkiva(dir / "big", kReal));
  outsider.join();
#ifdef _WIN32
  EXPECT_EQ(0u, message.find("Could not archive \"big\": xz failed")) << message;
#else
  EXPECT_EQ(0u, message.find("Could not archive \"big\": xz was ended from outside (signal 9)"))
      << message;
#endif
  EXPECT_FALSE(PathExists(dir / "big.tar"));
  EXPECT_FALSE(PathExists(dir / "big.tar.xz"));
}

// A root has no folder above it to hold the archive.
TEST_F(ArchiveRun, ARootIsReported) {
#ifdef _WIN32
  const std::string root = "C:\\";
#else
  const std::string root = "/";
#endif
  EXPECT_EQ(1, Arkiva(root, kRecording));
  EXPECT_EQ("Could not archive \"" + root +
                "\": it is a root, with no folder above it to put "
                "the archive in.",
            message);
  EXPECT_TRUE(Records().empty());
}

// The user's own Name.tar, Name.tar.xz or name.xz is never replaced, and
// nothing runs beside it.
TEST_F(ArchiveRun, ExistingOutputsAreNeverTouched) {
  MakeDir(dir / "My Photos");
  WriteText(dir / "My Photos" + kSep + "a.jpg", "picture");
  WriteText(dir / "My Photos.tar", "precious old tar");
  EXPECT_EQ(1, Arkiva(dir / "My Photos", kRecording));
  EXPECT_EQ("Could not archive \"My Photos\": \"My Photos.tar\" already exists beside it.",
            message);
  EXPECT_EQ("precious old tar", ReadText(dir / "My Photos.tar"));
  EXPECT_FALSE(PathExists(dir / "My Photos.tar.xz"));

  ASSERT_TRUE(std::remove((dir / "My Photos.tar").c_str()) == 0);
  WriteText(dir / "My Photos.tar.xz", "precious old archive");
  EXPECT_EQ(1, Arkiva(dir / "My Photos", kRecording));
  EXPECT_EQ("Could not archive \"My Photos\": \"My Photos.tar.xz\" already exists beside it.",
            message);
  EXPECT_EQ("precious old archive", ReadText(dir / "My Photos.tar.xz"));
  EXPECT_FALSE(PathExists(dir / "My Photos.tar"));

  WriteText(dir / "notes.txt", "notes");
  WriteText(dir / "notes.txt.xz", "older notes");
  EXPECT_EQ(1, Arkiva(dir / "notes.txt", kRecording));
  EXPECT_EQ("Could not archive \"notes.txt\": \"notes.txt.xz\" already exists beside it.", message);
  EXPECT_EQ("notes", ReadText(dir / "notes.txt"));
  EXPECT_EQ("older notes", ReadText(dir / "notes.txt.xz"));
  EXPECT_TRUE(Records().empty());
}

TEST_F(ArchiveRun, RealFolderArchives) {
  std::string item = dir / "My Photos.v2";
  MakeDir(item + kSep + "sub" + kSep + "nested");
  MakeDir(item + kSep + "empty");
  MakeDir(dir / "Empty");
  WriteText(item + kSep + "a b.txt", "first file\n");
  WriteText(item + kSep + "zero", "");
  WriteText(item + kSep + ".one", "1");
  WriteText(item + kSep + "sub" + kSep + "nested" + kSep + "deep.bin",
            std::string("\0\1\2\377", 4));
  ASSERT_EQ(0, Arkiva(item, kReal));
  ASSERT_EQ(0, Arkiva(dir / "Empty", kReal));
  EXPECT_FALSE(PathExists(dir / "My Photos.v2.tar"));
  EXPECT_EQ(std::vector<std::string>({"My Photos.v2/", "My Photos.v2/.one", "My Photos.v2/a b.txt",
                                      "My Photos.v2/empty/", "My Photos.v2/sub/",
                                      "My Photos.v2/sub/nested/",
                                      "My Photos.v2/sub/nested/deep.bin", "My Photos.v2/zero"}),
            Members(dir / "My Photos.v2.tar.xz"));
  ExpectArchiveHolds(dir / "My Photos.v2.tar.xz", item);
  EXPECT_EQ(std::vector<std::string>({"Empty/"}), Members(dir / "Empty.tar.xz"));
}

// A time a plain tar header cannot hold keeps its record: GNU tar's line
// would otherwise store it as 1970-01-01. Every other folder's line keeps
// leaving the records out.
TEST(KeepingModificationTimes, OnlyForTimesOutsideAPlainHeader) {
  struct {
    int64_t modified;
    bool fits;
  } times[] = {
      {-1, false}, {0, true}, {1700000000, true}, {077777777777, true}, {077777777777 + 1, false}};
  for (const auto& t : times)
    EXPECT_EQ(t.fits, FitsTarHeader(t.modified)) << t.modified;
  struct {
    bool posix;
    const char* tar;
  } lines[] = {{true, "cf - --format=posix --pax-option=delete=atime,delete=ctime \"Proj\""},
               {false, "cf - \"Proj\""}};
  for (const auto& l : lines)
    EXPECT_EQ(l.tar,
              ArgumentLine(KeepingModificationTimes(BuildArchiveLines("Proj", true, l.posix).tar)));
}

TEST_F(ArchiveRun, EveryDateIsKept) {
  struct {
    const char* name;
    const char* date;
    int64_t seen;  // as tarfile reads it back
  } files[] = {{"moon.txt", "1969-07-20 20:17:40 UTC", -14182940},
               {"today.txt", "2024-02-29 12:00:00 UTC", 1709208000},
               {"far.txt", "2300-01-01 00:00:00 UTC", 10413792000}};
  for (bool odd : {false, true}) {
    ScratchDir scratch;
    std::string item = scratch / "Dates";
    MakeDir(item);
    for (const auto& f : files) {
      if (!odd && f.seen != 1709208000)
        continue;
      WriteText(item + kSep + f.name, f.name);
      ASSERT_EQ(0, RunShell("touch -d '" + std::string(f.date) + "' '" +
                            UnixPath(item + kSep + f.name) + "'"));
    }
    ASSERT_EQ(0, Arkiva(item, kReal));
    std::string out;
    ASSERT_EQ(0, RunShell("python3 -c 'import sys, tarfile\n"
                          "for m in tarfile.open(sys.argv[1]):\n"
                          "  print(m.name, int(m.mtime), sorted(m.pax_headers))' '" +
                              UnixPath(scratch / "Dates.tar.xz") + "'",
                          &out));
    for (const auto& f : files) {
      if (odd || f.seen == 1709208000) {
        EXPECT_NE(std::string::npos,
                  out.find(std::string("Dates/") + f.name + " " + std::to_string(f.seen) + " "))
            << out;
      }
    }
    // A folder of plain times has no records but its names'.
    if (!odd) {
      EXPECT_EQ(std::string::npos, out.find("'mtime'")) << out;
    }
  }
}

TEST_F(ArchiveRun, RealFileCompresses) {
  WriteText(dir / "one.txt", "1");
  ASSERT_EQ(0, Arkiva(dir / "one.txt", kReal));
  std::string out;
  ASSERT_EQ(0, RunShell("xz -dc '" + UnixPath(dir / "one.txt.xz") + "'", &out));
  EXPECT_EQ("1", out);
}

TEST_F(ArchiveRun, NamesOutsideTheOldCodePages) {
  std::string name =
      "Fotos \xc3\x9cn\xc3\xaf"
      "c\xc3\xb8"
      "d\xc3\xa9 \xd0\xb6 \xe6\x97\xa5";
  MakeDir(dir / name);
  WriteText(dir / name + kSep + "\xe2\x82\xac.txt", "euro");
  std::string emoji =
      "\xf0\x9f\x93\xb7 \xd0\xbd\xd0\xbe\xd1\x82\xd1\x8b \xe2\x9c\x93.txt";  // a camera, Cyrillic,
                                                                             // a check mark
  WriteText(dir / emoji, "notes");
  ASSERT_EQ(0, Arkiva(dir / name, kReal));
  ASSERT_EQ(0, Arkiva(dir / emoji, kReal));
  EXPECT_EQ(std::vector<std::string>({name + "/", name + "/\xe2\x82\xac.txt"}),
            Members(dir / (name + ".tar.xz")));
  ExpectArchiveHolds(dir / (name + ".tar.xz"), dir / name);
  std::string out;
  ASSERT_EQ(0, RunShell("xz -dc '" + UnixPath(dir / (emoji + ".xz")) + "'", &out)) << out;
  EXPECT_EQ("notes", out);
}

TEST_F(ArchiveRun, HostileNamesArchiveOnlyTheItem) {
  std::string folder = dir / "--checkpoint-action=exec=touch PWNED";
  MakeDir(folder);
  WriteText(folder + kSep + "inside", "in");
  WriteText(dir / "victim.txt", "keep me");
  WriteText(dir / "list.txt", "victim.txt\n");
  WriteText(dir / "--files=list.txt", "list");
  WriteText(dir / "-", "dash");
  MakeDir(dir / "@x");  // Windows' tar reads @name as an archive to copy from
  WriteText(dir / "@x" + kSep + "f", "at");
  ASSERT_EQ(0, Arkiva(dir / "@x", kReal));
  ASSERT_EQ(0, Arkiva(folder, kReal));
  ASSERT_EQ(0, Arkiva(dir / "--files=list.txt", kReal));
  ASSERT_EQ(0, Arkiva(dir / "-", kReal));
  EXPECT_FALSE(PathExists(dir / "PWNED"));
  EXPECT_EQ("keep me", ReadText(dir / "victim.txt"));
  EXPECT_EQ("victim.txt\n", ReadText(dir / "list.txt"));
  EXPECT_EQ(std::vector<std::string>({"./--checkpoint-action=exec=touch PWNED/",
                                      "./--checkpoint-action=exec=touch PWNED/inside"}),
            Members(dir / "--checkpoint-action=exec=touch PWNED.tar.xz"));
  EXPECT_EQ(std::vector<std::string>({"./@x/", "./@x/f"}), Members(dir / "@x.tar.xz"));
  ExpectArchiveHolds(dir / "@x.tar.xz", dir / "@x");
  EXPECT_TRUE(PathExists(dir / "--files=list.txt.xz"));
  EXPECT_TRUE(PathExists(dir / "-.xz"));
}

// "Create one tar.xz": one archive in the folder that holds the items, named
// after it, each item at its top with all it holds, in the order handed over,
// any name; an item inside another stored once with it. The user's
// Fotos.tar.xz and an earlier run's Fotos 2.tar stay as they are: the next
// free name is made. Items of two folders are refused, and nothing is made.
TEST_F(ArchiveRun, OneArchiveOfASelection) {
  std::string fotos = dir / "Fotos";
  MakeDir(fotos);
  MakeDir(fotos + kSep + "Trip");
  WriteText(fotos + kSep + "Trip" + kSep + "t.txt", "trip");
  std::vector<std::string> names = {"b.jpg", "-a.jpg", "@c", "\xd0\xa4\xd0\xbe\xd1\x82\xd0\xbe.jpg",
                                    "-C"};
#ifndef _WIN32
  names.push_back("line\nbreak");
#endif
  std::vector<std::string> items = {"--one", fotos + kSep + "Trip"};
  std::vector<std::string> members = {"Trip/", "Trip/t.txt"};
  for (const std::string& name : names) {
    WriteText(fotos + kSep + name, "file " + name);
    items.push_back(fotos + kSep + name);
    members.push_back(name == "line\nbreak"              ? "line\\nbreak"
                      : name[0] == '-' || name[0] == '@' ? "./" + name
                                                         : name);
  }
  items.push_back(fotos + kSep + "Trip" + kSep + "t.txt");
  WriteText(fotos + kSep + "Fotos.tar.xz", "the user's");
  WriteText(fotos + kSep + "Fotos 2.tar", "an earlier run's");
  ASSERT_EQ(0, Arkiva(items, kReal)) << message;
  EXPECT_EQ("the user's", ReadText(fotos + kSep + "Fotos.tar.xz"));
  EXPECT_EQ("an earlier run's", ReadText(fotos + kSep + "Fotos 2.tar"));
  EXPECT_EQ(members, Members(fotos + kSep + "Fotos 3.tar.xz", false));
  EXPECT_FALSE(PathExists(fotos + kSep + "Fotos 3.tar"));
  for (const std::string& name : names)
    EXPECT_EQ("file " + name, ReadText(fotos + kSep + name));

  MakeDir(dir / "Other");
  WriteText(dir / "Other" + kSep + "x", "x");
  EXPECT_EQ(1, Arkiva({"--one", fotos + kSep + "b.jpg", dir / "Other" + kSep + "x"}, kReal));
  EXPECT_NE(std::string::npos, message.find("more than one folder")) << message;
  EXPECT_FALSE(PathExists(fotos + kSep + "Fotos 4.tar.xz"));
  EXPECT_FALSE(PathExists(dir / "Other" + kSep + "Other.tar.xz"));
}

TEST_F(ArchiveRun, ReturnsOnlyAfterXzHasFinished) {
  MakeDir(dir / "big");
  std::string noise = Noise(6 << 20, 12345);
  WriteText(dir / "big" + kSep + "noise.bin", noise);
  ASSERT_EQ(0, Arkiva(dir / "big", kReal));
  EXPECT_FALSE(PathExists(dir / "big.tar"));
  EXPECT_EQ(0, RunShell("xz -t '" + UnixPath(dir / "big.tar.xz") + "'"));
}

#ifdef _WIN32
TEST_F(ArchiveRun, APlantedTarInTheBrowsedFolderIsNotRun) {
  MakeDir(dir / "data");
  WriteText(dir / "data" + kSep + "f", "x");
  CopyFileA(BuildPath("recbin/tar.exe").c_str(), (dir / "tar.exe").c_str(), FALSE);
  ASSERT_EQ(0, Arkiva(dir / "data", kReal, dir.path));
  EXPECT_TRUE(Records().empty());
  EXPECT_EQ(std::vector<std::string>({"data/", "data/f"}), Members(dir / "data.tar.xz"));
}
#else
// Every name Linux allows reaches tar and xz as it stands.
TEST_F(ArchiveRun, AnyNameLinuxAllowsIsArchivedAsItIs) {
  std::vector<std::string> names = {"My \"Photos\" | $HOME 'q'",
                                    "back\\slash\\",
                                    "line\nbreak",
                                    "-n \xe2\x9c\x93",
                                    "@at",
                                    "a:b",
                                    "*"};
  std::vector<std::string> items;
  for (const std::string& name : names) {
    MakeDir(dir / name);
    WriteText(dir / name + "/" + name, "inside " + name);
    WriteText(dir / (name + ".txt"), "file " + name);
    items.push_back(dir / name);
    items.push_back(dir / (name + ".txt"));
  }
  ASSERT_EQ(0, Arkiva(items, kReal)) << message;
  for (const std::string& name : names) {
    ExpectArchiveHolds(dir / (name + ".tar.xz"), dir / name);
    std::string out;
    EXPECT_EQ(0, RunArgv({"xz", "-dc", dir / (name + ".txt.xz")}, "", &out)) << name;
    EXPECT_EQ("file " + name, out);
  }
}

// One failure does not stop the rest; one report names it at the end.
TEST_F(ArchiveRun, SeveralItemsInOrderAndAFailureAmongThem) {
  for (const char* name : {"A", "B", "C"}) {
    MakeDir(dir / name);
    WriteText(dir / name + "/f", name);
  }
  WriteText(dir / "B.tar.xz", "the user's own");
  EXPECT_EQ(1, Arkiva({dir / "A", dir / "B", dir / "C"}, kReal));
  EXPECT_EQ("Could not archive \"B\": \"B.tar.xz\" already exists beside it.", message);
  ExpectArchiveHolds(dir / "A.tar.xz", dir / "A");
  ExpectArchiveHolds(dir / "C.tar.xz", dir / "C");
  EXPECT_EQ("the user's own", ReadText(dir / "B.tar.xz"));
  EXPECT_FALSE(PathExists(dir / "B.tar"));
}
#endif

// Items that are there but cannot be reached: each one reported, with nothing
// started and nothing made; only what does not exist is nothing to do.
class Unreachable : public ArchiveRun {
 protected:
#ifdef _WIN32
  const size_t kLongest = 259;  // MAX_PATH - 1: what Windows programs take
  const std::string kLimitWords = " characters long, and Windows programs accept at most 259.";
#else
  const size_t kLongest = 4095;  // PATH_MAX - 1
  const std::string kLimitWords = " bytes long, and the system accepts at most 4095.";
#endif

  // A folder exactly `length` long (as the platform counts an ASCII path)
  // under dir/deep, made one level at a time, as no single call could.
  std::string MakeDeepFolder(size_t length) {
    std::string path = dir / "deep";
    MakeDir(path);
#ifdef _WIN32
    std::string script = "cd '" + UnixPath(path) + "'";
#else
    int at = open(path.c_str(), O_DIRECTORY | O_RDONLY);
#endif
    while (path.size() < length) {
      std::string part(std::min<size_t>(100, length - path.size() - 1), 'd');
      path += kSep + part;
#ifdef _WIN32
      script += " && mkdir " + part + " && cd " + part;
#else
      EXPECT_EQ(0, mkdirat(at, part.c_str(), 0755));
      int next = openat(at, part.c_str(), O_DIRECTORY | O_RDONLY);
      close(at);
      at = next;
#endif
    }
#ifdef _WIN32
    EXPECT_EQ(0, RunShell(script));
#else
    close(at);
#endif
    return path;
  }

  // What is in dir/deep and below, as the Linux tools see it.
  std::string Everything() {
    std::string out;
    EXPECT_EQ(0, RunShell("cd '" + UnixPath(dir / "deep") + "' && find . -type f | wc -l", &out));
    return out;
  }
};

TEST_F(Unreachable, APathLongerThanProgramsAcceptIsReported) {
  // The 486-character folder a user met under Windows; far past PATH_MAX on POSIX.
  size_t length = kLongest == 259 ? 486 : 4200;
  std::string item = MakeDeepFolder(length);
  EXPECT_EQ(1, Arkiva(item, kRecording));
  EXPECT_EQ("Could not archive \"" + item.substr(item.rfind(kSep) + 1) + "\": its path is " +
                std::to_string(length) + kLimitWords,
            message);
  EXPECT_TRUE(Records().empty());
  EXPECT_EQ("0\n", Everything());
}

TEST_F(Unreachable, AnArchivePathTooLongIsReportedBeforeAnythingRuns) {
  std::string folder = MakeDeepFolder(kLongest - 4);  // "x.tar.xz" would be 3 too long
  EXPECT_EQ(1, Arkiva(folder, kRecording));
  std::string name = folder.substr(folder.rfind(kSep) + 1);
  EXPECT_EQ("Could not archive \"" + name + "\": the path of \"" + name +
                ".tar.xz\" beside it would be " + std::to_string(kLongest + 3) + kLimitWords,
            message);
  WriteText(folder + kSep + "f", "data");
  EXPECT_EQ(1, Arkiva(folder + kSep + "f", kRecording));  // f.xz: 1 too long
  EXPECT_NE(std::string::npos, message.find(std::to_string(kLongest + 1) + kLimitWords)) << message;
  EXPECT_TRUE(Records().empty());
  EXPECT_EQ("1\n", Everything());  // f alone
}

TEST_F(Unreachable, MissingStaysSilent) {
  std::vector<std::string> missing_paths = {dir / "gone", dir / "gone" + kSep + "deeper"};
#ifndef _WIN32
  // ENOTDIR (Wine answers this one with ERROR_INVALID_NAME, which is reported).
  WriteText(dir / "file", "x");
  missing_paths.push_back(dir / "file/x");
#endif
  for (const std::string& missing : missing_paths) {
    EXPECT_EQ(0, Arkiva(missing, kRecording)) << missing;
    EXPECT_EQ("", message) << missing;
  }
  EXPECT_TRUE(Records().empty());
}

#ifdef _WIN32
TEST_F(Unreachable, ADeniedFolderIsReported) {
  // Wine runs as root here, and root enters every folder: only a folder the
  // kernel itself keeps from root (another namespace's root, /proc/1/root in
  // a container) can be denied. Where there is none, this cannot be shown.
  std::string out;
  if (RunShell("ls /proc/1/root/ >/dev/null", &out) == 0 || out.find("denied") == std::string::npos)
    GTEST_SKIP() << "no folder that Wine's root user may not enter";
  EXPECT_EQ(1, Arkiva("Z:\\proc\\1\\root\\tmp", kRecording));
  EXPECT_EQ("Could not archive \"tmp\": access to it or to a folder on its path is denied.",
            message);
  EXPECT_TRUE(Records().empty());
}
#else
TEST_F(Unreachable, ADeniedFolderIsReported) {
  // Root enters every folder: run as nobody, who may not enter "locked".
  std::string as_user = geteuid() == 0 ? "setpriv --reuid=65534 --regid=65534 --clear-groups " : "";
  MakeDir(dir / "locked");
  MakeDir(dir / "locked/inside");
  chmod(dir.path.c_str(), 0755);
  chmod((dir / "locked").c_str(), 0700);
  if (!as_user.empty())
    ASSERT_EQ(0, chown((dir / "locked").c_str(), 0, 0));
  else
    chmod((dir / "locked").c_str(), 0);
  chmod((dir / "registry.reg").c_str(), 0644);
  std::string out;
  int code = RunShell("DISPLAY= WAYLAND_DISPLAY= ARKIVA_REGISTRY='" + dir / "registry.reg" + "' " +
                          as_user + "'" + BuildPath("arkiva") + "' '" + dir / "locked/inside" + "'",
                      &out);
  chmod((dir / "locked").c_str(), 0700);
  EXPECT_EQ(1, code) << out;
  EXPECT_EQ(
      "arkiva: Could not archive \"inside\": access to it or to a folder on its path is denied.\n",
      out);
  EXPECT_FALSE(PathExists(dir / "locked/inside.tar"));
}
#endif

TEST_F(ArchiveRun, XzGetsEveryCoreUnlessTheUserSetsThreads) {
#ifdef _WIN32
  SetEnvironmentVariableA("XZ_DEFAULTS", NULL);
#else
  unsetenv("XZ_DEFAULTS");
#endif
  MakeDir(dir / "f");
  WriteText(dir / "f" + kSep + "a", "a");
  WriteText(dir / "file", "data");
  auto xz_defaults = [&](size_t launch) { return Records().at(launch).back(); };
  // Each run on a file: the double's xz leaves name.xz behind.
  auto compress_file = [&](const std::string& file, std::vector<std::string> env) {
    int code = Arkiva(file, kRecording, "", env);
    std::remove((file + ".xz").c_str());
    return code;
  };

  ASSERT_EQ(0, Arkiva(dir / "f", kRecording));  // (the double leaves f.tar)
  EXPECT_EQ("<unset>", xz_defaults(0));         // tar: not its business
  EXPECT_EQ(0u, xz_defaults(1).find("-T1 --memlimit-compress=")) << xz_defaults(1);
  EXPECT_NE(std::string::npos, xz_defaults(1).find(" --lzma2=preset=6,dict=8MiB"));

  // The plan without the memory limit, which is shared among the arkiva runs
  // on the machine, which other tests may start meanwhile.
  auto plan = [&](size_t launch) {
    std::string options = xz_defaults(launch);
    size_t at = options.find(" --memlimit-compress=");
    return at == std::string::npos ? options : options.erase(at, options.find(' ', at + 1) - at);
  };
  WriteText(dir / "big", "b");
  std::filesystem::resize_file(dir / "big", 100 << 20);  // 13 blocks of at least 8 MiB
  ASSERT_EQ(0, compress_file(dir / "big", {}));
  std::string every = "-T" + std::to_string(std::min(std::thread::hardware_concurrency(), 13u));
  EXPECT_EQ(every + " ", plan(2).substr(0, every.size() + 1)) << plan(2);
  ASSERT_EQ(0, compress_file(dir / "big", {"XZ_DEFAULTS=-T1 -9e -k"}));
  EXPECT_EQ("-T1 --lzma2=preset=6,dict=16MiB", plan(3));
  ASSERT_EQ(0, compress_file(dir / "big", {"XZ_DEFAULTS=", "XZ_OPT=--stdout"}));
  EXPECT_EQ(plan(2), plan(4));

  // In a selection, each item gets what it would get alone.
  ASSERT_EQ(0, Arkiva(std::vector<std::string>{dir / "file", dir / "big"}, kRecording));
  EXPECT_EQ(plan(2), plan(6));
}

TEST_F(ArchiveRun, AMultiThreadedArchiveHoldsTheSameBytes) {
#ifdef _WIN32
  SetEnvironmentVariableA("XZ_DEFAULTS", NULL);
#else
  unsetenv("XZ_DEFAULTS");
#endif
  // 31 MiB: xz's threaded compressor splits it into blocks, which its
  // single-threaded one never does; into one a core, up to three of at
  // least 8 MiB.
  std::string folder = dir / "logs";
  MakeDir(folder);
  std::string text;
  for (int i = 0; text.size() < (30u << 20); ++i)
    text += "line " + std::to_string(i) + " of a log that compresses well\n";
  WriteText(folder + kSep + "big.log", text);
  WriteText(folder + kSep + "noise.bin", Noise(1 << 20, 5));
  ASSERT_EQ(0, Arkiva(folder, kReal)) << message;
  std::string blocks;
  ASSERT_EQ(0, RunShell("xz -lv --robot '" + UnixPath(dir / "logs.tar.xz") + "' | grep '^totals'",
                        &blocks));
  std::string expected =
      std::to_string(std::max(1u, std::min(std::thread::hardware_concurrency(), 3u)));
  EXPECT_EQ(expected, SplitTabs(blocks).at(2)) << blocks;  // totals, streams, blocks
  ExpectArchiveHolds(dir / "logs.tar.xz", folder);
}

// A failure's cause in the user's language (POSIX: each row's, as the
// desktop gives it; Windows: Wine's display language, which one ctest run a
// language sets), and today's English where no catalogue has the language.
#ifdef _WIN32
// A sync client or a scanner holds Name.tar without sharing its deletion
// while xz runs: xz writes the whole archive but cannot remove its input.
// arkiva removes its Name.tar itself once the holder lets go; one still held
// is kept and told in a warning, never a failure beside a good archive.
TEST_F(ArchiveRun, ANameTarHeldByAnotherProgramGoesOnceLetGo) {
  struct {
    int hold_ms;
    int code;
    bool tar_left;
  } rows[] = {{1000, 0, false}, {6000, 2, true}};
  for (const auto& row : rows) {
    ScratchDir work;
    std::string folder = work / "Photos", tar = work / "Photos.tar";
    MakeDir(folder);
    WriteText(folder + "\\a.bin", Noise(1 << 20, row.hold_ms));
    std::thread holder([&] {
      HANDLE held = INVALID_HANDLE_VALUE;
      for (int i = 0; i < 3000 && held == INVALID_HANDLE_VALUE; ++i, Sleep(2))
        held = CreateFileA(tar.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                           OPEN_EXISTING, 0, NULL);
      Sleep(row.hold_ms);
      CloseHandle(held);
    });
    EXPECT_EQ(row.code, Arkiva(folder, kReal)) << message;
    holder.join();
    EXPECT_EQ(row.tar_left, PathExists(tar));
    ExpectArchiveHolds(tar + ".xz", folder);
    EXPECT_EQ(row.tar_left
                  ? "\"Photos.tar.xz\" is whole, but \"Photos.tar\" beside it could not be "
                    "removed: another program holds it. It may be deleted."
                  : "",
              message);
  }
}

// Windows 10 before version 1903 ignores the manifest's UTF-8 code page. A
// copy of arkiva.exe whose setting Wine does not know runs in the system's
// old one (1252 in English, 932 in Japanese), as it would there: a start on
// a folder named in Cyrillic and a start without an item (setup) each say
// what arkiva needs, in the user's language, and write nothing.
TEST_F(ArchiveRun, AnOldCodePageIsRefusedInTheUsersLanguage) {
  struct {
    const char* language;
    const char* lang;  // Wine's, for the copy
    const char* title;
    const char* told;
  } rows[] = {
      {"en", "en_US.UTF-8", "Create tar.xz", "arkiva needs Windows 10 version 1903 or later."},
      {"de", "de_DE.UTF-8", "tar.xz erstellen",
       "arkiva benötigt Windows 10 Version 1903 oder neuer."},
      {"ja", "ja_JP.UTF-8", "tar.xz を作成",
       "arkiva には Windows 10 バージョン 1903 以降が必要です。"},
  };
  std::string copy = ReadText(BuildPath("arkiva.exe"));
  size_t setting = copy.find("UTF-8</activeCodePage>");
  ASSERT_NE(std::string::npos, setting);
  copy.replace(setting, 5, "UTF-0");
  MakeDir(io / "old");
  program = io / "old\\arkiva.exe";
  WriteText(program, copy);
  MakeDir(dir / "Фото");
  WriteText(dir / "Фото\\a.txt", "a");
  for (const auto& row : rows) {
    if (DisplayLanguage() != row.language)
      continue;
    box_title = row.title;
    for (const std::string& item : {dir / "Фото", std::string()}) {
      EXPECT_EQ(1, Arkiva(item, kReal, "", {std::string("LANG=") + row.lang}));
      EXPECT_EQ(row.told, message) << item;
      EXPECT_TRUE(per_monitor_dpi);
    }
    EXPECT_FALSE(PathExists(dir / "Фото.tar"));
    EXPECT_FALSE(PathExists(dir / "Фото.tar.xz"));
    EXPECT_FALSE(PathExists(state));  // no record, no lock
  }
}
#endif

TEST_F(ArchiveRun, AFailureIsToldInTheUsersLanguage) {
  struct {
    const char* lang;
    const char* language;  // LANGUAGE
    const char* title;     // Windows: its box's
    const char* told;
  } rows[] = {
      {"de_DE.UTF-8", "de", "tar.xz erstellen",
       "„Big“ konnte nicht archiviert werden: „Big.tar.xz“ ist daneben schon vorhanden."},
      {"ja_JP.UTF-8", "ja", "tar.xz を作成",
       "「Big」をアーカイブできませんでした: 「Big.tar.xz」がすでに隣にあります。"},
      {"ru_RU.UTF-8", "ru", "", "Не удалось заархивировать «Big»: «Big.tar.xz» уже есть рядом."},
      {"sv_SE.UTF-8", "sv", "",
       "Could not archive \"Big\": \"Big.tar.xz\" already exists beside it."},
      {"C", "de", "Create tar.xz",
       "Could not archive \"Big\": \"Big.tar.xz\" already exists beside it."},
  };
  MakeDir(dir / "Big");
  WriteText(dir / "Big/a", "a");
  WriteText(dir / "Big.tar.xz", "");
  for (const auto& row : rows) {
#ifdef _WIN32
    // The row of Wine's display language; English is the "C" row.
    std::string language = DisplayLanguage(), lang = row.lang;
    if (language == "en" ? lang != "C" : lang.compare(0, 3, language + "_") != 0 || !*row.title)
      continue;
    box_title = row.title;
    EXPECT_EQ(1, Arkiva(dir / "Big", kRecording));
#else
    EXPECT_EQ(1,
              Arkiva(dir / "Big", kRecording, "",
                     {std::string("LANG=") + row.lang, std::string("LANGUAGE=") + row.language}));
#endif
    EXPECT_EQ(row.told, message) << row.lang;
  }
}
