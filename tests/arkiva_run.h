#ifndef ARKIVA_TESTS_ARKIVA_RUN_H_
#define ARKIVA_TESTS_ARKIVA_RUN_H_

#include <stdlib.h>

#include <functional>

#include <gtest/gtest.h>

#include "app/setup/setup.h"
#include "registry/registry.h"
#include "tests/box_watch.h"
#include "tests/test_util.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

#ifdef _WIN32
const char kSeparators[] = "\\/";
#else
const char kSeparators[] = "/";  // a backslash is part of a Linux name
#endif

// Runs arkiva as the shell does, with the item's full path as its argument,
// against the recording double or the real tar and xz.
class ArchiveRun : public ::testing::Test {
 protected:
  enum Programs { kRecording, kReal };

  // Archive mode needs the folder menu key: the tool has been set up.
  void SetUp() override {
#ifndef _WIN32
    setenv("ARKIVA_REGISTRY", (dir / "registry.reg").c_str(), 1);
#endif
    ASSERT_EQ(1, RegistryCreateKey(kFolderMenuKey, "."));
  }

  // Runs arkiva on `item`; what it told the user lands in `message` (the
  // text of its failure box on Windows, pressed OK; its standard error on
  // POSIX, run without a display), empty when it said nothing.
  int Arkiva(const std::string& item, Programs programs, const std::string& cwd = "",
             std::vector<std::string> env = {}) {
    return Arkiva(item.empty() ? std::vector<std::string>{} : std::vector<std::string>{item},
                  programs, cwd, env);
  }

  // Runs arkiva on several items at once, as Linux file managers do.
  int Arkiva(const std::vector<std::string>& items, Programs programs, const std::string& cwd = "",
             std::vector<std::string> env = {}) {
    // The caller's entries come last, so that they win. The runs' records
    // are the test's own.
    env.insert(env.begin(), "ARKIVA_RECORD=" + log);
#ifdef _WIN32
    env.insert(env.begin(), "LOCALAPPDATA=" + state);
#else
    env.insert(env.begin(), "XDG_STATE_HOME=" + state);
#endif
#ifdef _WIN32
    // The arkiva.exe beside the tar.exe and xz.exe it is to run.
    std::string arkiva = BuildPath(programs == kRecording ? "recbin/arkiva.exe" : "arkiva.exe");
    env.insert(env.begin(), "PATH=C:\\windows\\system32;C:\\windows");
    std::string line = "\"" + (program.empty() ? arkiva : program) + "\"";
    for (const std::string& item : items)
      line += " \"" + item + "\"";
    BoxWatch watch(box_title, nullptr, BoxWatch::kAddedProcesses);
    int code = RunCommandLine(line, cwd, nullptr, env, [&](unsigned long pid) {
      watch.AddProcess(pid);
      if (on_start)
        on_start(pid);
    });
    const BoxWatch::Seen& seen = watch.Stop();
    message = seen.found ? seen.text : "";
    error_icon = seen.error_icon;
    per_monitor_dpi = seen.per_monitor_dpi;
    return code;
#else
    if (programs == kRecording)
      MakeRecordingDoubles();
    env.insert(env.begin(),
               "PATH=" + (programs == kRecording ? dir / "bin:" : "") + "/usr/bin:/bin");
    env.insert(env.begin(), run_as_env.begin(), run_as_env.end());
    env.insert(env.begin(), "WAYLAND_DISPLAY=");
    env.insert(env.begin(), "DISPLAY=");
    std::vector<std::string> argv = run_as;
    argv.push_back(BuildPath("arkiva"));
    argv.insert(argv.end(), items.begin(), items.end());
    int code = RunArgv(argv, cwd, nullptr, env, io / "stderr.txt", on_start);
    // arkiva's report comes last, after xz's progress on the same stream.
    std::string err = ReadText(io / "stderr.txt");
    size_t at = err.compare(0, 8, "arkiva: ") == 0 ? 0 : err.find("\narkiva: ");
    message = at == std::string::npos ? "" : err.substr(at == 0 ? 8 : at + 9);
    if (!message.empty() && message.back() == '\n')
      message.pop_back();
    return code;
#endif
  }

#ifndef _WIN32
  // The runs that follow are a user's without root's power over
  // permissions (nobody, when the tests run as root), who may write the
  // test's folders but not what root keeps to itself. False when that
  // cannot be.
  bool RunUnprivileged(int uid = 65534) {
    if (geteuid() != 0)
      return true;
    run_as = {"setpriv", "--reuid=" + std::to_string(uid), "--regid=" + std::to_string(uid),
              "--clear-groups"};
    std::string runtime = io / "runtime";
    MakeDir(state);
    MakeDir(runtime);
    for (const std::string& open : {dir.path, io.path, state})
      chmod(open.c_str(), 0777);
    chmod((dir / "registry.reg").c_str(), 0644);
    run_as_env = {"XDG_RUNTIME_DIR=" + runtime};  // its locks' place
    return chown(runtime.c_str(), uid, uid) == 0 && chmod(runtime.c_str(), 0700) == 0;
  }
  std::vector<std::string> run_as;  // what arkiva's command line begins with
  std::vector<std::string> run_as_env;

