/* Prints the arguments the Windows C runtime splits from this program's
 * command line, one per line, each as UTF-8 in hex. */
#include <stdio.h>
#include <windows.h>

int wmain(int argc, wchar_t** argv) {
  for (int i = 1; i < argc; ++i) {
    char utf8[4096];
    int n = WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, utf8, sizeof(utf8), NULL, NULL);
    for (int j = 0; j + 1 < n; ++j)
      printf("%02x", (unsigned char)utf8[j]);
    printf("\n");
  }
  return 0;
}
