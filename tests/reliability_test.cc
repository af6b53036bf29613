// arkiva under load and under faults: nothing is ever lost.
#include <gtest/gtest.h>

#include <algorithm>

#include "registry/registry.h"
#include "tests/arkiva_run.h"
#include "tests/test_util.h"

#ifndef _WIN32
#include <sys/mount.h>
#include <unistd.h>
#include "registry/store.h"
#endif

using ArkivaLoad = ArchiveRun;
using ArkivaFaults = ArchiveRun;

// The shell starts one arkiva per selected item: 16 items, 16 processes.
TEST_F(ArkivaLoad, SixteenFoldersAtOnce) {
  std::string script;
  for (int i = 0; i < 16; ++i) {
    std::string folder = dir / ("item " + std::to_string(i));
    MakeDir(folder);
    WriteText(folder + kSep + "data.txt", std::string(200000 + i, static_cast<char>('a' + i)));
  }
#ifdef _WIN32
  std::string arkiva = BuildPath("arkiva.exe");
  std::vector<std::string> env = {"PATH=" + BuildPath("realbin") + ";C:\\windows\\system32"};
  std::vector<PROCESS_INFORMATION> started;
  for (int i = 0; i < 16; ++i) {
    std::string line = "\"" + arkiva + "\" \"" + dir / ("item " + std::to_string(i)) + "\"";
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    ASSERT_TRUE(CreateProcessA(NULL, &line[0], NULL, NULL, FALSE, DETACHED_PROCESS, NULL, NULL, &si, &pi));
    started.push_back(pi);
  }
  for (PROCESS_INFORMATION& pi : started) {
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 99;
    GetExitCodeProcess(pi.hProcess, &code);
    EXPECT_EQ(0u, code);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
  }
#else
  for (int i = 0; i < 16; ++i)
    script += "PATH=/usr/bin:/bin '" + BuildPath("arkiva") + "' '" + dir / ("item " + std::to_string(i)) +
              "' 2>/dev/null & ";
  ASSERT_EQ(0, RunShell(script + "wait"));
#endif
  for (int i = 0; i < 16; ++i) {
    std::string name = "item " + std::to_string(i);
    EXPECT_FALSE(PathExists(dir / (name + ".tar"))) << name;
    EXPECT_EQ(std::vector<std::string>({name + "/", name + "/data.txt"}), Members(dir / (name + ".tar.xz")));
    std::string out;
    std::string archive = UnixPath(dir / (name + ".tar.xz"));
    ASSERT_EQ(0, RunShell("tar -xOJf '" + archive + "' >'" + archive + ".out' && wc -c <'" +
                          archive + ".out'", &out)) << out;
    EXPECT_EQ(std::to_string(200000 + i) + "\n", out) << name;
  }
}

TEST_F(ArkivaFaults, TarMissingFromPath) {
  MakeDir(dir / "data");
  WriteText(dir / "data" + kSep + "f", "keep");
  EXPECT_EQ(1, Arkiva(dir / "data", kReal, "", {"PATH=" + dir / "empty-bin"}));
  EXPECT_EQ(0u, message.find("Could not archive \"data\": tar could not be started")) << message;
  EXPECT_FALSE(PathExists(dir / "data.tar"));
  EXPECT_FALSE(PathExists(dir / "data.tar.xz"));
  EXPECT_EQ("keep", ReadText(dir / "data" + kSep + "f"));
}

TEST_F(ArkivaFaults, XzMissingLeavesNothingBehind) {
  MakeDir(dir / "data");
  MakeDir(dir / "bin");
  WriteText(dir / "data" + kSep + "f", "keep");
  WriteText(dir / "file", "keep too");
#ifdef _WIN32
  CopyFileA(BuildPath("realbin/tar.exe").c_str(), (dir / "bin\\tar.exe").c_str(), FALSE);
#else
  ASSERT_EQ(0, symlink("/usr/bin/tar", (dir / "bin/tar").c_str()));
#endif
  EXPECT_EQ(1, Arkiva(dir / "data", kReal, "", {"PATH=" + dir / "bin"}));
  EXPECT_EQ(0u, message.find("Could not archive \"data\": xz could not be started")) << message;
  EXPECT_FALSE(PathExists(dir / "data.tar"));
  EXPECT_FALSE(PathExists(dir / "data.tar.xz"));
  EXPECT_EQ("keep", ReadText(dir / "data" + kSep + "f"));
  EXPECT_EQ(1, Arkiva(dir / "file", kReal, "", {"PATH=" + dir / "bin"}));
  EXPECT_EQ(0u, message.find("Could not archive \"file\": xz could not be started")) << message;
  EXPECT_EQ("keep too", ReadText(dir / "file"));
}

