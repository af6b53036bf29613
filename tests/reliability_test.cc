// arkiva under load and under faults: nothing is ever lost.
#include <gtest/gtest.h>

#include <algorithm>

#include "registry/registry.h"
#include "tests/arkiva_run.h"
#include "tests/test_util.h"

#ifndef _WIN32
#include <signal.h>
#include <sys/mount.h>
#include <unistd.h>

#include <chrono>
#include <thread>

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
  SetEnvironmentVariableA("LOCALAPPDATA", state.c_str());  // the runs' records: the test's
  std::string arkiva = BuildPath("arkiva.exe");
  std::vector<std::string> env = {"PATH=C:\\windows\\system32"};
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
    script += "XDG_STATE_HOME='" + state + "' PATH=/usr/bin:/bin '" + BuildPath("arkiva") + "' '" +
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

#ifndef _WIN32  // Windows: AMissingProgramIsNamedNeverTakenFromElsewhere...
TEST_F(ArkivaFaults, TarMissingFromPath) {
  MakeDir(dir / "data");
  WriteText(dir / "data" + kSep + "f", "keep");
  EXPECT_EQ(1, Arkiva(dir / "data", kReal, "", {"PATH=" + dir / "empty-bin"}));
  EXPECT_EQ(0u, message.find("Could not archive \"data\": tar could not be started")) << message;
  EXPECT_FALSE(PathExists(dir / "data.tar"));
  EXPECT_FALSE(PathExists(dir / "data.tar.xz"));
  EXPECT_EQ("keep", ReadText(dir / "data" + kSep + "f"));
}
#endif

