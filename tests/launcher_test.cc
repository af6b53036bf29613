#include "host/launcher.h"

#include <gtest/gtest.h>

#include "tests/test_util.h"

#ifdef _WIN32
#include <windows.h>

// The recording double (tests/wine/record.c) stands in for tar and xz: PATH
// leads to build/windows/recbin, and each start appends a line to `log`.
class LaunchProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitLauncher(HeapCreate(0, 4096, 0));
    log = dir / "record.log";
    SetEnvironmentVariableA("PATH", (BuildPath("recbin") + ";C:\\windows\\system32").c_str());
    SetEnvironmentVariableA("ARKIVA_RECORD", log.c_str());
  }
  void TearDown() override {
    ReleaseLauncher();
    for (const char* name : {"ARKIVA_RECORD_EXIT", "ARKIVA_RECORD_SLEEP", "ARKIVA_RECORD_ECHO"})
      SetEnvironmentVariableA(name, NULL);
  }
  // program path, command line, folder, dwFlags, wShowWindow, console
  std::vector<std::vector<std::string>> Records() {
    std::vector<std::vector<std::string>> records;
    for (const std::string& line : Lines(ReadText(log)))
      records.push_back(SplitTabs(line));
    return records;
  }
  ScratchDir dir;
  std::string log;
};

TEST_F(LaunchProgramTest, HiddenAndShownStarts) {
  ASSERT_EQ(1, LaunchProgram("tar", "cf \"a b.tar\" \"a b\"", dir.path.c_str(),
                             LaunchWait | LaunchHide));
  ASSERT_EQ(1, LaunchProgram("xz", "-zv \"a b.tar\"", dir.path.c_str(), LaunchWait));
  auto records = Records();
  ASSERT_EQ(2u, records.size());
  EXPECT_EQ(BuildPath("recbin/tar.exe"), records[0][0]);
  EXPECT_EQ("\"tar\" cf \"a b.tar\" \"a b\"", records[0][1]);
  EXPECT_EQ(dir.path, records[0][2]);
  EXPECT_EQ("1", records[0][3]);  // STARTF_USESHOWWINDOW only
  EXPECT_EQ("0", records[0][4]);  // SW_HIDE
  EXPECT_EQ(BuildPath("recbin/xz.exe"), records[1][0]);
  EXPECT_EQ("\"xz\" -zv \"a b.tar\"", records[1][1]);
  EXPECT_EQ("1", records[1][3]);
  EXPECT_EQ("1", records[1][4]);  // SW_SHOWNORMAL
}

TEST_F(LaunchProgramTest, CommandLineQuotingAndFolders) {
  std::string quoted = "\"" + BuildPath("recbin/tar.exe") + "\"";
  ASSERT_EQ(1, LaunchProgram(quoted.c_str(), "x", nullptr, LaunchWait));
  ASSERT_EQ(1, LaunchProgram("tar", "", "", LaunchWait));
  ASSERT_EQ(1, LaunchProgram("tar", nullptr, nullptr, LaunchWait));
  char cwd[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, cwd);
  auto records = Records();
  ASSERT_EQ(3u, records.size());
  EXPECT_EQ(quoted + " x", records[0][1]);  // not quoted again
  EXPECT_EQ("\"tar\"", records[1][1]);      // no trailing blank
  EXPECT_EQ("\"tar\"", records[2][1]);
  EXPECT_EQ(cwd, records[1][2]);             // empty folder: the caller's
}

TEST_F(LaunchProgramTest, WaitsAndReportsTheExitCode) {
  SetEnvironmentVariableA("ARKIVA_RECORD_SLEEP", "400");
  SetEnvironmentVariableA("ARKIVA_RECORD_EXIT", "7");
  int exit_code = -1;
  DWORD start = GetTickCount();
  ASSERT_EQ(1, LaunchProgram("xz", "", "", LaunchWait, &exit_code));
  EXPECT_GE(GetTickCount() - start, 350u);
  EXPECT_EQ(7, exit_code);
}

