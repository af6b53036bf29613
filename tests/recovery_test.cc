// What a run that died leaves, and the next start that clears it: only what
// the dead run can be shown to have made goes, never the only copy, never
// the user's own file, never a live run's, and nothing for a record that
// cannot be read.
#include "run_record/run_record.h"

#include <gtest/gtest.h>

#include "host/files/item_lock.h"
#include "tests/arkiva_run.h"
#include "tests/test_util.h"

#include <filesystem>
#include <functional>
#include <thread>

namespace {

const FileIdentity kSome = {1, 2, 3};

}  // namespace

TEST(RunRecordWords, WhatBecomesOfALeftover) {
  RunOutput part = {"Big.tar", false, kSome}, archive = {"Big.tar.xz", true, kSome},
            unnoted = {"Big.tar.xz", true, {}};
  struct {
    const RunOutput& output;
    FoundOutput found;  // exists, same file, written since
    bool item_there;
    LeftoverFate fate;
  } rows[] = {
      {part, {false, false, false}, true, LeftoverFate::kAbsent},
      {part, {true, true, true}, true, LeftoverFate::kRemove},
      {part, {true, false, true}, true, LeftoverFate::kNotOurs},  // made since, or remounted
      {part, {true, true, true}, false, LeftoverFate::kKeep},     // the only copy
      {archive, {true, true, true}, true, LeftoverFate::kRemove},
      {archive, {true, true, true}, false, LeftoverFate::kKeep},
      {archive, {true, false, true}, true, LeftoverFate::kNotOurs},
      // xz's output before its identity was recorded: never provably the
      // run's (another program may have made it since), kept.
      {unnoted, {true, false, true}, true, LeftoverFate::kNotOurs},
      {unnoted, {true, false, false}, true, LeftoverFate::kNotOurs},
      {unnoted, {true, false, true}, false, LeftoverFate::kKeep},
      {unnoted, {true, false, false}, false, LeftoverFate::kNotOurs},
  };
  for (size_t i = 0; i < sizeof(rows) / sizeof(rows[0]); ++i)
    EXPECT_EQ(rows[i].fate, DecideLeftover(rows[i].output, rows[i].found, rows[i].item_there))
        << "row " << i;
}

TEST(RunRecordWords, ARecordReadsBackAndNothingElseDoes) {
#ifdef _WIN32
  RecordedRun run = {"C:\\Users\\zoë\\a b\nc\\", "Big\r", 1765000000, {}};
#else
  RecordedRun run = {"/home/zoë/a\\b\nc/", "Big\r", 1765000000, {}};
#endif
  run.outputs = {{"Big\r.tar", false, {0xfe00000000, 0xa961b3, 0x18ef4b2b36eadeb1}},
                 {"Big\r.tar.xz", true, {}}};
  std::string text = FormatRecordedRun(run);
  RecordedRun back;
  ASSERT_TRUE(ParseRecordedRun(text, &back));
  EXPECT_EQ(text, FormatRecordedRun(back));
  EXPECT_EQ(run.folder, back.folder);
  EXPECT_EQ("fe00000000:a961b3:18ef4b2b36eadeb1", FormatFileIdentity(back.outputs[0].identity));
  EXPECT_FALSE(back.outputs[1].identity.Known());
  // A record names only the item's own outputs, beside it in an absolute
  // folder: a start removes nothing else, whatever a record says.
  auto changed = [&](const std::function<void(RecordedRun*)>& change) {
    RecordedRun other = run;
    change(&other);
    return FormatRecordedRun(other);
  };
  for (const std::string& bad : {
           changed([](RecordedRun* r) { r->outputs[1].name = "../victim"; }),
           changed([](RecordedRun* r) { r->outputs[1].name = "/home/zoë/.ssh/authorized_keys"; }),
           changed([](RecordedRun* r) { r->outputs[0].name = "Big\r.tar/../../victim"; }),
           changed([](RecordedRun* r) { r->outputs[0].name = "notes.txt"; }),
           changed([](RecordedRun* r) { r->name = ".."; }),
           changed([](RecordedRun* r) { r->name = "a/b"; }),
           changed([](RecordedRun* r) { r->folder = "relative/"; }),
           changed([](RecordedRun* r) { r->folder.pop_back(); }),
           text.substr(0, text.size() - 4),                                   // cut short
           text.substr(0, text.size() - 1),                                   // no last line feed
           std::string(""), std::string("garbage\n"),                         //
           "x" + text,                                                        // another header
           text.substr(0, text.find("output")) + "end\n",                     // no output
           text.substr(0, text.find("archive -")) + "archive zz Big\nend\n",  // a bad identity
       }) {
    RecordedRun parsed;
    EXPECT_FALSE(ParseRecordedRun(bad, &parsed)) << bad;
  }
}

