// A user's first hours with the release, on a Windows without tar or xz:
//   shell_start.exe ARKIVA_EXE FOLDER FILE
// starts ARKIVA_EXE once (the first start: the setup box, pressed OK), then
// starts the commands it registered for folders and for files the way the
// shell does, on FOLDER and FILE. With "-" for ARKIVA_EXE (installed by the
// MSI) there is no first start, and no setup box may appear at all.
// The caller checks the archives. Prints one line per step; exits 0 when
// every step did what a user expects.
#include <stdio.h>

#include <string>

#include "tests/box_watch.h"
#include "tests/test_util.h"

namespace {

// A stock PATH: nothing that the release does not bring itself.
const char kStockPath[] = "PATH=C:\\windows\\system32;C:\\windows";

int ShellStart(const char* command_key, const std::string& item) {
  std::string value = RegistryValueText(command_key, "");
  if (value.compare(0, 2, "1:") != 0) {  // REG_SZ
    printf("no command under %s: %s\n", command_key, value.c_str());
    return -1;
  }
  std::string command = value.substr(2, value.find('\0') - 2);
  size_t at = command.find("%1");
  if (at == std::string::npos)
    return -1;
  command.replace(at, 2, item);
  printf("shell runs: %s\n", command.c_str());
  return RunCommandLine(command, "C:\\windows\\system32", nullptr, {kStockPath});
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    fprintf(stderr, "usage: shell_start ARKIVA_EXE FOLDER FILE\n");
    return 2;
  }
  std::string arkiva = argv[1];
  bool ok = true;
  BoxWatch watch("Create tar.gz");
  if (arkiva != "-") {
    int code = RunCommandLine("\"" + arkiva + "\"", "", nullptr, {kStockPath});
    const BoxWatch::Seen& seen = watch.Join();
    printf("first start: exit %d, box \"%s\"\n", code, seen.found ? seen.text.c_str() : "(none)");
    ok = code == 0 && seen.text == "Create tar.gz Context Menu Setup OK";
  }

  int code = ShellStart("HKEY_CLASSES_ROOT\\Directory\\shell\\Create tar.xz\\command", argv[2]);
  printf("folder: exit %d\n", code);
  ok = ok && code == 0;
  code = ShellStart("HKEY_CLASSES_ROOT\\*\\shell\\Create tar.xz\\command", argv[3]);
  printf("file: exit %d\n", code);
  ok = ok && code == 0;
  if (arkiva == "-") {
    const BoxWatch::Seen& seen = watch.Stop();
    printf("setup box: %s\n", seen.found ? seen.text.c_str() : "(none)");
    ok = ok && !seen.found;
  }
  return ok ? 0 : 1;
}
