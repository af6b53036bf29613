#ifndef ARKIVA_TESTS_TEST_UTIL_H_
#define ARKIVA_TESTS_TEST_UTIL_H_

#include <stddef.h>
#include <stdint.h>

#include <functional>
#include <string>
#include <vector>

// Scratch folders and files for tests, and a way to run a program the way a
// user's shell would. Paths are in the platform's own form (Z:\... under Wine).

// A build-folder path, `relative` written with forward slashes.
std::string BuildPath(const std::string& relative);

// A fresh empty folder under /tmp, removed by the destructor.
struct ScratchDir {
  ScratchDir();
  ~ScratchDir();
  std::string operator/(const std::string& name) const;
  std::string path;
};

void WriteText(const std::string& path, const std::string& data);
std::string ReadText(const std::string& path);
bool PathExists(const std::string& path);
void MakeDir(const std::string& path);

// `size` bytes that xz cannot compress, the same for the same `seed`.
std::string Noise(size_t size, uint32_t seed);

// Splits text into lines, dropping a trailing CR from each.
std::vector<std::string> Lines(const std::string& text);
std::vector<std::string> SplitTabs(const std::string& line);

// Runs a program and waits for it; its standard output lands in *out.
// Windows takes the exact command line; POSIX the argument vector.
// `env` entries NAME=VALUE are added to (or replace in) the caller's
// environment for the child only. Returns the exit code, or -1.
#ifdef _WIN32
// `started`, when given, learns the process id before the wait.
int RunCommandLine(const std::string& line, const std::string& cwd, std::string* out,
                   const std::vector<std::string>& env = {},
                   const std::function<void(unsigned long)>& started = nullptr);
#else
// With `stderr_file`, the child's standard error goes to that file. The child
// leads a process group of its own, as a shell's job does; `started` learns
// its process id. A child ended by a signal gives 128 + the signal.
int RunArgv(const std::vector<std::string>& argv, const std::string& cwd, std::string* out,
            const std::vector<std::string>& env = {}, const std::string& stderr_file = "",
            const std::function<void(unsigned long)>& started = nullptr);
#endif

// Ends, from outside, the program named `name` (without ".exe") that the
// process `parent` started: Windows TerminateProcess(h, 0), as taskkill /f
// does; POSIX SIGKILL. True when one was ended.
bool EndChildProgram(unsigned long parent, const std::string& name);

// The Unix form of a path (Z:\tmp\x -> /tmp/x under Wine; unchanged natively).
std::string UnixPath(const std::string& path);

// Windows: the user's display language, as Wine takes it from LANG: "de",
// "ja", "en".
std::string DisplayLanguage();

// A registry value read back past the code under test, as "type:bytes"
// (Windows: RegQueryValueExA; POSIX: the store's own reader), or "missing".
std::string RegistryValueText(const std::string& key_path, const char* name);

// Runs a host shell command line (POSIX: /bin/sh -c; Windows: through Wine's
// Unix shell) and returns its exit code, which every caller checks: a rig
// that failed must never read as an empty result.
[[nodiscard]] int RunShell(const std::string& command, std::string* out = nullptr);

#endif  // ARKIVA_TESTS_TEST_UTIL_H_
