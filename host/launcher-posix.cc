#include "host/launcher.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <mutex>
#include <vector>

#include "host/program_args.h"

extern char** environ;

namespace {

std::mutex g_lock;
ProgramRecord* g_records;  // newest first

// A pipe whose caller's end is close-on-exec and never fd 0, which the
// record keeps as "none".
bool MakePipe(bool child_reads, int* child_end, int* caller_end) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0)
    return false;
  *child_end = child_reads ? fds[0] : fds[1];
  int mine = child_reads ? fds[1] : fds[0];
  if (mine < 3) {
    int moved = fcntl(mine, F_DUPFD_CLOEXEC, 3);
    close(mine);
    mine = moved;
  }
  *caller_end = mine;
  return mine >= 0;
}

void CloseIfOpen(int fd) {
  if (fd > 0)
    close(fd);
}

}  // namespace

void InitLauncher(void*) { g_records = nullptr; }

void ReleaseLauncher() {
  std::lock_guard<std::mutex> lock(g_lock);
  while (ProgramRecord* record = g_records) {
    g_records = record->next;
    for (intptr_t fd : {record->stdin_write, record->stdout_read, record->stderr_read})
      CloseIfOpen(static_cast<int>(fd));
    free(record);
  }
}

ProgramRecord* FirstProgramRecord() { return g_records; }

namespace {

// Starts args[0], found on PATH, with exactly `args`.
intptr_t Spawn(std::vector<std::string> args, const char* directory, uint32_t flags,
               int* exit_code) {
  if (exit_code)
    *exit_code = 0;
  std::vector<char*> argv;
  for (std::string& a : args)
    argv.push_back(&a[0]);
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;
  posix_spawn_file_actions_init(&actions);
  posix_spawnattr_init(&attributes);
  if (directory && *directory)
    posix_spawn_file_actions_addchdir_np(&actions, directory);
  if (flags & LaunchHide) {
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
  }

  int child_in = -1, child_out = -1, child_err = -1;
  int my_in = 0, my_out = 0, my_err = 0;
  if (flags & LaunchOpen) {
    if ((flags & LaunchWrite) && MakePipe(true, &child_in, &my_in))
      posix_spawn_file_actions_adddup2(&actions, child_in, 0);
    if ((flags & LaunchRead) && MakePipe(false, &child_out, &my_out))
      posix_spawn_file_actions_adddup2(&actions, child_out, 1);
    if ((flags & LaunchError) && MakePipe(false, &child_err, &my_err))
      posix_spawn_file_actions_adddup2(&actions, child_err, 2);
  }

  pid_t pid = 0;
  int failed = posix_spawnp(&pid, argv[0], &actions, &attributes, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  for (int fd : {child_in, child_out, child_err})
    if (fd >= 0)
      close(fd);
  if (failed) {
    for (int fd : {my_in, my_out, my_err})
      CloseIfOpen(fd);
    errno = failed;  // the caller's reason
    return 0;
  }

  if (flags & LaunchWait) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (exit_code)
      *exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  if (!(flags & LaunchOpen))
    return 1;
  auto* record = static_cast<ProgramRecord*>(calloc(1, sizeof(ProgramRecord)));
  record->process = pid;
  record->process_id = pid;
  record->stdin_write = my_in;
  record->stdout_read = my_out;
  record->stderr_read = my_err;
  record->flags = flags;
  std::lock_guard<std::mutex> lock(g_lock);
  record->next = g_records;
  if (g_records)
    g_records->previous = record;
  g_records = record;
  return reinterpret_cast<intptr_t>(record);
}

// The program text may carry its own quotes, as on Windows.
std::vector<std::string> ProgramToken(const char* program) {
  std::vector<std::string> tokens = SplitCommandLine(program);
  if (tokens.empty() || tokens[0].empty())
    return {};
  tokens.resize(1);
  return tokens;
}

intptr_t NoProgram(int* exit_code) {
  if (exit_code)
    *exit_code = 0;
  errno = ENOENT;
  return 0;
}

}  // namespace

intptr_t LaunchProgram(const char* program, const char* parameters, const char* directory,
                       uint32_t flags, int* exit_code) {
  std::vector<std::string> args = ProgramToken(program);
  if (args.empty())
    return NoProgram(exit_code);
  for (std::string& token : SplitCommandLine(parameters))
    args.push_back(std::move(token));
  return Spawn(std::move(args), directory, flags, exit_code);
}

intptr_t LaunchWithArguments(const char* program, const CommandArguments& arguments,
                             const char* directory, uint32_t flags, int* exit_code) {
  std::vector<std::string> args = ProgramToken(program);
  if (args.empty())
    return NoProgram(exit_code);
  for (std::string& token : SplitCommandLine(arguments.options.c_str()))
    args.push_back(std::move(token));
  args.insert(args.end(), arguments.operands.begin(), arguments.operands.end());
  return Spawn(std::move(args), directory, flags, exit_code);
}

std::string ReadProgramPipe(intptr_t read_end) {
  std::string data;
  char buffer[4096];
  for (;;) {
    ssize_t got = read(static_cast<int>(read_end), buffer, sizeof(buffer));
    if (got < 0 && errno == EINTR)
      continue;
    if (got <= 0)
      return data;
    data.append(buffer, got);
  }
}

int WaitForProgram(const ProgramRecord* record) {
  int status = 0;
  pid_t pid = static_cast<pid_t>(record->process);
  pid_t ended;
  while ((ended = waitpid(pid, &status, 0)) < 0 && errno == EINTR) {
  }
  if (ended != pid)
    return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

bool AwaitProgram(const ProgramRecord* record, int milliseconds, std::string* error_output) {
  pid_t pid = static_cast<pid_t>(record->process);
  int errors = static_cast<int>(record->stderr_read);
  if (errors <= 0) {
    // Nothing to read: look in short steps without reaping it.
    for (int waited = 0;; waited += 10) {
      siginfo_t info = {};
      if (waitid(P_PID, pid, &info, WEXITED | WNOHANG | WNOWAIT) != 0 || info.si_pid == pid)
        return true;
      if (waited >= milliseconds)
        return false;
      struct timespec step = {0, 10 * 1000 * 1000};
      if (nanosleep(&step, nullptr) != 0)
        return false;
    }
  }
  // The program's end closes its error pipe: the pipe is all there is to wait on.
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    struct pollfd watch = {errors, POLLIN, 0};
    int ready = poll(&watch, 1, left.count() > 0 ? static_cast<int>(left.count()) : 0);
    if (ready <= 0)
      return false;  // time is up, or a signal came
    char buffer[4096];
    ssize_t got = read(errors, buffer, sizeof(buffer));
    if (got == 0)
      return true;
    if (got < 0)
      return errno != EINTR && errno != EAGAIN;
    error_output->append(buffer, got);
  }
}

void StopProgram(const ProgramRecord* record) {
  if (record->process > 0)
    kill(static_cast<pid_t>(record->process), SIGTERM);
}