  // The recording tar and xz, in dir/bin (Windows: the build's recbin). Each
  // appends a line: program, arguments, folder, session and input, and the
  // XZ_DEFAULTS it got (last field). With ARKIVA_RECORD_WRITE, tar writes
  // "partial" (and ARKIVA_RECORD_GROW blocks, one each 100 ms) into its
  // standard output, where tar cf - writes; xz into the file that names.
  // xz leaves a whole .xz file of its
  // input's bytes (an empty one for none) when it exits 0 (only the first
  // 12 bytes of an empty one with ARKIVA_RECORD_XZ_PARTIAL).
  void MakeRecordingDoubles() {
    MakeDir(dir / "bin");
    for (const char* name : {"tar", "xz"}) {
      WriteText(
          dir / (std::string("bin/") + name),
          "#!/bin/sh\nprintf '%s\\t%s\\t%s\\t%s\\t%s\\n' \"$0\" \"$(printf '[%s]' \"$@\")\" "
          "\"$(pwd -P)\" \"$(ps -o sid= -p $$ | tr -d ' ')=$$ $(readlink /proc/self/fd/0)\" "
          "\"${XZ_DEFAULTS-<unset>}\" >>\"$ARKIVA_RECORD\"\n"
          "write() { printf partial; for i in $(seq ${ARKIVA_RECORD_GROW:-0}); do\n"
          "  sleep 0.1; head -c 65536 /dev/zero; done; }\n"
          "if [ -z \"$ARKIVA_RECORD_WRITE\" ]; then :\n"
          "elif [ \"${0##*/}\" = tar ]; then write\n"
          "else write >\"$ARKIVA_RECORD_WRITE\"; fi\n"
          "[ -z \"$ARKIVA_RECORD_STDERR\" ] || printf '%s\\n' \"$ARKIVA_RECORD_STDERR\" >&2\n"
          "code=${ARKIVA_RECORD_EXIT:-0}\n"
          "for last; do :; done\n"
          "size=32; [ -z \"$ARKIVA_RECORD_XZ_PARTIAL\" ] || size=12\n"
          "if [ \"${0##*/}\" = xz ] && [ \"$code\" = 0 ] && [ $size = 32 ] && [ -s \"$last\" ]; "
          "then\n"
          "  /usr/bin/xz -T1 -c -- \"$last\" >\"$last.xz\"\n"
          "elif [ \"${0##*/}\" = xz ] && [ \"$code\" = 0 ]; then\n"
          "  printf "
          "'\\375\\067\\172\\130\\132\\000\\000\\004\\346\\326\\264\\106\\000\\000\\000\\000"
          "\\034\\337\\104\\041\\037\\266\\363\\175\\001\\000\\000\\000\\000\\004\\131\\132' "
          "| head -c $size >\"$last.xz\"\n"
          "fi\n"
          "exit $code\n");
      chmod((dir / (std::string("bin/") + name)).c_str(), 0755);
    }
  }
#endif

  // Whether a live run's record holds the identity of its output `name`
  // yet: a start after the run dies removes only what its record proves
  // the run's.
  bool OutputRecorded(const std::string& name) {
    std::string records;
    if (RunShell("(cat '" + UnixPath(state) + "'/arkiva/*.record 2>/dev/null || true)", &records) !=
        0)
      return false;
    for (const std::string& line : Lines(records))
      if (line.compare(0, 7, "output ") == 0 && line.size() > name.size() &&
          line.compare(line.size() - name.size() - 1, std::string::npos, " " + name) == 0 &&
          line.find(" - ") == std::string::npos)
        return true;
    return false;
  }