TEST_F(LaunchProgramTest, RecordWithWaitDescribesAnEndedProgramAndKeepsItsHandle) {
  intptr_t result = LaunchProgram("tar", "", "", LaunchWait | LaunchOpen);
  ASSERT_GT(result, 1);
  auto* record = reinterpret_cast<ProgramRecord*>(result);
  EXPECT_EQ(record, FirstProgramRecord());
  HANDLE process = reinterpret_cast<HANDLE>(record->process);
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(process, 0));
  DWORD code = 99;
  EXPECT_TRUE(GetExitCodeProcess(process, &code));
  EXPECT_EQ(0u, code);
  EXPECT_EQ(GetProcessId(process), static_cast<DWORD>(record->process_id));
  EXPECT_EQ(0, record->stdin_write);
  EXPECT_EQ(0, record->stdout_read);
  EXPECT_EQ(0, record->stderr_read);
  EXPECT_EQ(LaunchWait | LaunchOpen, record->flags);
}

TEST_F(LaunchProgramTest, PipesToAllThreeStreams) {
  SetEnvironmentVariableA("ARKIVA_RECORD_ECHO", "1");
  intptr_t result = LaunchProgram("tar", "", "", LaunchOpen | LaunchRead | LaunchWrite | LaunchError | LaunchHide);
  ASSERT_GT(result, 1);
  auto* record = reinterpret_cast<ProgramRecord*>(result);
  DWORD put, got;
  ASSERT_TRUE(WriteFile(reinterpret_cast<HANDLE>(record->stdin_write), "hello", 5, &put, NULL));
  CloseHandle(reinterpret_cast<HANDLE>(record->stdin_write));
  record->stdin_write = 0;
  std::string streams[2];
  HANDLE ends[2] = {reinterpret_cast<HANDLE>(record->stdout_read),
                    reinterpret_cast<HANDLE>(record->stderr_read)};
  char buf[64];
  for (int i = 0; i < 2; ++i)
    while (ReadFile(ends[i], buf, sizeof(buf), &got, NULL) && got)
      streams[i].append(buf, got);
  EXPECT_EQ("out:hello", streams[0]);
  EXPECT_EQ("err:hello", streams[1]);
  DWORD flags = 99;
  GetHandleInformation(reinterpret_cast<HANDLE>(record->stdout_read), &flags);
  EXPECT_EQ(0u, flags & HANDLE_FLAG_INHERIT);  // the caller's ends stay here
  EXPECT_EQ("257", Records()[0][3]);  // STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW
}

TEST_F(LaunchProgramTest, MissingProgram) {
  EXPECT_EQ(0, LaunchProgram("no-such-program", "x", "", LaunchWait));      // shell fallback finds nothing
  EXPECT_EQ(0, LaunchProgram("no-such-program", "x", "", LaunchRead));      // no pipe, no fallback
  EXPECT_EQ(0, LaunchProgram("no-such-program", "x", "", LaunchOpen | LaunchRead));
  EXPECT_EQ(nullptr, FirstProgramRecord());
}

TEST_F(LaunchProgramTest, ShellFallbackOpensWhatCreateProcessCannot) {
  // A folder: CreateProcessA fails, the shell opens it in a window.
  std::string folder = dir.path;
  intptr_t result = LaunchProgram(folder.c_str(), "", "", LaunchOpen);
  ASSERT_GT(result, 1);
  auto* record = reinterpret_cast<ProgramRecord*>(result);
  EXPECT_EQ(-1, record->process_id);
  if (record->process)
    TerminateProcess(reinterpret_cast<HANDLE>(record->process), 0);
  EXPECT_EQ(0, LaunchProgram(folder.c_str(), "", "", LaunchConnect));  // 64 rules it out
}

TEST_F(LaunchProgramTest, ThePlantedProgramInTheCurrentFolderIsNotRun) {
  std::string planted = dir / "planted";
  MakeDir(planted);
  CopyFileA(BuildPath("recbin/tar.exe").c_str(), (planted + "\\tar.exe").c_str(), FALSE);
  char cwd[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, cwd);
  SetCurrentDirectoryA(planted.c_str());
  SetEnvironmentVariableA("NoDefaultCurrentDirectoryInExePath", NULL);
  LaunchProgram("tar", "", "", LaunchWait);  // control: Windows' default search
  InitLauncher(NULL);
  LaunchProgram("tar", "", "", LaunchWait);
  SetCurrentDirectoryA(cwd);
  auto records = Records();
  ASSERT_EQ(2u, records.size());
  EXPECT_EQ(planted + "\\tar.exe", records[0][0]);
  EXPECT_EQ(BuildPath("recbin/tar.exe"), records[1][0]);
}

