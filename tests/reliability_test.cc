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
    ASSERT_TRUE(
        CreateProcessA(NULL, &line[0], NULL, NULL, FALSE, DETACHED_PROCESS, NULL, NULL, &si, &pi));
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
    script += "PATH=/usr/bin:/bin '" + BuildPath("arkiva") + "' '" +
              dir / ("item " + std::to_string(i)) + "' 2>/dev/null & ";
  ASSERT_EQ(0, RunShell(script + "wait"));
#endif
  for (int i = 0; i < 16; ++i) {
    std::string name = "item " + std::to_string(i);
    EXPECT_FALSE(PathExists(dir / (name + ".tar"))) << name;
    EXPECT_EQ(std::vector<std::string>({name + "/", name + "/data.txt"}),
              Members(dir / (name + ".tar.xz")));
    std::string out;
    std::string archive = UnixPath(dir / (name + ".tar.xz"));
    ASSERT_EQ(0, RunShell("tar -xOJf '" + archive + "' >'" + archive + ".out' && wc -c <'" +
                              archive + ".out'",
                          &out))
        << out;
    EXPECT_EQ(std::to_string(200000 + i) + "\n", out) << name;
  }
}

#ifndef _WIN32
// A selection of 200 folders under a limit of 32 open descriptors: every
// run's pipe is closed again, so every folder is archived and reported on.
TEST_F(ArkivaLoad, TwoHundredFoldersWithFewDescriptors) {
  std::string items;
  for (int i = 0; i < 200; ++i) {
    std::string folder = dir / ("f" + std::to_string(i));
    MakeDir(folder);
    WriteText(folder + "/a", std::to_string(i));
    items += " '" + folder + "'";
  }
  std::string out;
  EXPECT_EQ(0, RunShell("ulimit -n 32 && DISPLAY= WAYLAND_DISPLAY= '" + BuildPath("arkiva") + "'" +
                            items + " 2>&1",
                        &out))
      << out;
  for (int i = 0; i < 200; i += 199)
    EXPECT_EQ(
        std::vector<std::string>({"f" + std::to_string(i) + "/", "f" + std::to_string(i) + "/a"}),
        Members(dir / ("f" + std::to_string(i) + ".tar.xz")));
  ASSERT_EQ(0, RunShell("ls '" + dir.path + "' | grep -c 'tar.xz$'", &out));
  EXPECT_EQ("200\n", out);
}
#endif

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