// Records made as a dead run would have left them, and the world after it.
class DeadRun : public ArchiveRun {
 protected:
  std::string RecordFolder() { return state + kSep + "arkiva"; }
  // A record of a run on `name` that wrote `outputs`, each with the
  // identity of the file there now (none for a name that is missing).
  std::string LeaveRecord(const std::string& name, const std::vector<std::string>& outputs,
                          const std::string& text = "") {
    RecordedRun run = {dir.path + kSep, name, 0, {}};
    for (size_t i = 0; i < outputs.size(); ++i)
      run.outputs.push_back(
          {outputs[i], i + 1 == outputs.size(), QueryFileIdentity(dir / outputs[i])});
    MakeDir(state);
    MakeDir(RecordFolder());
    std::string path = RecordFolder() + kSep + "run-" + name + ".record";
    WriteText(path, text.empty() ? FormatRecordedRun(run) : text);
    return path;
  }
  bool RecordIsThere(const std::string& path) { return PathExists(path); }
  // How many records are left in the records' folder.
  size_t RecordsLeft() {
    std::error_code error;
    size_t count = 0;
    for (std::filesystem::directory_iterator it(RecordFolder(), error), end; !error && it != end;
         it.increment(error))
      count += it->is_regular_file();  // (Windows keeps its locks in a folder there)
    return count;
  }
  // All that the last run told the user: Windows, its box; POSIX, its
  // standard error, where the box's text goes without a display.
  std::string Told() {
#ifdef _WIN32
    return message;
#else
    return ReadText(io / "stderr.txt");
#endif
  }
};

// A leftover the start cannot prove the dead run's: the user made
// Big.tar.xz after the crash in the place of the dead run's part (a file
// system reuses the number at once), or the stick holding Big.tar was
// remounted (FAT, exFAT and NTFS-3G give files new numbers). It is kept, and
// the user is told why the run stops at it.
TEST_F(DeadRun, ALeftoverThatCannotBeProvenIsKeptAndTold) {
  MakeDir(dir / "Big");
  WriteText(dir / "Big" + kSep + "f", "f");
  for (const char* left : {"Big.tar.xz", "Big.tar"}) {
    SCOPED_TRACE(left);
    std::string record;
    if (std::string(left) == "Big.tar.xz") {
      WriteText(dir / left, "the dead run's part");
      record = LeaveRecord("Big", {"Big.tar", "Big.tar.xz"});
#ifdef _WIN32
      // NTFS never gives a new file the index of one that has gone; the
      // Linux file system under Wine might: the user's file is made first.
      WriteText(dir / "users", "the user's own");
      std::remove((dir / left).c_str());
      ASSERT_TRUE(MoveFileA((dir / "users").c_str(), (dir / left).c_str()));
#else
      std::remove((dir / left).c_str());
      WriteText(dir / left, "the user's own");
#endif
    } else {
      WriteText(dir / left, "the user's own");
      RecordedRun remounted = {
          dir.path + kSep, "Big", 0, {{left, false, kSome}, {"Big.tar.xz", true, {}}}};
      record = LeaveRecord("Big", {left}, FormatRecordedRun(remounted));
    }
    EXPECT_EQ(1, Arkiva(dir / "Big", kReal));
    EXPECT_EQ("Could not archive \"Big\": \"" + std::string(left) +
                  "\" already exists beside it.\nAn earlier run on \"Big\" was stopped before it "
                  "finished; \"" +
                  left + "\" is kept: it cannot be told apart from a file of yours.",
              message);
    EXPECT_EQ("the user's own", ReadText(dir / left));
    EXPECT_FALSE(RecordIsThere(record));
    std::remove((dir / left).c_str());
  }
}