#else  // POSIX

#include <unistd.h>

class LaunchProgramTest : public ::testing::Test {
 protected:
  void SetUp() override { InitLauncher(nullptr); }
  void TearDown() override { ReleaseLauncher(); }
  // Runs with LaunchRead and returns what the program wrote.
  std::string Output(const char* program, const char* parameters, const char* folder = "",
                     uint32_t flags = 0) {
    auto* record = reinterpret_cast<ProgramRecord*>(
        LaunchProgram(program, parameters, folder, flags | LaunchOpen | LaunchRead));
    if (!record)
      return "<not started>";
    std::string out;
    char buf[4096];
    for (ssize_t got; (got = read(record->stdout_read, buf, sizeof(buf))) > 0;)
      out.append(buf, got);
    return out;
  }
  ScratchDir dir;
};

TEST_F(LaunchProgramTest, ParametersSplitLikeTheCommandLine) {
  EXPECT_EQ("<a><b c><d\"e><><\\>", Output("printf", "<%s> a \"b c\" d\"e \"\" \\"));
  EXPECT_EQ("<x>", Output("\"printf\"", "<%s> x"));
}

TEST_F(LaunchProgramTest, FolderWaitAndExitCode) {
  EXPECT_EQ(dir.path + "\n", Output("pwd", "", dir.path.c_str()));
  int exit_code = -1;
  EXPECT_EQ(1, LaunchProgram("sh", "-c \"sleep 0.3; echo done >f; exit 7\"", dir.path.c_str(),
                             LaunchWait, &exit_code));
  EXPECT_EQ(7, exit_code);
  EXPECT_EQ("done\n", ReadText(dir / "f"));
}

TEST_F(LaunchProgramTest, HiddenProgramsHaveNoTerminal) {
  std::string out = Output("sh", "-c \"readlink /proc/self/fd/0; ps -o sid= -p $$; echo $$\"", "",
                           LaunchHide);
  std::vector<std::string> lines = Lines(out);
  ASSERT_EQ(3u, lines.size()) << out;
  EXPECT_EQ("/dev/null", lines[0]);
  EXPECT_EQ(std::to_string(std::stoi(lines[1])), lines[2]);  // a session leader
}

TEST_F(LaunchProgramTest, PipesAndRecords) {
  intptr_t result = LaunchProgram(
      "sh", "-c \"read line; echo out:$line; echo err:$line >&2\"", "",
      LaunchOpen | LaunchRead | LaunchWrite | LaunchError | 128);
  ASSERT_GT(result, 1);
  auto* record = reinterpret_cast<ProgramRecord*>(result);
  EXPECT_EQ(record, FirstProgramRecord());
  EXPECT_EQ(LaunchOpen | LaunchRead | LaunchWrite | LaunchError | 128u, record->flags);
  ASSERT_EQ(6, write(record->stdin_write, "hello\n", 6));
  char out[32] = {}, err[32] = {};
  ASSERT_GT(read(record->stdout_read, out, sizeof(out) - 1), 0);
  ASSERT_GT(read(record->stderr_read, err, sizeof(err) - 1), 0);
  EXPECT_STREQ("out:hello\n", out);
  EXPECT_STREQ("err:hello\n", err);
}

TEST_F(LaunchProgramTest, MissingProgramStartsNothing) {
  EXPECT_EQ(0, LaunchProgram("no-such-program", "x", "", LaunchWait));
  EXPECT_EQ(0, LaunchProgram("no-such-program", "x", "", LaunchOpen | LaunchRead));
  EXPECT_EQ(0, LaunchProgram("", "x", "", LaunchWait));
  EXPECT_EQ(0, LaunchProgram("true", "", (dir / "missing").c_str(), LaunchWait));
  EXPECT_EQ(nullptr, FirstProgramRecord());
}

#endif
