#include "host/launcher.h"

#include <string.h>
#include <windows.h>
#include <shellapi.h>

namespace {

HANDLE g_heap;
CRITICAL_SECTION g_lock;
ProgramRecord* g_records;  // newest first

HANDLE Heap() { return g_heap ? g_heap : GetProcessHeap(); }

// A pipe whose `child_reads` end is inheritable; the caller's end is replaced
// by a duplicate that is not (kept as it is when the duplication fails).
bool MakePipe(bool child_reads, HANDLE* child_end, HANDLE* caller_end) {
  SECURITY_ATTRIBUTES sa = {sizeof(sa), NULL, TRUE};
  HANDLE read_end, write_end;
  if (!CreatePipe(&read_end, &write_end, &sa, 0))
    return false;
  *child_end = child_reads ? read_end : write_end;
  HANDLE mine = child_reads ? write_end : read_end;
  HANDLE duplicate;
  if (DuplicateHandle(GetCurrentProcess(), mine, GetCurrentProcess(), &duplicate, 0, FALSE,
                      DUPLICATE_SAME_ACCESS)) {
    CloseHandle(mine);
    mine = duplicate;
  }
  *caller_end = mine;
  return true;
}

void CloseIfOpen(HANDLE handle) {
  if (handle)
    CloseHandle(handle);
}

struct Pipes {
  HANDLE child_in, child_out, child_err;  // the started program's ends
  HANDLE my_in, my_out, my_err;           // the caller's ends
};

// The wait, then the record or the handle's close, in that order.
intptr_t Finish(HANDLE process, long process_id, const Pipes& pipes, uint32_t flags,
                int* exit_code) {
  if (flags & LaunchWait) {
    WaitForSingleObject(process, INFINITE);
    if (exit_code) {
      DWORD code = 0;
      *exit_code = process && GetExitCodeProcess(process, &code) ? static_cast<int>(code) : 0;
    }
  }
  if (!(flags & LaunchOpen)) {
    CloseIfOpen(process);
    return 1;
  }
  auto* record = static_cast<ProgramRecord*>(HeapAlloc(Heap(), HEAP_ZERO_MEMORY, sizeof(ProgramRecord)));
  record->process = reinterpret_cast<intptr_t>(process);
  record->process_id = process_id;
  record->stdin_write = reinterpret_cast<intptr_t>(pipes.my_in);
  record->stdout_read = reinterpret_cast<intptr_t>(pipes.my_out);
  record->stderr_read = reinterpret_cast<intptr_t>(pipes.my_err);
  record->flags = flags;
  EnterCriticalSection(&g_lock);
  record->next = g_records;
  if (g_records)
    g_records->previous = record;
  g_records = record;
  LeaveCriticalSection(&g_lock);
  return reinterpret_cast<intptr_t>(record);
}

// The folder part of a program path: up to its last backslash, unless that
// backslash is the first character.
std::string ProgramFolder(const char* program) {
  const char* last = strrchr(program, '\\');
  if (!last || last == program)
    return std::string();
  return std::string(program, last + 1);
}

}  // namespace

void InitLauncher(void* private_heap) {
  g_heap = static_cast<HANDLE>(private_heap);
  InitializeCriticalSection(&g_lock);
  g_records = nullptr;
  // CreateProcessA would look in the current folder before PATH.
  SetEnvironmentVariableA("NoDefaultCurrentDirectoryInExePath", "1");
}

void ReleaseLauncher() {
  while (ProgramRecord* record = g_records) {
    g_records = record->next;
    for (intptr_t h : {record->process, record->stdin_write, record->stdout_read, record->stderr_read})
      CloseIfOpen(reinterpret_cast<HANDLE>(h));
    HeapFree(Heap(), 0, record);
  }
}

ProgramRecord* FirstProgramRecord() { return g_records; }