// The user chooses the entry twice on a folder big enough that tar and xz
// take seconds: exactly one run goes on and makes a complete archive, the
// other is refused and says so.
TEST_F(ArkivaLoad, TwoRunsOnOneFolder) {
  MakeDir(dir / "big");
  std::string noise = Noise(8 << 20, 99);
  WriteText(dir / "big" + kSep + "noise.bin", noise);
  WriteText(dir / "big" + kSep + "text.txt", std::string(1 << 20, 't'));
  std::vector<int> codes;
  std::string refusal;
#ifdef _WIN32
  std::vector<PROCESS_INFORMATION> started;
  BoxWatch watch("Create tar.xz");
  for (int i = 0; i < 2; ++i) {
    std::string line = "\"" + BuildPath("arkiva.exe") + "\" \"" + dir / "big" + "\"";
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    ASSERT_TRUE(CreateProcessA(NULL, &line[0], NULL, NULL, FALSE, DETACHED_PROCESS, NULL, NULL, &si, &pi));
    watch.AddProcess(pi.dwProcessId);
    started.push_back(pi);
  }
  for (PROCESS_INFORMATION& pi : started) {
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 99;
    GetExitCodeProcess(pi.hProcess, &code);
    codes.push_back(static_cast<int>(code));
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
  }
  refusal = watch.Stop().text;
#else
  std::string script;
  for (int i = 0; i < 2; ++i)
    script += "(DISPLAY= WAYLAND_DISPLAY= PATH=/usr/bin:/bin '" + BuildPath("arkiva") + "' '" + dir / "big" +
              "' 2>'" + io / ("err" + std::to_string(i)) + "'; echo $? >'" + io / ("code" + std::to_string(i)) +
              "') & ";
  ASSERT_EQ(0, RunShell(script + "wait"));
  for (int i = 0; i < 2; ++i) {
    codes.push_back(std::stoi(ReadText(io / ("code" + std::to_string(i)))));
    std::string err = ReadText(io / ("err" + std::to_string(i)));
    if (err.find("arkiva: ") != std::string::npos)
      refusal = err.substr(err.find("arkiva: ") + 8);
  }
#endif
  std::sort(codes.begin(), codes.end());
  EXPECT_EQ(std::vector<int>({0, 1}), codes);
  EXPECT_EQ(0u, refusal.find("Could not archive \"big\": \"big.tar")) << refusal;
  EXPECT_NE(std::string::npos, refusal.find("already exists beside it.")) << refusal;
  EXPECT_FALSE(PathExists(dir / "big.tar"));
  ExpectArchiveHolds(dir / "big.tar.xz", dir / "big");
}

#ifndef _WIN32
TEST_F(ArkivaFaults, TarFailingMidwayIsNeverCompressed) {
  // Root reads any file: run as nobody, for whom one file is unreadable.
  std::string as_user = geteuid() == 0 ? "setpriv --reuid=65534 --regid=65534 --clear-groups " : "";
  MakeDir(dir / "data");
  WriteText(dir / "data/a", "readable");
  WriteText(dir / "data/secret", "unreadable");
  chmod(dir.path.c_str(), 0777);
  chmod((dir / "data/secret").c_str(), 0);
  chmod((dir / "registry.reg").c_str(), 0644);
  std::string out;
  int code = RunShell("DISPLAY= WAYLAND_DISPLAY= ARKIVA_REGISTRY='" + dir / "registry.reg" + "' " + as_user + "'" +
                          BuildPath("arkiva") + "' '" + dir / "data" + "'",
                      &out);
  EXPECT_EQ(1, code) << out;
  EXPECT_FALSE(PathExists(dir / "data.tar.xz"));
  EXPECT_FALSE(PathExists(dir / "data.tar"));
  EXPECT_EQ("readable", ReadText(dir / "data/a"));
  // tar's own words reach the user.
  EXPECT_NE(std::string::npos, out.find("arkiva: Could not archive \"data\": tar failed (exit code 2):\n"))
      << out;
  EXPECT_NE(std::string::npos, out.find("secret")) << out;
}

TEST_F(ArkivaFaults, AFullDiskDeletesNoOriginal) {
  std::string small = dir / "small";
  MakeDir(small);
  if (mount("tmpfs", small.c_str(), "tmpfs", 0, "size=1m") != 0)
    GTEST_SKIP() << "cannot mount a small tmpfs here";
  std::string noise = Noise(700000, 7);
  MakeDir(small + "/data");
  WriteText(small + "/data/noise", noise);
  EXPECT_EQ(1, Arkiva(small + "/data", kReal));
  EXPECT_FALSE(PathExists(small + "/data.tar.xz"));
  EXPECT_TRUE(noise == ReadText(small + "/data/noise"));
  EXPECT_FALSE(PathExists(small + "/data.tar"));
  ASSERT_EQ(0, RunShell("rm -rf '" + small + "/data'"));
  std::string file = noise.substr(0, 600000);
  WriteText(small + "/file", file);
  ASSERT_TRUE(file == ReadText(small + "/file"));
  EXPECT_EQ(1, Arkiva(small + "/file", kReal));  // xz cannot write file.xz
  EXPECT_TRUE(file == ReadText(small + "/file"));
  umount(small.c_str());
}

// Eight first starts against one store: it stays valid and holds every key.
TEST(ArkivaStoreLoad, EightFirstStartsAtOnce) {
  ScratchDir dir;
  std::string store = dir / "registry.reg";
  std::string script;
  for (int i = 0; i < 8; ++i)
    script += "ARKIVA_REGISTRY='" + store + "' HOME='" + dir.path + "' XDG_DATA_HOME= XDG_CONFIG_HOME= "
              "DISPLAY= WAYLAND_DISPLAY= '" + BuildPath("arkiva") +
              "' </dev/null 2>/dev/null & ";
  ASSERT_EQ(0, RunShell(script + "wait"));
  RegistryStore parsed;
  ASSERT_TRUE(ParseRegistryStore(ReadText(store), &parsed));
  std::string command = "\"" + BuildPath("arkiva") + "\" \"%1\"" + std::string(1, '\0');
  for (const char* key : {"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\Directory\\shell\\Create tar.xz\\command",
                          "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\*\\shell\\Create tar.xz\\command"}) {
    RegistryKey* found = FindRegistryKey(&parsed, key);
    ASSERT_NE(nullptr, found) << key;
    ASSERT_EQ(1u, found->values.size());
    EXPECT_EQ(command, found->values[0].data);
  }
  ASSERT_NE(nullptr, FindRegistryKey(&parsed, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\*\\shell\\Create tar.xz"));
}
#endif