// xz had removed notes.bin: notes.bin.xz is the only copy, and stays.
TEST_F(DeadRun, TheOnlyCopyIsKeptAndTold) {
  WriteText(dir / "notes.bin.xz", "whole or not, the only copy");
  std::string record = LeaveRecord("notes.bin", {"notes.bin.xz"});
  WriteText(dir / "other", "o");
  EXPECT_EQ(0, Arkiva(dir / "other", kReal));
  EXPECT_EQ("whole or not, the only copy", ReadText(dir / "notes.bin.xz"));
  EXPECT_TRUE(PathExists(dir / "other.xz"));
  EXPECT_FALSE(RecordIsThere(record));
#ifdef _WIN32
  // Told in a box of its own, as the run itself had nothing to say.
  EXPECT_EQ(
      "An earlier run on \"notes.bin\" was stopped before it finished; \"notes.bin.xz\" is kept, "
      "as \"notes.bin\" is gone.",
      message);
#else
  EXPECT_NE(std::string::npos,
            ReadText(io / "stderr.txt")
                .find("Create tar.xz: An earlier run on \"notes.bin\" was stopped before it "
                      "finished; \"notes.bin.xz\" is kept, as \"notes.bin\" is gone."));
#endif
}

// A start removes only what carries the identity a dead run recorded: not
// a file a forged record names outside the item's outputs, not an output
// whose identity the run never recorded (another program's notes.bin.xz,
// written since), which is kept and told. Nor does it read a record larger
// than any run writes.
TEST_F(DeadRun, OnlyWhatTheDeadRunProvablyMadeIsRemoved) {
  WriteText(dir / "victim", "the user's");
  WriteText(dir / "notes.bin", "n");
  WriteText(dir / "notes.bin.xz", "another program's, not a whole .xz file");
  WriteText(dir / "other", "o");
  MakeDir(dir / "sub");
  WriteText(dir / "sub" + kSep + "x", "an item");
  RecordedRun forged = {dir.path + kSep + "sub" + kSep, "x", 0, {}};
  forged.outputs = {{"../victim", false, QueryFileIdentity(dir / "victim")}};
  std::string forged_record = LeaveRecord("forged", {}, FormatRecordedRun(forged));
  RecordedRun big = {dir.path + kSep, "victim", 0, {{"victim.tar", false, {}}}};
  std::string padded = FormatRecordedRun(big);
  padded.insert(padded.find("\nend"), std::string(kMaxRecordBytes, 'x'));
  std::string big_record = LeaveRecord("big", {}, padded);
  RecordedRun notes = {dir.path + kSep, "notes.bin", 0, {{"notes.bin.xz", true, {}}}};
  std::string unnoted = LeaveRecord("notes.bin", {}, FormatRecordedRun(notes));
  EXPECT_EQ(0, Arkiva(dir / "other", kReal));
  EXPECT_EQ("the user's", ReadText(dir / "victim"));
  EXPECT_EQ("another program's, not a whole .xz file", ReadText(dir / "notes.bin.xz"));
  EXPECT_TRUE(RecordIsThere(forged_record));
  EXPECT_TRUE(RecordIsThere(big_record));
  EXPECT_FALSE(RecordIsThere(unnoted));
  std::string told =
      "An earlier run on \"notes.bin\" was stopped before it finished; \"notes.bin.xz\" is kept: "
      "it cannot be told apart from a file of yours.";
#ifdef _WIN32
  EXPECT_EQ(told, message);
#else
  EXPECT_NE(std::string::npos, ReadText(io / "stderr.txt").find(told));
  // Records in a folder another user owns (root running arkiva with a
  // user's HOME) are not read at all.
  if (geteuid() == 0) {
    MakeDir(dir / "Big");
    WriteText(dir / "Big.tar", "provably the dead run's");
    std::string record = LeaveRecord("Big", {"Big.tar", "Big.tar.xz"});
    ASSERT_EQ(0, chown(RecordFolder().c_str(), 65534, 65534));
    EXPECT_EQ(0, Arkiva(dir / "other2", kReal));
    EXPECT_EQ("provably the dead run's", ReadText(dir / "Big.tar"));
    ASSERT_EQ(0, chown(RecordFolder().c_str(), 0, 0));
    EXPECT_EQ(0, Arkiva(dir / "other2", kReal));
    EXPECT_FALSE(PathExists(dir / "Big.tar"));
  }
#endif
}

