/* tar.exe and xz.exe of the Wine rig: a Windows program that runs the Unix
 * program of its own name (/usr/bin/tar, /usr/bin/xz) with the arguments the
 * Windows C runtime gave it, waits for it and exits with its exit code.
 *
 * Wine starts a Unix program from CreateProcess but hands back no process
 * handle for it, so the wait and the exit code travel through a completion
 * file that a /bin/sh shim writes when the program has ended. */
#include <stdio.h>
#include <stdlib.h>
#include <wchar.h>
#include <windows.h>

/* Appends `arg` quoted so that the C runtime's splitting gives it back. */
static void AppendQuoted(wchar_t* out, const wchar_t* arg) {
  wcscat(out, L" \"");
  size_t n = wcslen(out);
  for (const wchar_t* p = arg;; ++p) {
    size_t slashes = 0;
    while (*p == L'\\') {
      ++p;
      ++slashes;
    }
    if (*p == L'\0') {
      for (size_t i = 0; i < slashes * 2; ++i)
        out[n++] = L'\\';
      break;
    }
    if (*p == L'"') {
      for (size_t i = 0; i < slashes * 2 + 1; ++i)
        out[n++] = L'\\';
    } else {
      for (size_t i = 0; i < slashes; ++i)
        out[n++] = L'\\';
    }
    out[n++] = *p;
  }
  out[n++] = L'"';
  out[n] = L'\0';
}

int wmain(int argc, wchar_t** argv) {
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(NULL, self, MAX_PATH);
  wchar_t* name = wcsrchr(self, L'\\') ? wcsrchr(self, L'\\') + 1 : self;
  wchar_t* dot = wcsrchr(name, L'.');
  if (dot)
    *dot = L'\0';

  /* Process ids repeat across Wine prefixes that share /tmp: claim the name
   * with a file that only one process can create. */
  wchar_t done[128], done_dos[160], claim[168];
  HANDLE claimed = INVALID_HANDLE_VALUE;
  for (unsigned n = 0; claimed == INVALID_HANDLE_VALUE; ++n) {
    swprintf(done, 128, L"/tmp/arkiva-done-%lu-%lu-%u", GetCurrentProcessId(), GetTickCount(), n);
    swprintf(done_dos, 160, L"Z:%ls", done);
    for (wchar_t* p = done_dos; *p; ++p)
      if (*p == L'/')
        *p = L'\\';
    swprintf(claim, 168, L"%ls.claim", done_dos);
    claimed =
        CreateFileW(claim, GENERIC_WRITE, 0, NULL, CREATE_NEW, FILE_FLAG_DELETE_ON_CLOSE, NULL);
    if (claimed == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) {
      fwprintf(stderr, L"%ls: cannot claim %ls (%lu)\n", name, claim, GetLastError());
      return 126;
    }
  }

  size_t size = 4096;
  for (int i = 1; i < argc; ++i)
    size += 2 * wcslen(argv[i]) + 4;
  wchar_t* line = calloc(size, sizeof(wchar_t));
  wcscpy(line,
         L"\"Z:\\bin\\sh\" -c \"d=$0; \\\"$@\\\"; echo $? >\\\"$d.tmp\\\"; mv \\\"$d.tmp\\\" "
         L"\\\"$d\\\"\"");
  AppendQuoted(line, done);
  wchar_t program[MAX_PATH];
  swprintf(program, MAX_PATH, L"/usr/bin/%ls", name);
  AppendQuoted(line, program);
  for (int i = 1; i < argc; ++i)
    AppendQuoted(line, argv[i]);

  STARTUPINFOW si = {sizeof(si)};
  PROCESS_INFORMATION pi;
  if (!CreateProcessW(NULL, line, NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi)) {
    fwprintf(stderr, L"%ls: cannot start /bin/sh (%lu)\n", name, GetLastError());
    return 127;
  }
  if (pi.hProcess)
    CloseHandle(pi.hProcess);
  if (pi.hThread)
    CloseHandle(pi.hThread);

  while (GetFileAttributesW(done_dos) == INVALID_FILE_ATTRIBUTES)
    Sleep(5);
  int code = 127;
  FILE* f = _wfopen(done_dos, L"r");
  if (f) {
    if (fscanf(f, "%d", &code) != 1)
      code = 127;
    fclose(f);
  }
  DeleteFileW(done_dos);
  CloseHandle(claimed);
  return code;
}
