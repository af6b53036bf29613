#include "tests/test_util.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "registry/registry.h"

#ifdef _WIN32
#include <windows.h>
#include <tlhelp32.h>
#else
#include "registry/store.h"
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

std::string HostPath(std::string unix_path) {
#ifdef _WIN32
  for (char& c : unix_path)
    if (c == '/')
      c = '\\';
  return "Z:" + unix_path;
#else
  return unix_path;
#endif
}

}  // namespace

std::string UnixPath(const std::string& path) {
#ifdef _WIN32
  std::string unix_path = path.substr(path.compare(0, 2, "Z:") == 0 ? 2 : 0);
  for (char& c : unix_path)
    if (c == '\\')
      c = '/';
  return unix_path;
#else
  return path;
#endif
}

std::string BuildPath(const std::string& relative) {
  return HostPath(std::string(ARKIVA_BUILD_DIR) + "/" + relative);
}

ScratchDir::ScratchDir() {
  static int counter = 0;
#ifdef _WIN32
  unsigned long pid = GetCurrentProcessId();
#else
  unsigned long pid = getpid();
#endif
  // A folder nobody else has: process ids repeat across Wine prefixes.
  std::error_code error;
  do {
    path = HostPath("/tmp/arkiva-test-" + std::to_string(pid) + "-" + std::to_string(++counter));
  } while (!fs::create_directory(path, error) && !error);
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  fs::permissions(path, fs::perms::owner_all, fs::perm_options::add, ignored);
  fs::remove_all(path, ignored);
}

std::string ScratchDir::operator/(const std::string& name) const {
#ifdef _WIN32
  return path + "\\" + name;
#else
  return path + "/" + name;
#endif
}

#ifdef _WIN32
// The A functions, so that names travel in the UTF-8 code page of the
// manifest (std::filesystem and the C runtime would use another one).
void WriteText(const std::string& path, const std::string& data) {
  HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
  DWORD put;
  WriteFile(f, data.data(), static_cast<DWORD>(data.size()), &put, NULL);
  CloseHandle(f);
}

std::string ReadText(const std::string& path) {
  HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
  std::string text;
  char buf[65536];
  DWORD got;
  while (f != INVALID_HANDLE_VALUE && ReadFile(f, buf, sizeof(buf), &got, NULL) && got)
    text.append(buf, got);
  if (f != INVALID_HANDLE_VALUE)
    CloseHandle(f);
  return text;
}