// The user chooses the entry twice on one item, at the same instant, 0.3 s
// and 1 s apart, while tar and xz take seconds. Nothing is lost: afterwards
// there is one archive that holds the item's bytes, and a run that did not
// make it was refused at once and said why (or found nothing left to do).
class TwoStarts : public ArchiveRun {
 protected:
  // Starts arkiva on `item` twice, `delay_ms` apart, and waits for both.
  void StartTwice(const std::string& item, int delay_ms) {
    codes.clear();
    said.clear();
#ifdef _WIN32
    std::vector<PROCESS_INFORMATION> started;
    BoxWatch watch("Create tar.xz");
    for (int i = 0; i < 2; ++i) {
      if (i)
        Sleep(delay_ms);
      std::string line = "\"" + BuildPath("arkiva.exe") + "\" \"" + item + "\"";
      STARTUPINFOA si = {};
      si.cb = sizeof(si);
      PROCESS_INFORMATION pi = {};
      ASSERT_TRUE(CreateProcessA(NULL, &line[0], NULL, NULL, FALSE, DETACHED_PROCESS, NULL, NULL,
                                 &si, &pi));
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
    const BoxWatch::Seen& seen = watch.Stop();
    if (seen.found)
      said.push_back(seen.text);
#else
    std::string script;
    for (int i = 0; i < 2; ++i)
      script += "(sleep " + std::to_string(i * delay_ms / 1000.0) +
                "; DISPLAY= WAYLAND_DISPLAY= PATH=/usr/bin:/bin '" + BuildPath("arkiva") + "' '" +
                item + "' 2>'" + io / ("err" + std::to_string(i)) + "'; echo $? >'" +
                io / ("code" + std::to_string(i)) + "') & ";
    ASSERT_EQ(0, RunShell(script + "wait"));
    for (int i = 0; i < 2; ++i) {
      codes.push_back(std::stoi(ReadText(io / ("code" + std::to_string(i)))));
      std::string err = ReadText(io / ("err" + std::to_string(i)));
      if (err.find("arkiva: ") != std::string::npos)
        said.push_back(Lines(err.substr(err.find("arkiva: ") + 8)).at(0));
    }
#endif
    std::sort(codes.begin(), codes.end());
  }

  // The one run that did not archive was refused, or (a file already
  // compressed and gone) found nothing to do.
  void ExpectOneRunAndOneRefusal(const std::string& name, const std::string& archive_name) {
    EXPECT_EQ(0, codes.at(0));
    if (codes.at(1) == 0) {
      EXPECT_TRUE(said.empty()) << said.at(0);
      return;
    }
    EXPECT_EQ(1, codes.at(1));
    ASSERT_EQ(1u, said.size());
    std::string start = "Could not archive \"" + name + "\": ";
    EXPECT_TRUE(said[0] == start + "it is being archived already." ||
                said[0] == start + "\"" + archive_name + "\" already exists beside it.")
        << said[0];
  }

  std::vector<int> codes;
  std::vector<std::string> said;
};

TEST_F(TwoStarts, OnOneFile) {
  std::string noise = Noise(6 << 20, 41);
  for (int delay : {0, 300, 1000}) {
    SCOPED_TRACE("starts " + std::to_string(delay) + " ms apart");
    WriteText(dir / "notes.bin", noise);
    StartTwice(dir / "notes.bin", delay);
    ExpectOneRunAndOneRefusal("notes.bin", "notes.bin.xz");
    EXPECT_FALSE(PathExists(dir / "notes.bin"));
    std::string out;
    WriteText(io / "noise", noise);
    ASSERT_EQ(0, RunShell("xz -dc '" + UnixPath(dir / "notes.bin.xz") + "' | cmp - '" +
                              UnixPath(io / "noise") + "'",
                          &out))
        << out;
    std::remove((dir / "notes.bin.xz").c_str());
  }
}

TEST_F(TwoStarts, OnOneFolder) {
  MakeDir(dir / "big");
  WriteText(dir / "big" + kSep + "noise.bin", Noise(6 << 20, 99));
  WriteText(dir / "big" + kSep + "text.txt", std::string(1 << 20, 't'));
  for (int delay : {0, 300, 1000}) {
    SCOPED_TRACE("starts " + std::to_string(delay) + " ms apart");
    StartTwice(dir / "big", delay);
    EXPECT_EQ(1, codes.at(1));
    ExpectOneRunAndOneRefusal("big", "big.tar.xz");
    EXPECT_FALSE(PathExists(dir / "big.tar"));
    ExpectArchiveHolds(dir / "big.tar.xz", dir / "big");
    std::remove((dir / "big.tar.xz").c_str());
  }
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
  int code = RunShell("DISPLAY= WAYLAND_DISPLAY= ARKIVA_REGISTRY='" + dir / "registry.reg" + "' " +
                          as_user + "'" + BuildPath("arkiva") + "' '" + dir / "data" + "'",
                      &out);
  EXPECT_EQ(1, code) << out;
  EXPECT_FALSE(PathExists(dir / "data.tar.xz"));
  EXPECT_FALSE(PathExists(dir / "data.tar"));
  EXPECT_EQ("readable", ReadText(dir / "data/a"));
  // tar's own words reach the user.
  EXPECT_NE(std::string::npos,
            out.find("arkiva: Could not archive \"data\": tar failed (exit code 2):\n"))
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
    script += "ARKIVA_REGISTRY='" + store + "' HOME='" + dir.path +
              "' XDG_DATA_HOME= XDG_CONFIG_HOME= "
              "DISPLAY= WAYLAND_DISPLAY= '" +
              BuildPath("arkiva") + "' </dev/null 2>/dev/null & ";
  ASSERT_EQ(0, RunShell(script + "wait"));
  RegistryStore parsed;
  ASSERT_TRUE(ParseRegistryStore(ReadText(store), &parsed));
  std::string command = "\"" + BuildPath("arkiva") + "\" \"%1\"" + std::string(1, '\0');
  for (const char* key :
       {"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\Directory\\shell\\Create tar.xz\\command",
        "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\*\\shell\\Create tar.xz\\command"}) {
    RegistryKey* found = FindRegistryKey(&parsed, key);
    ASSERT_NE(nullptr, found) << key;
    ASSERT_EQ(1u, found->values.size());
    EXPECT_EQ(command, found->values[0].data);
  }
  ASSERT_NE(
      nullptr,
      FindRegistryKey(&parsed, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\*\\shell\\Create tar.xz"));
}
#endif