  std::vector<std::vector<std::string>> Records() {
    std::vector<std::vector<std::string>> records;
    for (const std::string& line : Lines(ReadText(log)))
      records.push_back(SplitTabs(line));
    return records;
  }

  // One launch: the program, its argument line as arkiva wrote it, the
  // working folder and whether it was started hidden.
  void ExpectLaunch(const std::vector<std::string>& record, const std::string& program,
                    const std::string& line, const std::vector<std::string>& argv,
                    const std::string& folder, bool hidden) {
    ASSERT_GE(record.size(), 4u);
#ifdef _WIN32
    (void)argv;
    EXPECT_EQ(BuildPath("recbin/" + program + ".exe"), record[0]);
    EXPECT_EQ("\"" + program + "\" " + line, record[1]);
    EXPECT_EQ(folder, record[2]);
    // STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES: tar's error pipe, SW_HIDE and
    // no console window (CREATE_NO_WINDOW); xz's streams in arkiva's console,
    // SW_SHOWNORMAL.
    EXPECT_EQ("257", record[3]);
    EXPECT_EQ(hidden ? "0" : "1", record[4]);
    EXPECT_EQ(hidden ? "0" : "1", record[5]);
#else
    (void)line;
    EXPECT_EQ(dir / ("bin/" + program), record[0]);
    std::string joined;
    for (const std::string& a : argv) {
      joined += "[" + a + "]";
      if (program == "tar" && a == "-")  // GNU tar writes the pax format
        joined += "[--format=posix][--pax-option=delete=atime,delete=ctime,delete=mtime]";
    }
    EXPECT_EQ(joined, record[1]);
    EXPECT_EQ(folder, record[2]);
    // Hidden: a session of its own (no terminal) and no input.
    std::string sid = record[3].substr(0, record[3].find('='));
    std::string pid = record[3].substr(sid.size() + 1, record[3].find(' ') - sid.size() - 1);
    EXPECT_EQ(hidden, sid == pid) << record[3];
    if (hidden) {
      EXPECT_EQ(pid + " /dev/null", record[3].substr(sid.size() + 1));
    }
#endif
  }

  // Sorted member names of an archive, listed by the real tar.
  // The archive's members as GNU tar lists them (a line break as "\\n"),
  // sorted, or in their order.
  std::vector<std::string> Members(const std::string& archive, bool sorted = true) {
    std::string out;
    EXPECT_EQ(0, RunShell("m=$(tar -tJf '" + UnixPath(archive) + "') && printf '%s\\n' \"$m\"" +
                              (sorted ? " | sort" : ""),
                          &out))
        << out;
    return Lines(out);
  }

  // The archive, unpacked by the real (Linux) tar and xz, holds `folder`'s
  // tree byte for byte, under the folder's own name.
  void ExpectArchiveHolds(const std::string& archive, const std::string& folder) {
    ScratchDir out;
    std::string name = folder.substr(folder.find_last_of(kSeparators) + 1);
    std::string diff;
#ifndef _WIN32
    // Any name Linux allows, passed through the environment.
    EXPECT_EQ(
        0, RunArgv({"/bin/sh", "-c", "tar -xJf \"$A\" -C \"$O\" && diff -r \"$O/$N\" \"$F\" 2>&1"},
                   "", &diff, {"A=" + archive, "O=" + out.path, "N=" + name, "F=" + folder}))
        << diff;
    return;
#endif
    EXPECT_EQ(0,
              RunShell("tar -xJf '" + UnixPath(archive) + "' -C '" + UnixPath(out.path) +
                           "' && diff -r '" + UnixPath(out / name) + "' '" + UnixPath(folder) + "'",
                       &diff))
        << diff;
  }

  ScratchDir dir;
  ScratchDir io;  // what the runs print, away from the items
  std::string log = dir / "record.log";
  std::string state = io / "state";             // where the runs' records go
  std::function<void(unsigned long)> on_start;  // learns each run's process id
  std::string message;                          // what the last Arkiva() run told the user
  bool error_icon = false;                      // Windows: its box had the error icon
  bool per_monitor_dpi = false;                 // Windows: its box was drawn for each monitor
  std::string program;  // Windows: the arkiva.exe to run, when not the one beside the programs
  std::string box_title = "Create tar.xz";  // Windows: the title of the box to wait for
};

#ifdef _WIN32
const char kSep[] = "\\";
#else
const char kSep[] = "/";
#endif

#endif  // ARKIVA_TESTS_ARKIVA_RUN_H_
