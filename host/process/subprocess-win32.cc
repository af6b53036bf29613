#include "host/process/subprocess.h"

#include <windows.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "host/process/environment.h"
#include "host/process/program_args.h"
#include "host/wide_text.h"

namespace {

// Windows' order of names, which ignores case.
int CompareNames(const std::string& a, const std::string& b) {
  return CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, a.c_str(), static_cast<int>(a.size()),
                        b.c_str(), static_cast<int>(b.size()));
}

// This process's environment with `overrides` put in, as the block
// CreateProcessA takes: sorted by name, as Windows keeps it, each entry
// ended by a zero and the block by one more.
std::string EnvironmentBlock(const ChildEnvironment& overrides) {
  std::vector<std::string> current;
  if (char* block = GetEnvironmentStringsA()) {
    for (const char* entry = block; *entry; entry += strlen(entry) + 1)
      current.push_back(entry);
    FreeEnvironmentStringsA(block);
  }
  std::vector<std::string> entries = MergeEnvironment(
      current, overrides,
      [](const std::string& a, const std::string& b) { return CompareNames(a, b) == CSTR_EQUAL; });
  std::stable_sort(entries.begin(), entries.end(), [](const std::string& a, const std::string& b) {
    return CompareNames(EnvironmentName(a), EnvironmentName(b)) == CSTR_LESS_THAN;
  });
  std::string block;
  for (const std::string& entry : entries)
    block += entry + '\0';
  return block + '\0';
}

// What the console shows, from its first line to the cursor's, each line
// without its trailing blanks.
std::string ConsoleText() {
  HANDLE screen = CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING, 0, NULL);
  if (screen == INVALID_HANDLE_VALUE)
    return "";
  std::string text;
  CONSOLE_SCREEN_BUFFER_INFO info;
  if (GetConsoleScreenBufferInfo(screen, &info) && info.dwSize.X > 0) {
    std::wstring row(info.dwSize.X, L' ');
    for (SHORT y = 0; y <= info.dwCursorPosition.Y; ++y) {
      DWORD got = 0;
      if (!ReadConsoleOutputCharacterW(screen, &row[0], info.dwSize.X, {0, y}, &got))
        break;
      size_t end = row.find_last_not_of(L' ', got ? got - 1 : 0);
      int length = end == std::wstring::npos || got == 0 ? 0 : static_cast<int>(end + 1);
      text += Narrow(row.data(), length) + "\n";
    }
  }
  CloseHandle(screen);
  return text;
}

// The job every child joins: when arkiva ends, however it ends (a crash,
// End process tree, a log-off), the system closes its last handle, and
// KILL_ON_JOB_CLOSE ends the children with it. Since Windows 8 a process
// already in a job (as Explorer may start arkiva) can be in this one too.
HANDLE ChildrenJob() {
  static HANDLE job = [] {
    HANDLE made = CreateJobObjectA(NULL, NULL);
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (made && !SetInformationJobObject(made, JobObjectExtendedLimitInformation, &limits,
                                         sizeof(limits))) {
      CloseHandle(made);
      made = NULL;
    }
    return made;
  }();
  return job;
}

// The program's file: a name with a folder in it is itself; a bare name is
// looked for beside arkiva.exe only, where its own tar.exe and xz.exe are.
// Not in System32, where Windows 10 and 11 keep a tar.exe of their own that
// takes no name outside the code page, nor on PATH. Empty when it is not
// there.
std::string FindProgram(const std::string& program) {
  if (program.find_first_of("\\/") != std::string::npos)
    return program;
  // Never a bare name, which the current folder (the one being archived)
  // would resolve, even when arkiva's own path cannot be had.
  std::string folder = OwnProgramFolder();
  if (folder.empty())
    return "";
  std::string file = folder + "\\" + program;
  if (program.find('.') == std::string::npos)
    file += ".exe";
  DWORD attributes = GetFileAttributesW(Wide(file).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
    return "";
  return file;
}

}  // namespace

void InitSubprocesses() {
  // CreateProcessA would look in the current folder before PATH.
  SetEnvironmentVariableA("NoDefaultCurrentDirectoryInExePath", "1");
}