// A dead run of "Create one tar.xz": its Fotos.tar and the part of
// Fotos.tar.xz go, though no item is named Fotos (the archive is named after
// the folder), as its items stay whatever becomes of the run.
TEST_F(DeadRun, ASelectionsLeftoversGoThoughNoItemHasTheirName) {
  WriteText(dir / "Fotos.tar", "the dead run's tar");
  WriteText(dir / "Fotos.tar.xz", "its part");
  RecordedRun run = {.folder = dir.path + kSep, .name = "Fotos", .started = 0, .selection = true};
  run.outputs = {{"Fotos.tar", false, QueryFileIdentity(dir / "Fotos.tar")},
                 {"Fotos.tar.xz", true, QueryFileIdentity(dir / "Fotos.tar.xz")}};
  std::string record = LeaveRecord("Fotos", {}, FormatRecordedRun(run));
  WriteText(dir / "other", "o");
  EXPECT_EQ(0, Arkiva(dir / "other", kReal));
  EXPECT_FALSE(PathExists(dir / "Fotos.tar"));
  EXPECT_FALSE(PathExists(dir / "Fotos.tar.xz"));
  EXPECT_FALSE(RecordIsThere(record));
  EXPECT_NE(std::string::npos,
            Told().find("An earlier run on \"Fotos\" was stopped before it finished; what it had "
                        "made (\"Fotos.tar\", \"Fotos.tar.xz\") was removed."))
      << Told();
}

// A record whose run still holds its item's lock is a live run's; one that
// cannot be read tells nothing. Neither is touched.
TEST_F(DeadRun, ALiveRunsRecordAndAnUnreadableOneAreLeftAlone) {
  MakeDir(dir / "a");
  WriteText(dir / "a.tar", "a live run's tar");
  WriteText(dir / "b.tar", "b");
  WriteText(dir / "other", "o");
  std::string live = LeaveRecord("a", {"a.tar", "a.tar.xz"});
  std::string cut = LeaveRecord("b", {"b.tar", "b.tar.xz"});
  WriteText(cut, ReadText(cut).substr(0, ReadText(cut).size() - 4));
  {
#ifdef _WIN32
    SetEnvironmentVariableA("LOCALAPPDATA", state.c_str());  // where the runs keep their locks
#endif
    ItemLock held(dir.path + kSep, "a");
    ASSERT_EQ(ItemLock::kHeld, held.Result());
    EXPECT_EQ(0, Arkiva(dir / "other", kReal));
  }
  EXPECT_EQ("a live run's tar", ReadText(dir / "a.tar"));
  EXPECT_EQ("b", ReadText(dir / "b.tar"));
  EXPECT_TRUE(RecordIsThere(live));
  EXPECT_TRUE(RecordIsThere(cut));
  // Once the run has gone, its part goes with the next start.
  WriteText(dir / "other2", "o");
  EXPECT_EQ(0, Arkiva(dir / "other2", kReal));
  EXPECT_FALSE(PathExists(dir / "a.tar"));
  EXPECT_FALSE(RecordIsThere(live));
  EXPECT_TRUE(RecordIsThere(cut));
}

#ifdef _WIN32
#include <tlhelp32.h>

// The tar.exe and xz.exe that `parent` started and that still run.
static std::vector<DWORD> ChildPrograms(unsigned long parent) {
  std::vector<DWORD> children;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  PROCESSENTRY32 entry = {};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
    if (entry.th32ParentProcessID == parent &&
        (_stricmp(entry.szExeFile, "tar.exe") == 0 || _stricmp(entry.szExeFile, "xz.exe") == 0))
      children.push_back(entry.th32ProcessID);
  CloseHandle(snapshot);
  return children;
}