intptr_t LaunchProgram(const char* program, const char* parameters, const char* directory,
                       uint32_t flags, int* exit_code) {
  if (!program)
    program = "";
  if (!parameters)
    parameters = "";
  if (exit_code)
    *exit_code = 0;

  STARTUPINFOA si;
  ZeroMemory(&si, sizeof(si));
  si.cb = sizeof(si);  // 104 bytes in this 64-bit build (68 in a 32-bit one)
  si.dwFlags = STARTF_USESHOWWINDOW;
  si.wShowWindow = (flags & LaunchHide) ? SW_HIDE : SW_SHOWNORMAL;
  DWORD creation = NORMAL_PRIORITY_CLASS | ((flags & LaunchHide) ? DETACHED_PROCESS : 0);
  BOOL inherit = FALSE;

  Pipes pipes = {};
  if (flags & LaunchOpen) {
    bool any = false;
    if ((flags & LaunchWrite) && MakePipe(true, &pipes.child_in, &pipes.my_in)) {
      si.hStdInput = pipes.child_in;
      any = true;
    }
    if ((flags & LaunchRead) && MakePipe(false, &pipes.child_out, &pipes.my_out)) {
      si.hStdOutput = pipes.child_out;
      any = true;
    }
    if ((flags & LaunchError) && MakePipe(false, &pipes.child_err, &pipes.my_err)) {
      si.hStdError = pipes.child_err;
      any = true;
    }
    if (any) {
      si.dwFlags |= STARTF_USESTDHANDLES;
      inherit = TRUE;
      // The handles would work in a detached process too; without
      // DETACHED_PROCESS a console program gets a console of its own, which
      // SW_HIDE keeps out of sight, as the launcher's rules have it.
      creation &= ~DETACHED_PROCESS;
    }
  }
  if (si.dwFlags & STARTF_USESTDHANDLES) {
    if (!si.hStdInput)
      si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    if (!si.hStdOutput)
      si.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    if (!si.hStdError)
      si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  }

  size_t program_length = strlen(program), parameters_length = strlen(parameters);
  char* line = static_cast<char*>(HeapAlloc(Heap(), 0, program_length + parameters_length + 4));
  char* end = line;
  if (program[0] == '"') {
    memcpy(end, program, program_length);
    end += program_length;
  } else {
    *end++ = '"';
    memcpy(end, program, program_length);
    end += program_length;
    *end++ = '"';
  }
  if (parameters_length) {
    *end++ = ' ';
    memcpy(end, parameters, parameters_length);
    end += parameters_length;
  }
  *end = '\0';

  const char* folder = directory && *directory ? directory : NULL;
  PROCESS_INFORMATION pi = {};
  intptr_t result = 0;
  if (CreateProcessA(NULL, line, NULL, NULL, inherit, creation, NULL, folder, &si, &pi)) {
    CloseIfOpen(pipes.child_out);
    CloseIfOpen(pipes.child_in);
    CloseIfOpen(pipes.child_err);
    CloseHandle(pi.hThread);
    result = Finish(pi.hProcess, static_cast<long>(pi.dwProcessId), pipes, flags, exit_code);
  } else {
    DWORD error = GetLastError();  // the caller's reason, kept past the clean-up
    for (HANDLE h : {pipes.child_in, pipes.child_out, pipes.child_err, pipes.my_in, pipes.my_out,
                     pipes.my_err})
      CloseIfOpen(h);
    SetLastError(error);
    if (!(flags & (LaunchRead | LaunchWrite | LaunchError | LaunchConnect))) {
      std::string program_folder;
      if (!folder) {
        program_folder = ProgramFolder(program);
        folder = program_folder.empty() ? NULL : program_folder.c_str();
      }
      SHELLEXECUTEINFOA sei;
      ZeroMemory(&sei, sizeof(sei));
      sei.cbSize = sizeof(sei);
      sei.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_DDEWAIT | SEE_MASK_FLAG_NO_UI;
      sei.lpFile = program;
      sei.lpParameters = parameters;
      sei.lpDirectory = folder;
      sei.nShow = si.wShowWindow;
      if (ShellExecuteExA(&sei))
        result = Finish(sei.hProcess, -1, Pipes{}, flags, exit_code);
    }
  }
  DWORD error = GetLastError();
  HeapFree(Heap(), 0, line);
  SetLastError(error);
  return result;
}

intptr_t LaunchWithArguments(const char* program, const CommandArguments& arguments,
                             const char* directory, uint32_t flags, int* exit_code) {
  return LaunchProgram(program, ArgumentLine(arguments).c_str(), directory, flags, exit_code);
}

std::string ReadProgramPipe(intptr_t read_end) {
  std::string data;
  char buffer[4096];
  DWORD got;
  while (read_end && ReadFile(reinterpret_cast<HANDLE>(read_end), buffer, sizeof(buffer), &got, NULL) && got)
    data.append(buffer, got);
  return data;
}

int WaitForProgram(const ProgramRecord* record) {
  HANDLE process = reinterpret_cast<HANDLE>(record->process);
  DWORD code;
  if (!process || WaitForSingleObject(process, INFINITE) != WAIT_OBJECT_0 ||
      !GetExitCodeProcess(process, &code))
    return -1;
  return static_cast<int>(code);
}

namespace {

// Reads what the pipe holds now, without waiting for more.
void TakeWaitingOutput(HANDLE read_end, std::string* data) {
  char buffer[4096];
  DWORD waiting = 0, got = 0;
  while (read_end && PeekNamedPipe(read_end, NULL, 0, NULL, &waiting, NULL) && waiting &&
         ReadFile(read_end, buffer, waiting < sizeof(buffer) ? waiting : sizeof(buffer), &got, NULL) &&
         got)
    data->append(buffer, got);
}

}  // namespace

bool AwaitProgram(const ProgramRecord* record, int milliseconds, std::string* error_output) {
  HANDLE process = reinterpret_cast<HANDLE>(record->process);
  HANDLE errors = reinterpret_cast<HANDLE>(record->stderr_read);
  if (!process)
    return true;
  // Short slices: the pipe is emptied often enough that the program never
  // waits long on a full one.
  const DWORD kSlice = 50;
  DWORD start = GetTickCount();
  for (;;) {
    TakeWaitingOutput(errors, error_output);
    DWORD waited = GetTickCount() - start;
    DWORD left = waited < static_cast<DWORD>(milliseconds) ? milliseconds - waited : 0;
    if (WaitForSingleObject(process, left < kSlice ? left : kSlice) != WAIT_TIMEOUT)
      return true;
    if (left == 0)
      return false;
  }
}

void StopProgram(const ProgramRecord* record) {
  if (record->process)
    TerminateProcess(reinterpret_cast<HANDLE>(record->process), 1);
}
