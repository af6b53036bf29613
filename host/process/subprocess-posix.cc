#include "host/process/subprocess.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <sys/socket.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

#include "host/process/environment.h"
#include "host/process/program_args.h"

extern char** environ;

namespace {

// This process's environment with `overrides` put in.
std::vector<std::string> ChildEnvironmentEntries(const ChildEnvironment& overrides) {
  std::vector<std::string> current;
  for (char** entry = environ; entry && *entry; ++entry)
    current.push_back(*entry);
  return MergeEnvironment(current, overrides,
                          [](const std::string& a, const std::string& b) { return a == b; });
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (std::string& text : texts)
    pointers.push_back(&text[0]);
  pointers.push_back(nullptr);
  return pointers;
}

// All that the child needs between fork and exec, made before the fork.
struct ForkedChild {
  char* const* argv;
  char* const* envp;
  const std::vector<std::string>& candidates;  // the program's files, in order
  const std::string& folder;                   // "": stays in this one
  bool hidden;          // no terminal: /dev/null for input, a session of its own
  int errors_write;     // its standard error
  int input_read = -1;  // its standard input; -1: /dev/null when hidden, else the inherited one
  int output = -1;      // its standard output; -1: the inherited one
  int report;           // where a failed start writes its errno; closed on exec
  pid_t parent;         // this process: the child ends with it
};

// What the child does between fork and exec, with only async-signal-safe
// calls, as posix_spawn would; a step that fails writes its errno to
// `report` and ends the child.
[[noreturn]] void StartChild(const ForkedChild& child) {
  // The child ends with arkiva, however arkiva ends (kill -9, an
  // out-of-memory kill, a crashed session): SIGTERM, on which xz removes the
  // part it wrote. An arkiva that died before this line is caught by the
  // check after it.
#ifdef __linux__
  if (prctl(PR_SET_PDEATHSIG, SIGTERM) != 0 || getppid() != child.parent)
    _exit(127);
#else
  (void)child.parent;
#endif
  // Every signal at its default and none blocked, whatever arkiva itself
  // was handed or has set up (as ninja starts its commands): a tar that
  // inherited an ignored SIGPIPE or SIGINT would behave as it was never meant to.
  for (int signal_number = 1; signal_number < NSIG; ++signal_number)
    if (signal_number != SIGKILL && signal_number != SIGSTOP)
      signal(signal_number, SIG_DFL);
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  bool ok = child.folder.empty() || chdir(child.folder.c_str()) == 0;
  if (ok && child.hidden) {
    int null = open("/dev/null", O_RDONLY);
    ok = null >= 0 && dup2(null, 0) == 0 && setsid() >= 0;
    if (null > 0)
      close(null);
  }
  ok = ok && (child.input_read < 0 || dup2(child.input_read, 0) == 0) &&
       (child.output < 0 || dup2(child.output, 1) == 1) && dup2(child.errors_write, 2) == 2;
  // A file that is no program is an error (ENOEXEC), never a script for
  // the shell; one that cannot be run is one when no later one can.
  int error = ok ? ENOENT : errno, denied = 0;
  for (size_t i = 0; ok && i < child.candidates.size(); ++i) {
    execve(child.candidates[i].c_str(), child.argv, child.envp);
    error = errno;
    if (error == EACCES)
      denied = error;
    else if (error != ENOENT && error != ENOTDIR)
      break;
  }
  if (ok && (error == ENOENT || error == ENOTDIR) && denied)
    error = denied;
  ssize_t written = write(child.report, &error, sizeof(error));
  (void)written;
  _exit(127);
}

}  // namespace

void InitSubprocesses() {
  // Standard streams a launcher closed are opened on /dev/null, each taking
  // its own number (the lowest free one): else a file arkiva opens later
  // (the claimed Name.tar) would take one, and a child's stream made anew
  // there would take its place (tar would write the archive to /dev/null).
  for (int fd = 0; fd <= 2; ++fd)
    if (fcntl(fd, F_GETFD) < 0 && errno == EBADF && open("/dev/null", fd ? O_WRONLY : O_RDONLY) < 0)
      break;
  // A child's end is learned from waitpid, which a SIGCHLD that a launcher
  // left ignored takes away (the system reaps the child at once).
  signal(SIGCHLD, SIG_DFL);
  sigset_t child;
  sigemptyset(&child);
  sigaddset(&child, SIGCHLD);
  sigprocmask(SIG_UNBLOCK, &child, nullptr);
}

