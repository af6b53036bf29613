/* Takes the place of powershell.exe in a Wine prefix, whose own is a stub
 * that does nothing. Appends its command line, in UTF-8, to record.txt
 * beside it, then exits with the number in exit.txt beside it (0 without
 * one); a failure says on standard error what Add-AppxPackage says of a
 * package whose signer is not trusted. */
#include <stdio.h>
#include <stdlib.h>
#include <wchar.h>
#include <windows.h>

int wmain(void) {
  wchar_t folder[MAX_PATH];
  DWORD n = GetModuleFileNameW(NULL, folder, MAX_PATH);
  while (n > 0 && folder[n - 1] != L'\\')
    --n;
  folder[n] = 0;
  wchar_t path[MAX_PATH + 16];
  swprintf(path, MAX_PATH + 16, L"%lsrecord.txt", folder);
  FILE* record = _wfopen(path, L"ab");
  if (record) {
    const wchar_t* line = GetCommandLineW();
    char text[32768];
    int length = WideCharToMultiByte(CP_UTF8, 0, line, -1, text, sizeof(text), NULL, NULL);
    if (length > 0)
      fprintf(record, "%s\n", text);
    fclose(record);
  }
  swprintf(path, MAX_PATH + 16, L"%lsexit.txt", folder);
  FILE* exit_file = _wfopen(path, L"rb");
  int code = 0;
  if (exit_file) {
    if (fscanf(exit_file, "%d", &code) != 1)
      code = 0;
    fclose(exit_file);
  }
  if (code != 0)
    fprintf(stderr,
            "Add-AppxPackage : Deployment failed with HRESULT: 0x800B0109, A certificate chain "
            "processed, but terminated in a root certificate which is not trusted by the trust "
            "provider.\r\nAt line:1 char:1\r\n+ Add-AppxPackage -Path 'x'\r\n"
            "    + CategoryInfo          : NotSpecified: (:) [Add-AppxPackage], Exception\r\n");
  return code;
}
