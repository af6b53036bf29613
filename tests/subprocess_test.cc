#include "host/process/subprocess.h"

#include <gtest/gtest.h>

#include "tests/test_util.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dirent.h>
#include <signal.h>
#include <stdlib.h>
#endif

namespace {

// A child that says `words` on its standard error and exits with `code`:
// the recording double on Windows (tests/wine/record.c), sh natively. It
// logs the XZ_DEFAULTS it got to `log` (Windows) or says it too (POSIX).
#ifdef _WIN32
// The recording double; a name without a folder is looked for beside
// arkiva.exe only, and this is not arkiva.exe.
std::string RecordingTar() {
  return BuildPath("recbin/tar.exe");
}
#endif

// A hidden child in `folder` that says `words` (and its XZ_DEFAULTS) and ends with `code`.
ChildProgram Talking(const std::string& words, int code, const std::string& log,
                     const std::string& folder) {
#ifdef _WIN32
  return {.program = RecordingTar(),
          .folder = folder,
          .environment = {"ARKIVA_RECORD=" + log, "ARKIVA_RECORD_STDERR=" + words,
                          "ARKIVA_RECORD_EXIT=" + std::to_string(code)}};
#else
  (void)log;
  return {.program = "sh",
          .arguments = {"-c",
                        {"echo \"" + words + "\" \"${XZ_DEFAULTS-<unset>}\" >&2; exit " +
                         std::to_string(code)}},
          .folder = folder};
#endif
}

// What the process holds: descriptors (POSIX) or handles (Windows).
int OpenHandles() {
#ifdef _WIN32
  DWORD count = 0;
  GetProcessHandleCount(GetCurrentProcess(), &count);
  return static_cast<int>(count);
#else
  int count = 0;
  DIR* fds = opendir("/proc/self/fd");
  while (readdir(fds))
    ++count;
  closedir(fds);
  return count;
#endif
}

class SubprocessTest : public ::testing::Test {
 protected:
  void SetUp() override { InitSubprocesses(); }
  ScratchDir dir;
  std::string log = dir / "record.log";
};

}  // namespace

TEST_F(SubprocessTest, ReadsTheErrorOutputAndTheExitCodeOfAHiddenChild) {
  ChildProgram talker = Talking("it went wrong", 3, log, dir.path);
  Subprocess child(talker);
  ASSERT_TRUE(child.Started());
  SubprocessEnd end = child.Finish();
  EXPECT_EQ(SubprocessEnd::kExited, end.outcome);
  EXPECT_EQ(3, end.exit_code);
  EXPECT_EQ(0u, child.ErrorOutput().find("it went wrong")) << child.ErrorOutput();

  Subprocess missing({.program = "no-such-program-anywhere", .folder = dir.path});
  EXPECT_FALSE(missing.Started());
  EXPECT_NE(0u, missing.StartError());
}

// Each child gets its own additions; arkiva's environment stays as it was.
// An addition takes the place of arkiva's own value (on Windows, of the
// name in any case).
TEST_F(SubprocessTest, AChildsEnvironmentIsItsOwn) {
  ChildProgram talker = Talking("said", 0, log, dir.path);
  talker.environment.push_back("XZ_DEFAULTS=-T1");
  Subprocess first(talker);
  first.Finish();
  ChildProgram plain = Talking("said", 0, log, dir.path);
  Subprocess second(plain);
  second.Finish();
#ifdef _WIN32
  SetEnvironmentVariableA("xz_defaults", "-T2");
#else
  setenv("XZ_DEFAULTS", "-T2", 1);
#endif
  Subprocess third(talker);
  third.Finish();
#ifdef _WIN32
  SetEnvironmentVariableA("xz_defaults", NULL);
  std::vector<std::string> lines = Lines(ReadText(log));
  ASSERT_EQ(3u, lines.size());
  EXPECT_EQ("-T1", SplitTabs(lines[0]).back());
  EXPECT_EQ("<unset>", SplitTabs(lines[1]).back());
  EXPECT_EQ("-T1", SplitTabs(lines[2]).back());
#else
  unsetenv("XZ_DEFAULTS");
  EXPECT_EQ("said -T1\n", first.ErrorOutput());
  EXPECT_EQ("said <unset>\n", second.ErrorOutput());
  EXPECT_EQ("said -T1\n", third.ErrorOutput());
#endif
}

// A child that is stopped, or forgotten while it runs, is ended and reaped,
// and nothing of any child stays open.
TEST_F(SubprocessTest, ReleasesEverythingItHeld) {
  int before = OpenHandles();
  for (int i = 0; i < 20; ++i) {
    ChildProgram talker = Talking("x", 1, log, dir.path);
    Subprocess child(talker);
    child.Finish();
  }
  // The forgotten child writes its process id into `pid`.
  std::string pid = dir.path + "/pid";
#ifdef _WIN32
  ChildEnvironment telling = {"ARKIVA_RECORD_SLEEP=60000", "ARKIVA_RECORD_PID=" + pid};
#endif
  {
#ifdef _WIN32
    Subprocess stopped({.program = RecordingTar(),
                        .folder = dir.path,
                        .environment = {"ARKIVA_RECORD_SLEEP=60000"}});
#else
    Subprocess stopped({.program = "sleep", .arguments = {"60", {}}, .folder = dir.path});
#endif
    ASSERT_TRUE(stopped.Started());
    EXPECT_FALSE(stopped.Await(100));
    stopped.Stop();
    EXPECT_TRUE(stopped.Await(10000));
#ifdef _WIN32
    Subprocess forgotten({.program = RecordingTar(), .folder = dir.path, .environment = telling});
#else
    Subprocess forgotten({.program = "sh",
                          .arguments = {"-c", {"echo $$ > \"$0\"; exec sleep 60", pid}},
                          .folder = dir.path});
#endif
    for (int i = 0; i < 100 && ReadText(pid).empty(); ++i)
      forgotten.Await(50);
  }
  unsigned long forgotten_id = std::stoul("0" + ReadText(pid));
  ASSERT_NE(0u, forgotten_id);
#ifdef _WIN32
  HANDLE gone = OpenProcess(SYNCHRONIZE, FALSE, forgotten_id);
  EXPECT_TRUE(!gone || WaitForSingleObject(gone, 0) == WAIT_OBJECT_0);
  if (gone)
    CloseHandle(gone);
#else
  EXPECT_NE(0, kill(static_cast<pid_t>(forgotten_id), 0));  // reaped: no such process
#endif
  EXPECT_EQ(before, OpenHandles());
}

TEST(ProgramFolders, OnlyAbsoluteEntriesInTheirOrder) {
  struct {
    const char* path;
    bool posix;
    std::vector<std::string> folders;
  } rows[] = {
      {"/usr/local/bin:/usr/bin:/bin", true, {"/usr/local/bin", "/usr/bin", "/bin"}},
      {":/usr/bin::.:bin:./x:/bin:", true, {"/usr/bin", "/bin"}},
      {"", true, {}},
      {"C:\\Windows\\system32;;.;bin;\\\\server\\tools;D:/x;E:rel",
       false,
       {"C:\\Windows\\system32", "\\\\server\\tools", "D:/x"}},
  };
  for (const auto& row : rows)
    EXPECT_EQ(row.folders, ProgramFolders(row.path, row.posix)) << row.path;
}