Subprocess::Subprocess(const ChildProgram& child) {
  const CommandArguments& arguments = child.arguments;
  SubprocessWindow window = child.window;
  std::vector<std::string> args = SplitCommandLine(child.program.c_str());
  if (args.empty() || args[0].empty()) {
    start_error_ = ENOENT;
    return;
  }
  args.resize(1);  // the program text may carry its own quotes
  for (std::string& token : SplitCommandLine(arguments.options.c_str()))
    args.push_back(std::move(token));
  args.insert(args.end(), arguments.operands.begin(), arguments.operands.end());
  std::vector<std::string> env = ChildEnvironmentEntries(child.environment);

  // Standard error is always read: what a program says is kept for the
  // user's report, and xz's progress lines become arkiva's display.
  bool hidden = window != kShownWindow;
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) {
    start_error_ = errno;
    return;
  }
  errors_read_ = fds[0];
  int errors_write = fds[1];
  // A socket rather than a pipe: writing to a reader that has gone fails
  // with EPIPE instead of raising SIGPIPE (MSG_NOSIGNAL).
  int input_read = hidden ? static_cast<int>(child.input) : -1, fed_read = -1;
  if (window == kFedWindow) {
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) {
      start_error_ = errno;
      close(errors_write);
      return;
    }
    input_ = fds[0];
    input_read = fed_read = fds[1];
    fcntl(input_, F_SETFL, fcntl(input_, F_GETFL) | O_NONBLOCK);
    shutdown(input_, SHUT_RD);
  }

  // The child tells why it could not start through a pipe that its exec
  // closes: an empty read means it started.
  int report[2];
  int failed = pipe2(report, O_CLOEXEC) == 0 ? 0 : errno;
  if (!failed) {
    std::vector<std::string> candidates = ProgramCandidates(args[0]);
    std::vector<char*> argv = Pointers(args), envp = Pointers(env);
    pid_t parent = getpid();
    pid_t pid = fork();
    if (pid == 0)
      StartChild({.argv = argv.data(),
                  .envp = envp.data(),
                  .candidates = candidates,
                  .folder = child.folder,
                  .hidden = hidden,
                  .errors_write = errors_write,
                  .input_read = input_read,
                  .output = hidden ? static_cast<int>(child.output) : -1,
                  .report = report[1],
                  .parent = parent});
    close(report[1]);
    if (pid < 0) {
      failed = errno;
    } else {
      pid_ = pid;
      int error = 0;
      ssize_t got;
      while ((got = read(report[0], &error, sizeof(error))) < 0 && errno == EINTR) {
      }
      if (got == sizeof(error)) {
        failed = error;
        while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
        pid_ = -1;
      }
    }
    close(report[0]);
  }
  close(errors_write);
  if (fed_read >= 0)
    close(fed_read);
  started_ = !failed;
  start_error_ = failed;
}

Subprocess::~Subprocess() {
  if (started_ && !finished_) {
    Stop();
    Finish();
  }
  if (errors_read_ >= 0)
    close(errors_read_);
  CloseInput();
}

void Subprocess::TakeErrors() {
  char buffer[4096];
  ssize_t got = read(errors_read_, buffer, sizeof(buffer));
  if (got > 0) {
    errors_.append(buffer, got);
  } else if (got == 0 || (errno != EINTR && errno != EAGAIN)) {
    close(errors_read_);  // every writer has gone: the child has ended
    errors_read_ = -1;
  }
}

bool Subprocess::Await(int milliseconds) {
  if (!started_ || finished_)
    return true;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  // The program's end closes its error pipe: while there is one, the pipe is
  // all there is to wait on.
  while (errors_read_ >= 0) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    struct pollfd watch = {errors_read_, POLLIN, 0};
    int ready = poll(&watch, 1, left.count() > 0 ? static_cast<int>(left.count()) : 0);
    if (ready <= 0)
      return false;  // time is up, or a signal came
    TakeErrors();
  }
  // No pipe: look in short steps without reaping it.
  for (;;) {
    siginfo_t info = {};
    if (waitid(P_PID, pid_, &info, WEXITED | WNOHANG | WNOWAIT) != 0 || info.si_pid == pid_)
      return true;
    if (std::chrono::steady_clock::now() >= deadline)
      return false;
    struct timespec step = {0, 10 * 1000 * 1000};
    if (nanosleep(&step, nullptr) != 0)
      return false;
  }
}

void Subprocess::Stop() {
  if (started_ && !finished_)
    kill(pid_, SIGTERM);
}

SubprocessEnd Subprocess::Finish() {
  if (started_ && !finished_) {
    while (errors_read_ >= 0)
      TakeErrors();
    pid_t got;
    while ((got = waitpid(pid_, &status_, 0)) < 0 && errno == EINTR) {
    }
    wait_error_ = got < 0 ? errno : 0;
    finished_ = true;
  }
  if (wait_error_)
    return {SubprocessEnd::kUnknown, wait_error_};
  if (WIFSIGNALED(status_))
    return {SubprocessEnd::kSignalled, WTERMSIG(status_)};
  return {SubprocessEnd::kExited, WIFEXITED(status_) ? WEXITSTATUS(status_) : 0};
}

bool Subprocess::Feed(const std::string& text) {
  input_waiting_ += text;
  while (input_ >= 0 && !input_waiting_.empty()) {
    ssize_t sent = send(input_, input_waiting_.data(), input_waiting_.size(), MSG_NOSIGNAL);
    if (sent > 0)
      input_waiting_.erase(0, sent);
    else if (errno == EAGAIN || errno == EWOULDBLOCK)
      return true;  // it is busy: the rest goes next time
    else if (errno != EINTR)
      CloseInput();
  }
  return input_ >= 0;
}

void Subprocess::CloseInput() {
  if (input_ >= 0)
    close(input_);
  input_ = -1;
}

bool Subprocess::SignalIfCaught(int signal) {
  if (!started_ || finished_)
    return false;
  // SigCgt is the mask of the signals the process has a handler for, in hex,
  // signal n at bit n - 1.
  FILE* status = fopen(("/proc/" + std::to_string(pid_) + "/status").c_str(), "r");
  if (!status)
    return false;
  char line[256];
  unsigned long long caught = 0;
  bool found = false;
  while (!found && fgets(line, sizeof(line), status))
    found = sscanf(line, "SigCgt: %llx", &caught) == 1;
  fclose(status);
  if (!found || !(caught & (1ull << (signal - 1))))
    return false;
  return kill(pid_, signal) == 0;
}

std::string Subprocess::ShownText() const {
  return errors_;
}