// No tar or xz of the run `arkiva` is left.
static void ExpectNoChildLeft(unsigned long arkiva, const std::string&) {
  Sleep(500);
  EXPECT_EQ(0u, ChildPrograms(arkiva).size());
}
#else
#include <signal.h>

// No process of a run is left working in `folder`, where tar and xz run.
static void ExpectNoChildLeft(unsigned long, const std::string& folder) {
  std::string running;
  EXPECT_EQ(0, RunShell("sleep 0.3; for p in /proc/[0-9]*; do [ \"$(readlink $p/cwd)\" != '" +
                            folder + "' ] || cat $p/cmdline; done",
                        &running));
  EXPECT_EQ("", running);
}
#endif

// How a run ends from outside, as the system ends it: POSIX kill -9 (an
// out-of-memory kill, a power loss), after its children where `with_children`
// (pkill -P); Windows TerminateProcess, arkiva first, then what it started,
// as Task Manager's "End process tree" does (ended first, arkiva could see xz
// end and clear what it made before it is ended itself).
static void EndFromOutside(unsigned long pid, bool with_children) {
#ifdef _WIN32
  std::vector<HANDLE> children;
  for (DWORD child : with_children ? ChildPrograms(pid) : std::vector<DWORD>())
    children.push_back(OpenProcess(PROCESS_TERMINATE, FALSE, child));
  HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, pid);
  TerminateProcess(process, 9);
  CloseHandle(process);
  for (HANDLE child : children) {
    if (!child)
      continue;
    TerminateProcess(child, 0);
    CloseHandle(child);
  }
#else
  std::string children = with_children ? "pkill -KILL -P " + std::to_string(pid) : ":";
  EXPECT_EQ(0, RunShell(children + "; kill -KILL " + std::to_string(pid)));
#endif
}

// A run that dies at each step, alone or with its children. No child
// outlives it (POSIX: each ends itself on its parent's death; Windows: the
// job ends them), and the next start, on the item or on another one,
// clears what the dead run made, says so, and goes on.
TEST_F(DeadRun, ARunKilledAtEachStepIsClearedByTheNextStart) {
  struct {
    const char* awaited;  // the kill comes once this is there, and recorded
    bool with_children, next_on_item;
    const char* told;  // what the dead run had made that the next start removes
  } rows[] = {
#ifndef _WIN32
      {"Big.tar", false, true, "(\"Big.tar\")"},
      {"Big.tar", true, false, "(\"Big.tar\")"},
      {"Big.tar.xz", false, false, "(\"Big.tar\")"},  // xz removed its part on SIGTERM
      {"Big.tar.xz", true, true, "(\"Big.tar\", \"Big.tar.xz\")"},
#else
      // Not during tar: Wine's headless console of a child started with
      // CREATE_NO_WINDOW can outlive an arkiva ended from outside, holding
      // the test's pipe, and the test would hang.
      {"Big.tar.xz", false, false, "(\"Big.tar\", \"Big.tar.xz\")"},
      {"Big.tar.xz", true, true, "(\"Big.tar\", \"Big.tar.xz\")"},
#endif
  };
#ifdef _WIN32
  const int kKilled = 9;  // TerminateProcess's exit code
  std::vector<std::string> env = {};
  MakeDir(dir / "Big");
  WriteText(dir / "Big" + kSep + "noise", Noise(12 << 20, 3));  // xz takes seconds
#else
  const int kKilled = 128 + SIGKILL;
  // A tar that writes its archive slowly: 64 KB every 100 ms.
  MakeDir(dir / "bin");
  WriteText(dir / "bin/tar",
            "#!/bin/sh\nfor i in $(seq 100); do sleep 0.1; head -c 65536 /dev/zero; done\n");
  std::vector<std::string> env = {"PATH=" + dir / "bin:/usr/bin:/bin"};
  MakeDir(dir / "Big");
  WriteText(dir / "Big/noise", Noise(24 << 20, 3));  // xz takes seconds
#endif
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.awaited) + (row.with_children ? " with children" : " alone"));
    WriteText(dir / "other", "other");
    std::string awaited = dir / row.awaited;
    bool tar_step = std::string(row.awaited) == "Big.tar";
