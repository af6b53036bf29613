/* Takes the place of powershell.exe in a Wine prefix, whose own is a stub
 * that does nothing. Appends its command line, in UTF-8, to record.txt
 * beside it, and to consoles.txt whether it has a console window (0 or 1).
 * Its exit code is the Nth number in exit.txt beside it on its Nth start
 * (the last one from then on; 0 without the file). A failure says on
 * standard error, in the console's code page as PowerShell writes, the
 * UTF-8 text of error.txt beside it, else what Add-AppxPackage says of a
 * package whose signer is not trusted. */
#include <stdio.h>
#include <stdlib.h>
#include <wchar.h>
#include <windows.h>

static wchar_t folder[MAX_PATH];

static FILE* Open(const wchar_t* name, const wchar_t* mode) {
  wchar_t path[MAX_PATH + 16];
  swprintf(path, MAX_PATH + 16, L"%ls%ls", folder, name);
  return _wfopen(path, mode);
}

/* The exit code for this start: how many starts record.txt holds picks the
 * line. */
static int ExitCode(void) {
  int starts = 0, c;
  FILE* record = Open(L"record.txt", L"rb");
  if (record) {
    while ((c = fgetc(record)) != EOF)
      starts += c == '\n';
    fclose(record);
  }
  FILE* codes = Open(L"exit.txt", L"rb");
  int code = 0;
  if (codes) {
    for (int i = 0; i <= starts && fscanf(codes, "%d", &code) == 1; ++i) {
    }
    fclose(codes);
  }
  return code;
}

/* What a failure says, converted from UTF-8 to the console's code page. */
static void WriteError(void) {
  char text[4096] =
      "Add-AppxPackage : Deployment failed with HRESULT: 0x800B0109, A certificate chain "
      "processed, but terminated in a root certificate which is not trusted by the trust "
      "provider.\r\nAt line:1 char:1\r\n+ Add-AppxPackage -Path 'x'\r\n"
      "    + CategoryInfo          : NotSpecified: (:) [Add-AppxPackage], Exception\r\n";
  FILE* error = Open(L"error.txt", L"rb");
  if (error) {
    size_t got = fread(text, 1, sizeof(text) - 1, error);
    text[got] = 0;
    fclose(error);
  }
  wchar_t wide[4096];
  char written[8192];
  int n = MultiByteToWideChar(CP_UTF8, 0, text, -1, wide, 4096);
  UINT code_page = GetConsoleOutputCP() ? GetConsoleOutputCP() : GetOEMCP();
  n = WideCharToMultiByte(code_page, 0, wide, n - 1, written, sizeof(written), NULL, NULL);
  DWORD put;
  WriteFile(GetStdHandle(STD_ERROR_HANDLE), written, n, &put, NULL);
}

int wmain(void) {
  DWORD n = GetModuleFileNameW(NULL, folder, MAX_PATH);
  while (n > 0 && folder[n - 1] != L'\\')
    --n;
  folder[n] = 0;
  int code = ExitCode();
  FILE* record = Open(L"record.txt", L"ab");
  if (record) {
    const wchar_t* line = GetCommandLineW();
    char text[32768];
    int length = WideCharToMultiByte(CP_UTF8, 0, line, -1, text, sizeof(text), NULL, NULL);
    if (length > 0)
      fprintf(record, "%s\n", text);
    fclose(record);
  }
  FILE* consoles = Open(L"consoles.txt", L"ab");
  if (consoles) {
    fprintf(consoles, "%d\n", GetConsoleWindow() != NULL);
    fclose(consoles);
  }
  if (code != 0)
    WriteError();
  return code;
}