namespace {

// How a child is started: its STARTUPINFO, its creation flags, and the
// handles it inherits, which this process closes once the child has its
// own copies (or could not be started).
struct ChildStart {
  STARTUPINFOA info;
  // Suspended until it is in the job: it starts nothing of its own first.
  DWORD creation = NORMAL_PRIORITY_CLASS | CREATE_SUSPENDED;
  BOOL inherit = FALSE;
  std::vector<HANDLE> lent;

  ChildStart() {
    ZeroMemory(&info, sizeof(info));
    info.cb = sizeof(info);
    info.dwFlags = STARTF_USESHOWWINDOW;
  }
  ~ChildStart() {
    for (HANDLE h : lent)
      CloseHandle(h);
  }
  ChildStart(const ChildStart&) = delete;
  ChildStart& operator=(const ChildStart&) = delete;
};

// A hidden program's error pipe: the end this process reads, or why it
// could not be made.
struct ErrorPipe {
  HANDLE read_end;
  DWORD error;
};

// A hidden program: its error output through a pipe, and no console window
// at all. Windows Terminal, Windows 11's default, shows a console that
// SW_HIDE asks to hide as a minimised window in the taskbar, so SW_HIDE
// alone would flash one on every run. Its standard input and output are the
// child's `input` and `output` where it has them.
ErrorPipe StartHidden(const ChildProgram& child, ChildStart* start) {
  start->info.wShowWindow = SW_HIDE;
  start->creation |= CREATE_NO_WINDOW;
  SECURITY_ATTRIBUTES sa = {sizeof(sa), NULL, TRUE};
  HANDLE read_end, errors_write, read_copy;
  if (!CreatePipe(&read_end, &errors_write, &sa, 0))
    return {NULL, GetLastError()};
  start->lent.push_back(errors_write);
  // This process's end is not inherited.
  BOOL copied = DuplicateHandle(GetCurrentProcess(), read_end, GetCurrentProcess(), &read_copy, 0,
                                FALSE, DUPLICATE_SAME_ACCESS);
  DWORD error = copied ? 0 : GetLastError();
  CloseHandle(read_end);
  if (!copied)
    return {NULL, error};
  start->info.dwFlags |= STARTF_USESTDHANDLES;
  start->info.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  start->info.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  start->info.hStdError = errors_write;
  start->inherit = TRUE;
  // The files it reads and writes, as inheritable copies that live only
  // until the child has its own.
  for (auto [file, stream] : {std::pair(child.input, &start->info.hStdInput),
                              std::pair(child.output, &start->info.hStdOutput)}) {
    if (file == -1)
      continue;
    HANDLE copy;
    if (!DuplicateHandle(GetCurrentProcess(), reinterpret_cast<HANDLE>(file), GetCurrentProcess(),
                         &copy, 0, TRUE, DUPLICATE_SAME_ACCESS)) {
      error = GetLastError();
      CloseHandle(read_copy);
      return {NULL, error};
    }
    start->lent.push_back(copy);
    *stream = copy;
  }
  return {read_copy, 0};
}

// A shown program: a console of this process's, which the program shares:
// it reports there as it goes, and what it said can still be read once it
// has ended. Where this process has a console already (started from one),
// the program shares that one, and its words are not read. True when the
// console is this process's own.
bool StartInConsole(const std::string& title, ChildStart* start) {
  start->info.wShowWindow = SW_SHOWNORMAL;
  if (!AllocConsole())
    return false;
  SetConsoleTitleA(title.c_str());
  // Its standard streams are the console's by name: what arkiva itself was
  // handed (a pipe, say) would take its words away from the console.
  SECURITY_ATTRIBUTES sa = {sizeof(sa), NULL, TRUE};
  DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE;
  HANDLE console_in =
      CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, share, &sa, OPEN_EXISTING, 0, NULL);
  HANDLE console_out =
      CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, share, &sa, OPEN_EXISTING, 0, NULL);
  for (HANDLE h : {console_in, console_out})
    if (h != INVALID_HANDLE_VALUE)
      start->lent.push_back(h);
  if (console_in != INVALID_HANDLE_VALUE && console_out != INVALID_HANDLE_VALUE) {
    start->info.dwFlags |= STARTF_USESTDHANDLES;
    start->info.hStdInput = console_in;
    start->info.hStdOutput = console_out;
    start->info.hStdError = console_out;
    start->inherit = TRUE;
  }
  return true;
}

}  // namespace