bool PathExists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void MakeDir(const std::string& path) {
  size_t slash = path.find_last_of("\\/");
  if (slash != std::string::npos && slash > 2 && !PathExists(path.substr(0, slash)))
    MakeDir(path.substr(0, slash));
  CreateDirectoryA(path.c_str(), NULL);
}
#else
void WriteText(const std::string& path, const std::string& data) {
  std::ofstream(path, std::ios::binary) << data;
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

bool PathExists(const std::string& path) {
  std::error_code ignored;
  return fs::exists(path, ignored);
}

void MakeDir(const std::string& path) {
  fs::create_directories(path);
}
#endif

std::string Noise(size_t size, uint32_t seed) {
  std::string noise(size, '\0');
  for (char& c : noise)
    c = static_cast<char>((seed = seed * 1664525u + 1013904223u) >> 24);
  return noise;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r')
      line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> fields;
  size_t start = 0;
  for (size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
    fields.push_back(line.substr(start, tab - start));
  fields.push_back(line.substr(start));
  return fields;
}

#ifdef _WIN32

namespace {

// The caller's environment block with `extra` entries added or replaced.
std::string EnvironmentBlock(const std::vector<std::string>& extra) {
  std::vector<std::string> entries;
  char* block = GetEnvironmentStringsA();
  for (char* p = block; *p; p += strlen(p) + 1)
    entries.push_back(p);
  FreeEnvironmentStringsA(block);
  for (const std::string& e : extra) {
    std::string key = e.substr(0, e.find('=') + 1);
    for (auto it = entries.begin(); it != entries.end();)
      it = _strnicmp(it->c_str(), key.c_str(), key.size()) == 0 ? entries.erase(it) : it + 1;
    entries.push_back(e);
  }
  std::string out;
  for (const std::string& e : entries)
    out += e + '\0';
  return out + '\0';
}

}  // namespace

int RunCommandLine(const std::string& line, const std::string& cwd, std::string* out,
                   const std::vector<std::string>& env,
                   const std::function<void(unsigned long)>& started) {
  SECURITY_ATTRIBUTES sa = {sizeof(sa), NULL, TRUE};
  HANDLE read_end = NULL, write_end = NULL;
  if (!CreatePipe(&read_end, &write_end, &sa, 0))
    return -1;
  SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOA si = {};
  si.cb = sizeof(si);
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  si.hStdOutput = write_end;
  si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION pi = {};
  std::string mutable_line = line;
  std::string block = env.empty() ? std::string() : EnvironmentBlock(env);
  // Detached, as the shell starts programs: no console to inherit.
  BOOL ok =
      CreateProcessA(NULL, &mutable_line[0], NULL, NULL, TRUE, DETACHED_PROCESS,
                     env.empty() ? NULL : &block[0], cwd.empty() ? NULL : cwd.c_str(), &si, &pi);
  CloseHandle(write_end);
  if (ok && started)
    started(pi.dwProcessId);
  std::string captured;
  if (ok) {
    char buf[4096];
    DWORD got;
    while (ReadFile(read_end, buf, sizeof(buf), &got, NULL) && got)
      captured.append(buf, got);
  }
  CloseHandle(read_end);
  if (!ok)
    return -1;
  WaitForSingleObject(pi.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
  if (out)
    *out = captured;
  return static_cast<int>(code);
}

int RunShell(const std::string& command, std::string* out) {
  // Wine gives no process handle for a Unix program, so the shell runs
  // through the rig's waiting shim (shbin/sh.exe runs /usr/bin/sh).
  // A capture file of our own (process ids repeat across Wine prefixes).
  static int counter = 0;
  std::string capture;
  for (int tries = 0;; ++tries) {
    if (tries == 1000)
      return -1;
    capture = "/tmp/arkiva-shell-" + std::to_string(GetCurrentProcessId()) + "-" +
              std::to_string(GetTickCount()) + "-" + std::to_string(++counter);
    HANDLE f = CreateFileA(HostPath(capture).c_str(), GENERIC_WRITE, 0, NULL, CREATE_NEW, 0, NULL);
    if (f != INVALID_HANDLE_VALUE) {
      CloseHandle(f);
      break;
    }
  }
  std::string script = command + " >" + capture + " 2>&1";
  std::string quoted;
  for (char c : script)
    quoted += c == '"' ? std::string("\\\"") : std::string(1, c);
  std::string line = "\"" + BuildPath("shbin/sh.exe") + "\" -c \"" + quoted + "\"";
  int code = RunCommandLine(line, "", nullptr);
  if (out)
    *out = ReadText(HostPath(capture));
  DeleteFileA(HostPath(capture).c_str());
  return code;
}

#else

int RunArgv(const std::vector<std::string>& argv, const std::string& cwd, std::string* out,
            const std::vector<std::string>& env, const std::string& stderr_file,
            const std::function<void(unsigned long)>& started) {
  int fds[2];
  if (pipe(fds) != 0)
    return -1;
  pid_t pid = fork();
  if (pid == 0) {
    setpgid(0, 0);
    dup2(fds[1], 1);
    if (!stderr_file.empty()) {
      int err = open(stderr_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (err < 0 || dup2(err, 2) < 0)
        _exit(126);
      close(err);
    }
    close(fds[0]);
    close(fds[1]);
    if (!cwd.empty() && chdir(cwd.c_str()) != 0)
      _exit(126);
    for (const std::string& e : env)
      putenv(strdup(e.c_str()));
    std::vector<char*> args;
    for (const std::string& a : argv)
      args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
  }
  close(fds[1]);
  if (pid > 0) {
    setpgid(pid, pid);  // also here, so that it holds before `started` runs
    if (started)
      started(static_cast<unsigned long>(pid));
  }
  std::string captured;
  char buf[4096];
  for (ssize_t got; (got = read(fds[0], buf, sizeof(buf))) > 0;)
    captured.append(buf, got);
  close(fds[0]);
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid)
    return -1;
  if (out)
    *out = captured;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

int RunShell(const std::string& command, std::string* out) {
  return RunArgv({"/bin/sh", "-c", command + " 2>&1"}, "", out);
}

#endif

#ifdef _WIN32
bool EndChildProgram(unsigned long parent, const std::string& name) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  PROCESSENTRY32 entry = {};
  entry.dwSize = sizeof(entry);
  bool ended = false;
  for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
    if (entry.th32ParentProcessID != parent ||
        _stricmp(entry.szExeFile, (name + ".exe").c_str()) != 0)
      continue;
    HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, entry.th32ProcessID);
    ended = process && TerminateProcess(process, 0);
    if (process)
      CloseHandle(process);
  }
  CloseHandle(snapshot);
  return ended;
}
#else
bool EndChildProgram(unsigned long parent, const std::string& name) {
  std::string out;
  if (RunArgv({"pgrep", "-P", std::to_string(parent), "-x", name}, "", &out) != 0)
    return false;
  return kill(static_cast<pid_t>(std::stoul(out)), SIGKILL) == 0;
}
#endif

std::string RegistryValueText(const std::string& key_path, const char* name) {
#ifdef _WIN32
  ParseRegistryKeyPath(key_path.c_str());
  HKEY handle;
  if (RegOpenKeyA(reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(RegistryRoot)),
                  RegistrySubKey.c_str(), &handle) != ERROR_SUCCESS)
    return "missing";
  char data[1024];
  DWORD type = 0, size = sizeof(data);
  LONG status = RegQueryValueExA(handle, name, NULL, &type, reinterpret_cast<BYTE*>(data), &size);
  RegCloseKey(handle);
  return status ? "missing" : std::to_string(type) + ":" + std::string(data, size);
#else
  uint32_t type;
  std::string data;
  if (!QueryRegistryValue(key_path.c_str(), name, &type, &data))
    return "missing";
  return std::to_string(type) + ":" + data;
#endif
}

#ifdef _WIN32
std::string DisplayLanguage() {
  wchar_t name[LOCALE_NAME_MAX_LENGTH];
  if (!LCIDToLocaleName(MAKELCID(GetUserDefaultUILanguage(), SORT_DEFAULT), name,
                        LOCALE_NAME_MAX_LENGTH, 0))
    return "";
  std::wstring language = name;
  return std::string(language.begin(), language.begin() + language.find(L'-'));
}
#endif