TEST_F(ArkivaFaults, XzMissingLeavesNothingBehind) {
  MakeDir(dir / "data");
  MakeDir(dir / "bin");
  WriteText(dir / "data" + kSep + "f", "keep");
  WriteText(dir / "file", "keep too");
#ifdef _WIN32
  program = dir / "bin\\arkiva.exe";
  CopyFileA(BuildPath("arkiva.exe").c_str(), program.c_str(), FALSE);
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
    SetEnvironmentVariableA("LOCALAPPDATA", state.c_str());  // the runs' records: the test's
    std::vector<PROCESS_INFORMATION> started;
    BoxWatch watch("Create tar.xz", nullptr, BoxWatch::kAddedProcesses);
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
                "; DISPLAY= WAYLAND_DISPLAY= XDG_STATE_HOME='" + state + "' PATH=/usr/bin:/bin '" +
                BuildPath("arkiva") + "' '" + item + "' 2>'" + io / ("err" + std::to_string(i)) +
                "'; echo $? >'" + io / ("code" + std::to_string(i)) + "') & ";
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

// The world around arkiva misbehaves: a program that reports success for a
// file that cannot be trusted, a launcher that hands on an ignored SIGCHLD,
// a second run that wants a name the first writes, a signal to arkiva alone.
class HostileWorld : public ArchiveRun {
 protected:
  void SetUp() override {
    ArchiveRun::SetUp();
    MakeDir(dir / "bin");
  }
  // A stand-in for `name` in dir/bin, before the real programs on PATH.
  void StandIn(const std::string& name, const std::string& body) {
    WriteText(dir / ("bin/" + name), "#!/bin/sh\n" + body);
    chmod((dir / ("bin/" + name)).c_str(), 0755);
  }
  // arkiva on `item`, as `prefix` (a shell's words) starts it; its report
  // lands in `out`.
  int Start(const std::string& item, const std::string& prefix = "") {
    return RunShell(prefix + " env DISPLAY= WAYLAND_DISPLAY= XDG_STATE_HOME='" + state +
                        "' ARKIVA_REGISTRY='" + dir / "registry.reg" + "' PATH='" + dir / "bin" +
                        "':/usr/bin:/bin '" + BuildPath("arkiva") + "' '" + item + "'",
                    &out);
  }
  // A tar that writes its archive slowly: 64 KB every 100 ms, `blocks` times.
  void SlowTar(int blocks) {
    StandIn("tar", "for i in $(seq " + std::to_string(blocks) +
                       "); do sleep 0.1; head -c 65536 /dev/zero; done\n");
  }
  // Waits for `path`, and for data in it from tar, which writes as it goes.
  // xz writes each block once it has compressed it whole, and with a block a
  // thread its output is empty until its end: there the name is enough.
  void AwaitFile(const std::string& path) {
    bool with_data = path.size() < 3 || path.compare(path.size() - 3, 3, ".xz") != 0;
    for (int i = 0; i < 1000 && !(PathExists(path) && (!with_data || !ReadText(path).empty())); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  // No process of the run is left: none names the test's folder.
  void ExpectNothingRunning() {
    std::string running;
    EXPECT_EQ(
        0, RunShell("sleep 0.3; pgrep -af '" + dir.path + "' | grep -v pgrep || true", &running));
    EXPECT_EQ("", running);
  }
  // No process of a run is left working in `folder`, where tar and xz run.
  void ExpectNothingRunningIn(const std::string& folder) {
    std::string running;
    EXPECT_EQ(0, RunShell("sleep 0.3; for p in /proc/[0-9]*; do [ \"$(readlink $p/cwd)\" != '" +
                              folder + "' ] || cat $p/cmdline; done",
                          &running));
    EXPECT_EQ("", running);
  }
  // The runs' records that are left, by name.
  std::string RunRecords() {
    std::string records;
    EXPECT_EQ(0, RunShell("ls '" + state + "/arkiva'", &records));
    return records;
  }
  std::string out;
};

// xz replaced the file, then its output fails the check: it is the only
// copy left, and stays.
TEST_F(HostileWorld, AnOutputInDoubtIsKeptOnceXzRemovedTheInput) {
  StandIn("xz",
          "for last; do :; done\nprintf 'not xz' >\"$last.xz\"\n"
          "[ -z \"$UNREADABLE\" ] || chmod 0 \"$last.xz\"\nrm \"$last\"\n");
  WriteText(dir / "notes.bin", "notes");
  EXPECT_EQ(1, Start(dir / "notes.bin"));
  EXPECT_EQ(
      "arkiva: Could not archive \"notes.bin\": \"notes.bin.xz\" is not a whole .xz file. "
      "It is kept, as xz has removed \"notes.bin\".\n",
      out);
  EXPECT_EQ("not xz", ReadText(dir / "notes.bin.xz"));

  // One that cannot be read back (as root reads anything, run as nobody).
  std::remove((dir / "notes.bin.xz").c_str());
  WriteText(dir / "notes.bin", "notes");
  chmod(dir.path.c_str(), 0777);
  chmod((dir / "notes.bin").c_str(), 0666);
  chmod((dir / "registry.reg").c_str(), 0644);
  std::string as_user = geteuid() == 0 ? "setpriv --reuid=65534 --regid=65534 --clear-groups " : "";
  EXPECT_EQ(1, Start(dir / "notes.bin", "UNREADABLE=1 " + as_user));
  EXPECT_EQ(
      "arkiva: Could not archive \"notes.bin\": \"notes.bin.xz\" could not be read back: "
      "Permission denied. It is kept, as xz has removed \"notes.bin\".\n",
      out);
  EXPECT_TRUE(PathExists(dir / "notes.bin.xz"));
}

// A launcher that ignores SIGCHLD hands that on: waitpid then cannot tell how
// tar ended, and a failed tar must never pass for one that succeeded.
TEST_F(HostileWorld, AFailedTarFailsWhateverSignalsArkivaWasHanded) {
  // Read by the shell's own builtins: a fork of its would show the mask the
  // shell holds while it forks.
  StandIn("tar",
          "while read -r line; do case $line in SigBlk*|SigIgn*) echo \"$line\";; esac\n"
          "done </proc/$$/status >'" +
              io / "signals" + "'\nexit 2\n");
  MakeDir(dir / "data");
  WriteText(dir / "data/a", "a");
  EXPECT_EQ(1, Start(dir / "data", "trap '' CHLD HUP PIPE;"));
  EXPECT_EQ(0u, out.find("arkiva: Could not archive \"data\": tar failed (exit code 2)")) << out;
  EXPECT_FALSE(PathExists(dir / "data.tar"));
  EXPECT_FALSE(PathExists(dir / "data.tar.xz"));
  // tar starts with every signal at its default and none blocked (32 and
  // 33 are the C library's own).
  unsigned long long blocked = 1, ignored = 1;
  ASSERT_EQ(
      2, sscanf(ReadText(io / "signals").c_str(), "SigBlk: %llx SigIgn: %llx", &blocked, &ignored));
  EXPECT_EQ(0u, blocked & 0x7fffffff);
  EXPECT_EQ(0u, ignored & 0x7fffffff);
}

// A launcher that closed arkiva's standard streams: the files arkiva opens
// take none of their numbers, so tar's archive goes into Name.tar, not into
// the /dev/null a child's closed stream is made of.
TEST_F(HostileWorld, ClosedStandardStreamsLoseNothing) {
  MakeDir(dir / "data");
  WriteText(dir / "data/f", "kept");
  EXPECT_EQ(0, RunArgv({"/bin/sh", "-c", "exec 0<&- 1>&- 2>&- \"$@\"", "sh", BuildPath("arkiva"),
                        dir / "data"},
                       "", nullptr,
                       {"DISPLAY=", "WAYLAND_DISPLAY=", "XDG_STATE_HOME=" + state,
                        "ARKIVA_REGISTRY=" + dir / "registry.reg"}));
  ExpectArchiveHolds(dir / "data.tar.xz", dir / "data");
}

// A folder "a" writes "a.tar", which is a file of its own to the user: a run
// on it while the folder's tar writes it is refused, and takes nothing.
TEST_F(HostileWorld, TwoRunsNeverWriteOneName) {
  SlowTar(20);
  MakeDir(dir / "a");
  std::thread folder_run([&] { EXPECT_EQ(0, Start(dir / "a")); });
  AwaitFile(dir / "a.tar");
  std::string said;
  EXPECT_EQ(1, RunShell("DISPLAY= ARKIVA_REGISTRY='" + dir / "registry.reg" + "' '" +
                            BuildPath("arkiva") + "' '" + dir / "a.tar" + "'",
                        &said));
  EXPECT_EQ("arkiva: Could not archive \"a.tar\": it is being archived already.\n", said);
  folder_run.join();
  EXPECT_FALSE(PathExists(dir / "a.tar"));
  EXPECT_EQ(0, RunShell("test \"$(xz -dc '" + dir / "a.tar.xz" + "' | wc -c)\" = 1310720"));
}

// A logout, a closed terminal, kill: arkiva alone gets the signal, stops tar
// or xz itself, removes what the run made, and ends by that signal; the next
// run archives.
TEST_F(HostileWorld, SigtermAndSighupCleanUpLikeCtrlC) {
  MakeDir(dir / "a");
  WriteText(dir / "a/f", "f");
  WriteText(dir / "big.bin", Noise(24 << 20, 5));
  for (int signal : {SIGTERM, SIGHUP}) {
    SCOPED_TRACE(signal);
    for (const char* item : {"a", "big.bin"}) {
      SlowTar(100);
      std::string written = dir / (item + std::string(item[0] == 'a' ? ".tar" : ".xz"));
      on_start = [&](unsigned long pid) {
        std::thread([=, this] {
          AwaitFile(written);
          kill(static_cast<pid_t>(pid), signal);
        }).detach();
      };
      EXPECT_EQ(128 + signal, Arkiva(dir / item, kReal, "", {"PATH=" + dir / "bin:/usr/bin:/bin"}));
      on_start = nullptr;
      ExpectNothingRunning();
      EXPECT_FALSE(PathExists(written)) << item;
      EXPECT_FALSE(PathExists(dir / "a.tar.xz"));
    }
    EXPECT_TRUE(Noise(24 << 20, 5) == ReadText(dir / "big.bin"));
  }
  std::remove((dir / "bin/tar").c_str());
  EXPECT_EQ(0, Arkiva(dir / "a", kReal));
  ExpectArchiveHolds(dir / "a.tar.xz", dir / "a");
}

// A power loss a moment after "Created" must not take the archive: it and
// its folder are synced by arkiva itself before it reports the run.
TEST_F(HostileWorld, TheArchiveIsSyncedBeforeTheRunReportsIt) {
  MakeDir(dir / "a");
  WriteText(dir / "a/f", "f");
  unsigned long arkiva = 0;
  on_start = [&](unsigned long pid) { arkiva = pid; };
  EXPECT_EQ(0, Arkiva(dir / "a", kReal, "",
                      {"LD_PRELOAD=" + BuildPath("tests/libsync_log.so"),
                       "ARKIVA_SYNC_LOG=" + io / "syncs.txt"}));
  on_start = nullptr;
  std::string syncs = ReadText(io / "syncs.txt"), mine = std::to_string(arkiva) + " ";
  size_t archive = syncs.find(mine + dir / "a.tar.xz\n");
  EXPECT_NE(std::string::npos, archive) << syncs;
  EXPECT_NE(std::string::npos, syncs.find(mine + dir.path + "\n", archive)) << syncs;
}

// Killed once xz has removed its input: the output is the only copy, and
// the next start keeps it and says why.
TEST_F(HostileWorld, ARunKilledAfterXzRemovedItsInputKeepsTheOnlyCopy) {
  WriteText(dir / "notes.bin", "notes");
  WriteText(dir / "other", "other");
  StandIn("xz", "for last; do :; done\n/usr/bin/xz -z \"$last\" && exec sleep 60\n");
  on_start = [&](unsigned long pid) {
    std::thread([=, this] {
      for (int i = 0; i < 1000 && PathExists(dir / "notes.bin"); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      EXPECT_EQ(0, RunShell("kill -KILL " + std::to_string(pid)));
    }).detach();
  };
  EXPECT_EQ(128 + SIGKILL,
            Arkiva(dir / "notes.bin", kReal, "", {"PATH=" + dir / "bin:/usr/bin:/bin"}));
  on_start = nullptr;
  ExpectNothingRunningIn(dir.path);
  EXPECT_EQ(0, Arkiva(dir / "other", kReal));
  EXPECT_NE(std::string::npos,
            ReadText(io / "stderr.txt")
                .find("An earlier run on \"notes.bin\" was stopped before it finished; "
                      "\"notes.bin.xz\" is kept, as \"notes.bin\" is gone."))
      << ReadText(io / "stderr.txt");
  std::string out;
  ASSERT_EQ(0, RunShell("xz -dc '" + dir / "notes.bin.xz" + "'", &out));
  EXPECT_EQ("notes", out);
  EXPECT_EQ("", RunRecords());
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