#ifndef _WIN32
    chmod((dir / "bin/tar").c_str(), tar_step ? 0755 : 0644);  // only a program when it is run
#endif
    unsigned long arkiva = 0;
    on_start = [&, row, awaited, tar_step](unsigned long pid) {
      arkiva = pid;
      std::thread([=, this] {
        // tar's output is awaited with data; xz writes its one block at its
        // end, and its output is awaited as a name.
        for (int i = 0;
             i < 2000 && (!PathExists(awaited) || (tar_step && ReadText(awaited).empty()) ||
                          !OutputRecorded(row.awaited));
             ++i)
          std::this_thread::sleep_for(std::chrono::milliseconds(10));
        EndFromOutside(pid, row.with_children);
      }).detach();
    };
    EXPECT_EQ(kKilled, Arkiva(dir / "Big", kReal, "", env));
    on_start = nullptr;
    ExpectNoChildLeft(arkiva, dir.path);
    EXPECT_EQ(0, Arkiva(row.next_on_item ? dir / "Big" : dir / "other", kReal));
    std::string told =
        "An earlier run on \"Big\" was stopped before it finished; what it had "
        "made " +
        std::string(row.told) + " was removed.";
    EXPECT_NE(std::string::npos, Told().find(told)) << Told();
    EXPECT_FALSE(PathExists(dir / "Big.tar"));
    if (row.next_on_item)
      ExpectArchiveHolds(dir / "Big.tar.xz", dir / "Big");
    else
      EXPECT_FALSE(PathExists(dir / "Big.tar.xz"));
    std::remove((dir / "Big.tar.xz").c_str());
    std::remove((dir / "other.xz").c_str());
    EXPECT_EQ(0u, RecordsLeft());
  }
}

#ifndef _WIN32
#include <limits.h>
#include <stdlib.h>

// A run on "a" ends while another start is clearing: that start has read
// its record, which holds a.tar.xz, and is held (strace delays its flock on
// the run's lock) until the run has finished, let go and taken its record
// away. What the run made is the user's archive then, never a dead run's
// leftover.
TEST_F(DeadRun, ARunThatEndsWhileAnotherStartClearsKeepsItsArchive) {
  MakeDir(dir / "a");
  WriteText(dir / "a/data.bin", Noise(2 << 20, 5));
  WriteText(dir / "b", "b");
  std::string runtime = io / "runtime";
  MakeDir(runtime);
  chmod(runtime.c_str(), 0700);
  char real[PATH_MAX];
  ASSERT_TRUE(realpath(dir.path.c_str(), real));
  std::string a_lock = runtime + "/arkiva/" + ItemLockName(std::string(real) + "/a");
  std::vector<std::string> env = {"DISPLAY=", "WAYLAND_DISPLAY=", "XDG_RUNTIME_DIR=" + runtime,
                                  "XDG_STATE_HOME=" + state, "PATH=/usr/bin:/bin"};
  int a_code = -1;
  std::thread a_run([&] {
    a_code = RunArgv({BuildPath("arkiva"), dir / "a"}, "", nullptr, env, io / "a.txt");
  });
  for (int i = 0; i < 1000 && !OutputRecorded("a.tar.xz"); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  run_as = {"strace",      "-o",   "/dev/null",
            "-P",          a_lock, "-e",
            "trace=flock", "-e",   "inject=flock:delay_enter=6000000:when=1"};
  // (LeakSanitizer cannot work in a traced process.)
  EXPECT_EQ(0, Arkiva(dir / "b", kReal, "",
                      {"XDG_RUNTIME_DIR=" + runtime, "ASAN_OPTIONS=detect_leaks=0"}));
  a_run.join();
  EXPECT_EQ(0, a_code) << ReadText(io / "a.txt");
  EXPECT_EQ("", message);
  ExpectArchiveHolds(dir / "a.tar.xz", dir / "a");
  EXPECT_TRUE(PathExists(dir / "b.xz"));
}
#endif