Subprocess::Subprocess(const ChildProgram& child) {
  std::string application = FindProgram(child.program);
  if (application.empty()) {
    start_error_ = ERROR_FILE_NOT_FOUND;
    return;
  }
  std::string line = "\"" + child.program + "\"";
  std::string argument_line = ArgumentLine(child.arguments);
  if (!argument_line.empty())
    line += " " + argument_line;
  std::string block = EnvironmentBlock(child.environment);

  ChildStart start;
  if (child.window == kHiddenWindow) {
    ErrorPipe pipe = StartHidden(child, &start);
    if (pipe.error) {
      start_error_ = pipe.error;
      return;
    }
    errors_read_ = pipe.read_end;
  } else {
    owns_console_ = StartInConsole(line, &start);
  }

  PROCESS_INFORMATION pi = {};
  std::string command_line = line;  // CreateProcessA may write into it
  started_ =
      CreateProcessA(application.c_str(), &command_line[0], NULL, NULL, start.inherit,
                     start.creation, &block[0], child.folder.empty() ? NULL : child.folder.c_str(),
                     &start.info, &pi) != 0;
  if (!started_) {
    start_error_ = GetLastError();
    if (owns_console_)
      FreeConsole();
    owns_console_ = false;
    SetLastError(start_error_);
    return;
  }
  // A child outside the job (no job could be made) only outlives a run
  // that dies; the run goes on.
  if (ChildrenJob())
    AssignProcessToJobObject(ChildrenJob(), pi.hProcess);
  ResumeThread(pi.hThread);
  CloseHandle(pi.hThread);
  process_ = pi.hProcess;
}

Subprocess::~Subprocess() {
  if (started_ && !finished_) {
    Stop();
    Finish();
  }
  if (errors_read_)
    CloseHandle(errors_read_);
  if (process_)
    CloseHandle(process_);
  if (owns_console_)
    FreeConsole();
}

namespace {

// Reads what the pipe holds now, without waiting for more.
void TakeWaitingOutput(HANDLE read_end, std::string* data) {
  char buffer[4096];
  DWORD waiting = 0, got = 0;
  while (
      read_end && PeekNamedPipe(read_end, NULL, 0, NULL, &waiting, NULL) && waiting &&
      ReadFile(read_end, buffer, waiting < sizeof(buffer) ? waiting : sizeof(buffer), &got, NULL) &&
      got)
    data->append(buffer, got);
}

}  // namespace

bool Subprocess::Await(int milliseconds) {
  if (!started_ || finished_)
    return true;
  // Short slices: the pipe is emptied often enough that the program never
  // waits long on a full one.
  const DWORD kSlice = 50;
  DWORD start = GetTickCount();
  for (;;) {
    TakeWaitingOutput(errors_read_, &errors_);
    DWORD waited = GetTickCount() - start;
    DWORD left = waited < static_cast<DWORD>(milliseconds) ? milliseconds - waited : 0;
    if (WaitForSingleObject(process_, left < kSlice ? left : kSlice) != WAIT_TIMEOUT)
      return true;
    if (left == 0)
      return false;
  }
}

void Subprocess::Stop() {
  if (started_ && !finished_)
    TerminateProcess(process_, 1);
}

SubprocessEnd Subprocess::Finish() {
  DWORD code = 0;
  if (started_) {
    if (!finished_) {
      char buffer[4096];
      DWORD got;
      while (errors_read_ && ReadFile(errors_read_, buffer, sizeof(buffer), &got, NULL) && got)
        errors_.append(buffer, got);
      WaitForSingleObject(process_, INFINITE);
      finished_ = true;
      if (owns_console_) {
        errors_ += ConsoleText();
        FreeConsole();
        owns_console_ = false;
      }
    }
    if (!GetExitCodeProcess(process_, &code))
      return {SubprocessEnd::kUnknown, static_cast<int>(GetLastError())};
  }
  return {SubprocessEnd::kExited, static_cast<int>(code)};
}

std::string Subprocess::ShownText() const {
  return owns_console_ ? ConsoleText() : errors_;
}
