/* The recording test double: stands in for tar or xz (or any program) and
 * appends one line to the file that ARKIVA_RECORD names:
 *   program path <TAB> command line <TAB> current folder <TAB> STARTUPINFO dwFlags
 *   <TAB> wShowWindow <TAB> has a console (0/1) <TAB> XZ_DEFAULTS (or <unset>)
 * ARKIVA_RECORD_SLEEP (ms) delays the exit, ARKIVA_RECORD_EXIT sets the exit
 * code. With ARKIVA_RECORD_ECHO set it copies standard input to standard
 * output as "out:<data>" and to standard error as "err:<data>".
 * ARKIVA_RECORD_WRITE names a file to write "partial" into (a tar that fails
 * midway); with ARKIVA_RECORD_GROW=n it then grows that file by n blocks of
 * 64 KB, one every 100 ms (a slow tar). ARKIVA_RECORD_STDERR is a line to
 * write to standard error. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

static const char* Env(const char* name, const char* fallback) {
  const char* value = getenv(name);
  return value && *value ? value : fallback;
}

int main(void) {
  STARTUPINFOA si;
  GetStartupInfoA(&si);
  char self[MAX_PATH], cwd[MAX_PATH];
  GetModuleFileNameA(NULL, self, MAX_PATH);
  GetCurrentDirectoryA(MAX_PATH, cwd);

  const char* log = Env("ARKIVA_RECORD", NULL);
  if (log) {
    FILE* f = fopen(log, "ab");
    if (f) {
      char xz_defaults[512] = "<unset>";
      SetLastError(0);
      if (!GetEnvironmentVariableA("XZ_DEFAULTS", xz_defaults, sizeof(xz_defaults)) &&
          GetLastError() != ERROR_ENVVAR_NOT_FOUND)
        xz_defaults[0] = '\0';
      fprintf(f, "%s\t%s\t%s\t%lu\t%u\t%d\t%s\n", self, GetCommandLineA(), cwd, si.dwFlags,
              si.wShowWindow, GetConsoleWindow() != NULL, xz_defaults);
      fclose(f);
    }
  }
  if (getenv("ARKIVA_RECORD_ECHO")) {
    char data[4096];
    DWORD got = 0, put;
    ReadFile(GetStdHandle(STD_INPUT_HANDLE), data, sizeof(data), &got, NULL);
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), "out:", 4, &put, NULL);
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), data, got, &put, NULL);
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), "err:", 4, &put, NULL);
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), data, got, &put, NULL);
  }
  const char* partial = Env("ARKIVA_RECORD_WRITE", NULL);
  if (partial) {
    FILE* f = fopen(partial, "wb");
    if (f) {
      fputs("partial", f);
      static char block[65536];
      for (int i = atoi(Env("ARKIVA_RECORD_GROW", "0")); i > 0; --i) {
        fflush(f);
        Sleep(100);
        fwrite(block, 1, sizeof(block), f);
      }
      fclose(f);
    }
  }
  const char* line = Env("ARKIVA_RECORD_STDERR", NULL);
  if (line)
    fprintf(stderr, "%s\n", line);
  Sleep(atoi(Env("ARKIVA_RECORD_SLEEP", "0")));
  return atoi(Env("ARKIVA_RECORD_EXIT", "0"));
}
