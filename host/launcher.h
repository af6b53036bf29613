#ifndef ARKIVA_HOST_LAUNCHER_H_
#define ARKIVA_HOST_LAUNCHER_H_

#include <stdint.h>

#include <string>
#include <vector>

// Launch flags.
enum : uint32_t {
  LaunchWait = 1,      // wait, without a time-out, until the program ends
  LaunchHide = 2,      // no window (Windows); no terminal (POSIX, see below)
  LaunchOpen = 4,      // keep the program: return a ProgramRecord
  LaunchRead = 8,      // with LaunchOpen: a pipe from the program's stdout
  LaunchWrite = 16,    // with LaunchOpen: a pipe to the program's stdin
  LaunchError = 32,    // with LaunchOpen: a pipe from the program's stderr
  LaunchConnect = 64,  // no effect of its own; rules out the shell fallback
};

// A program started with LaunchOpen. Handles are Windows HANDLEs or POSIX
// file descriptors and process ids; 0 means none.
struct ProgramRecord {
  ProgramRecord* next;
  ProgramRecord* previous;
  intptr_t process;       // open process handle (POSIX: the pid)
  long process_id;        // -1 when the shell started it
  intptr_t stdin_write;   // LaunchWrite
  intptr_t stdout_read;   // LaunchRead
  intptr_t stderr_read;   // LaunchError
  uint32_t flags;         // as the caller passed them
};

// Once at start-up, before the first launch. `private_heap` is the heap the
// entry point created (Windows); the command-line buffer and the records come
// from it. Windows also takes the current folder out of the program search,
// so that a tar.exe planted in the folder being browsed is never run.
void InitLauncher(void* private_heap);

// Closes the handles of every kept record and frees it (shutdown).
void ReleaseLauncher();

// The most recently kept record, or null; records are newest first.
ProgramRecord* FirstProgramRecord();

// Starts `program` (a name the system's search finds, or a path, possibly
// already in double quotes) with the `parameters` text, in `directory` (empty:
// the caller's current folder).
//
// Returns 0 when nothing was started, with the system's reason left in
// GetLastError (Windows) or errno (POSIX); 1 when the program was started without
// LaunchOpen (and, with LaunchWait, has ended), else the address of the new
// ProgramRecord. With LaunchWait and a non-null `exit_code`, the program's
// exit code is stored there (0 when it cannot be read).
//
// Windows builds the command line "\"program\" parameters" and falls back to
// ShellExecuteExA when the direct start fails and none of LaunchRead,
// LaunchWrite, LaunchError and LaunchConnect is set.
//
// POSIX splits `parameters` into arguments with SplitCommandLine's rules and
// searches PATH for the program; there is no shell fallback. LaunchHide gives
// the program no terminal: standard input from /dev/null and a session of its
// own, so it reads nothing from and gets no signal of the user's terminal; its
// output still goes where the caller's does.
//
// LaunchWait waits before the record is made, so LaunchWait with LaunchRead or
// LaunchError blocks for good on a program that fills its pipe: don't combine them.
intptr_t LaunchProgram(const char* program, const char* parameters, const char* directory,
                       uint32_t flags, int* exit_code = nullptr);

// A program's arguments: options, one text split by SplitCommandLine's rules,
// then operands (names of files), each of which reaches the program whole.
struct CommandArguments {
  std::string options;
  std::vector<std::string> operands;
};

// The argument line Windows programs get: the options, then each operand in
// double quotes, which a Windows name cannot hold: cf "My Photos.tar" "My Photos".
std::string ArgumentLine(const CommandArguments& arguments);

// LaunchProgram with `arguments`. Windows passes their ArgumentLine. POSIX
// passes each operand as one argument as it stands: a name may hold any
// character but '/' and NUL, blanks, quotes and line breaks included, and no
// line could carry all of them.
intptr_t LaunchWithArguments(const char* program, const CommandArguments& arguments,
                             const char* directory, uint32_t flags, int* exit_code = nullptr);

// Reads a pipe end of a kept program (a record's stdout_read or stderr_read)
// until every writer has closed it, and returns what came.
std::string ReadProgramPipe(intptr_t read_end);

// Waits, without a time-out, until a kept program has ended; returns its exit
// code, or -1 when it cannot be read (the shell started it, or it was reaped).
int WaitForProgram(const ProgramRecord* record);

// Waits up to `milliseconds` for a kept program to end, meanwhile appending to
// `error_output` what its error pipe (LaunchError) gives, so that the program
// never stalls on a full pipe. True once it has ended; the rest of its output
// is then read with ReadProgramPipe and its exit code with WaitForProgram.
// POSIX returns early, false, when a signal arrives.
bool AwaitProgram(const ProgramRecord* record, int milliseconds, std::string* error_output);

// Ends a kept program at once (Windows: TerminateProcess; POSIX: SIGTERM).
void StopProgram(const ProgramRecord* record);

#endif  // ARKIVA_HOST_LAUNCHER_H_
