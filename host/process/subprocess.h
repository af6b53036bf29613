#ifndef ARKIVA_HOST_PROCESS_SUBPROCESS_H_
#define ARKIVA_HOST_PROCESS_SUBPROCESS_H_

#include <stdint.h>

#include <string>
#include <vector>

// A program's arguments: options, one text split by SplitCommandLine's rules,
// then operands (names of files), each of which reaches the program whole.
struct CommandArguments {
  std::string options;
  std::vector<std::string> operands;
};

// The argument line Windows programs get: the options, then each operand in
// double quotes, which a Windows name cannot hold: cf "My Photos.tar" "My Photos".
std::string ArgumentLine(const CommandArguments& arguments);

// The folders a program is looked for in, from PATH's value `path`: the
// absolute ones, in their order. An empty or relative entry names a folder
// relative to wherever the search runs (the folder being archived), which
// anyone who may write there could fill with a "tar". `posix_paths`: ':'
// separates and '/' begins an absolute path; else ';' separates and a drive
// ("C:\\") or a share ("\\\\server") begins one.
std::vector<std::string> ProgramFolders(const std::string& path, bool posix_paths);

// POSIX's program search, made before a fork: the files `program` is looked
// for as, in order. A name with a slash is itself; else it is looked for in
// PATH's absolute folders or, where PATH is not set, in /usr/local/bin,
// /usr/bin and /bin, as execvp does without the current folder. Windows
// never searches: arkiva runs only the tar.exe and xz.exe beside arkiva.exe,
// by their full path, as System32 holds a tar.exe of its own and PATH may
// name any folder.
std::vector<std::string> ProgramCandidates(const std::string& program);

// Variables a child gets on top of this process's environment, "NAME=value"
// each, or "NAME" for one it must not get at all; its own, never this
// process's, so that a run's settings cannot leak into the next child.
typedef std::vector<std::string> ChildEnvironment;

enum SubprocessWindow {
  // In view of the user, where the program reports as it goes (xz -v).
  // Windows: a console that this process makes and shares with it, so that
  // what the program wrote there can still be read while it runs and once
  // it has ended (a process started from a console shares that one).
  // POSIX: the user's terminal, whose interrupt it gets; its standard error
  // is read, and arkiva shows its progress.
  kShownWindow,
  // No window, not even a console's (Windows), or terminal (POSIX: no input and a session of its
  // own, so it gets no signal of the user's terminal); its standard error is
  // read through a pipe.
  kHiddenWindow,
  // POSIX: a window program of arkiva's own, started as a hidden one and fed
  // through its standard input (Feed).
  kFedWindow,
};

// One child program as it is to be started (git's child_process). A program
// named without a folder is found, never through the shell, on Windows beside
// arkiva.exe only (arkiva's own tar.exe and xz.exe), on POSIX in PATH's
// absolute folders. Windows passes the arguments' ArgumentLine; POSIX each
// operand as one argument, as it stands, so any name Linux allows reaches
// the program whole.
struct ChildProgram {
  std::string program{};
  CommandArguments arguments{};
  std::string folder{};  // where it runs; "": this process's folder
  SubprocessWindow window = kHiddenWindow;
  ChildEnvironment environment{};  // on top of this process's own
  // A hidden child's standard output: an open file (a POSIX descriptor, a
  // Windows HANDLE; tar cf - writes the archive there); -1: where arkiva's
  // goes.
  intptr_t output = -1;
  // A hidden child's standard input: an open file, read from where it
  // stands (tar -T - reads the names of a selection there); -1: none
  // (POSIX: /dev/null), or on Windows arkiva's own.
  intptr_t input = -1;
};

// How a child ended.
struct SubprocessEnd {
  enum Outcome {
    kExited,     // by itself, with `exit_code`
    kSignalled,  // POSIX: ended by a signal, number `exit_code`
    kUnknown     // the system could not tell; `exit_code` is its error code
  } outcome;
  int exit_code;
};

// Once at start-up, before the first child: Windows takes the current folder
// out of the program search, so that a tar.exe planted in the folder being
// browsed is never run; POSIX puts SIGCHLD back to its default, so that
// every child's end can be waited for, and opens on /dev/null any standard
// stream the launcher closed.
void InitSubprocesses();

// One child program, from its start to its end: it owns the process and the
// pipe, and releases both when it goes (ninja's Subprocess).
class Subprocess {
 public:
  // Starts `child`.
  explicit Subprocess(const ChildProgram& child);
  // Stops a child that is still running, reaps it and closes what it holds.
  ~Subprocess();
  Subprocess(const Subprocess&) = delete;
  Subprocess& operator=(const Subprocess&) = delete;

  // Whether the system started it; when not, the system's error code says why.
  bool Started() const { return started_; }
  unsigned long StartError() const { return start_error_; }

  // Waits up to `milliseconds` for the child to end, meanwhile taking what
  // it writes to standard error, so that it never stalls on a full pipe.
  // True once it has ended. POSIX returns early, false, when a signal comes.
  bool Await(int milliseconds);

  // Ends the child at once (Windows: TerminateProcess; POSIX: SIGTERM).
  void Stop();

  // Waits, without a time-out, for the end; takes the rest of its error
  // output. Once only.
  SubprocessEnd Finish();

  // What the child wrote to standard error (or, shown on Windows, to its
  // console), so far.
  const std::string& ErrorOutput() const { return errors_; }

  // What the child has shown so far: Windows, a shown child's console as it
  // stands; otherwise its error output.
  std::string ShownText() const;

#ifndef _WIN32
  // kFedWindow: passes `text` on to the child's standard input without
  // waiting; what the child cannot take yet goes with the next call. False
  // once the child has stopped reading.
  bool Feed(const std::string& text);
  // Ends the child's input: it reads the end of its input next.
  void CloseInput();

  // Sends `signal` only once the child has its own handler for it, which a
  // program installs some time after its start: before that, a signal such
  // as SIGUSR1 would end it. True when it was sent.
  bool SignalIfCaught(int signal);
#endif

 private:
  bool started_ = false;
  bool finished_ = false;
  unsigned long start_error_ = 0;
  std::string errors_;
#ifdef _WIN32
  void* process_ = nullptr;
  void* errors_read_ = nullptr;
  bool owns_console_ = false;
#else
  int pid_ = -1;
  int errors_read_ = -1;
  int status_ = 0;
  int wait_error_ = 0;         // why waitpid failed; 0 when it told
  int input_ = -1;             // kFedWindow: this end of its standard input
  std::string input_waiting_;  // what it has not taken yet
  // One read of the error pipe; closes it at its end.
  void TakeErrors();
#endif
};

#endif  // ARKIVA_HOST_PROCESS_SUBPROCESS_H_
