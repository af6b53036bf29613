/* The recording test double: stands in for tar or xz (or any program) and
 * appends one line to the file that ARKIVA_RECORD names:
 *   program path <TAB> command line <TAB> current folder <TAB> STARTUPINFO dwFlags
 *   <TAB> wShowWindow <TAB> has a console (0/1) <TAB> XZ_DEFAULTS (or <unset>)
 * ARKIVA_RECORD_PID names a file to write its process id into.
 * ARKIVA_RECORD_SLEEP (ms) delays the exit, ARKIVA_RECORD_EXIT sets the exit
 * code. With ARKIVA_RECORD_ECHO set it copies standard input to standard
 * output as "out:<data>" and to standard error as "err:<data>".
 * ARKIVA_RECORD_WRITE names a file to write "partial" into (a tar that fails
 * midway; tar.exe writes into its standard output, as tar cf - does); with ARKIVA_RECORD_GROW=n it
 * then grows that file by n blocks of 64 KB, one every 100 ms (a slow tar). ARKIVA_RECORD_STDERR is
 * a line to write to standard error. Started as xz.exe with exit code 0, it writes its last
 * argument + ".xz" as a whole .xz file of that argument's bytes (none when it is not there), as xz
 * would; with ARKIVA_RECORD_XZ_PARTIAL set, only the first 12 bytes of an empty one (an xz ended
 * from outside that reported 0). */
#include <stdio.h>
#include <stdlib.h>
#include <fcntl.h>
#include <io.h>
#include <string.h>
#include <windows.h>

#include <lzma.h>

static const char* Env(const char* name, const char* fallback) {
  const char* value = getenv(name);
  return value && *value ? value : fallback;
}

/* An empty .xz file: stream header, index, stream footer. */
static const unsigned char kEmptyXz[32] = {
    0xfd, 0x37, 0x7a, 0x58, 0x5a, 0x00, 0x00, 0x04, 0xe6, 0xd6, 0xb4, 0x46, 0x00, 0x00, 0x00, 0x00,
    0x1c, 0xdf, 0x44, 0x21, 0x1f, 0xb6, 0xf3, 0x7d, 0x01, 0x00, 0x00, 0x00, 0x00, 0x04, 0x59, 0x5a};

int main(int argc, char** argv) {
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
  const char* pid = Env("ARKIVA_RECORD_PID", NULL);
  FILE* pid_file = pid ? fopen(pid, "w") : NULL;
  if (pid_file) {
    fprintf(pid_file, "%lu\n", GetCurrentProcessId());
    fclose(pid_file);
  }
  const char* name = strrchr(self, '\\') ? strrchr(self, '\\') + 1 : self;
  int tar = _stricmp(name, "tar.exe") == 0;
  const char* swap = Env("ARKIVA_RECORD_SWAP", NULL);
  if (tar && swap && DeleteFileA(swap)) {
    FILE* theirs = fopen(swap, "wb");
    if (theirs) {
      fputs("theirs", theirs);
      fclose(theirs);
    }
  }
  const char* partial = Env("ARKIVA_RECORD_WRITE", NULL);
  if (partial) {
    if (tar)
      _setmode(_fileno(stdout), _O_BINARY);
    FILE* f = tar ? stdout : fopen(partial, "wb");
    if (f) {
      fputs("partial", f);
      static char block[65536];
      for (int i = atoi(Env("ARKIVA_RECORD_GROW", "0")); i > 0; --i) {
        fflush(f);
        Sleep(100);
        fwrite(block, 1, sizeof(block), f);
      }
      if (f == stdout)
        fflush(f);
      else
        fclose(f);
    }
  }
  const char* line = Env("ARKIVA_RECORD_STDERR", NULL);
  if (line)
    fprintf(stderr, "%s\n", line);
  Sleep(atoi(Env("ARKIVA_RECORD_SLEEP", "0")));
  int code = atoi(Env("ARKIVA_RECORD_EXIT", "0"));
  if (code == 0 && _stricmp(name, "xz.exe") == 0 && argc > 1) {
    char output[MAX_PATH];
    snprintf(output, sizeof(output), "%s.xz", argv[argc - 1]);
    FILE* f = fopen(output, "wb");
    FILE* in = getenv("ARKIVA_RECORD_XZ_PARTIAL") ? NULL : fopen(argv[argc - 1], "rb");
    long length = in && fseek(in, 0, SEEK_END) == 0 ? ftell(in) : 0;
    unsigned char* data = length > 0 ? malloc(length) : NULL;
    unsigned char* packed = length > 0 ? malloc(length + 65536) : NULL;
    size_t got = 0, size = 0;
    if (data && packed && fseek(in, 0, SEEK_SET) == 0)
      got = fread(data, 1, length, in);
    if (in)
      fclose(in);
    if (f && got > 0 &&
        lzma_easy_buffer_encode(0, LZMA_CHECK_CRC64, NULL, data, got, packed, &size,
                                length + 65536) == LZMA_OK)
      fwrite(packed, 1, size, f);
    else if (f)
      fwrite(kEmptyXz, 1, getenv("ARKIVA_RECORD_XZ_PARTIAL") ? 12 : sizeof(kEmptyXz), f);
    if (f)
      fclose(f);
    free(data);
    free(packed);
  }
  return code;
}
