#include "app/setup/menu_package.h"

#include "catalogues/translation.h"
#include <windows.h>

#include "host/files/file_size.h"
#include "host/process/subprocess.h"
#include "host/system_error.h"
#include "host/wide_text.h"

namespace {

// Windows' first build with the new menu.
const DWORD kFirstMenuBuild = 22000;
// Registering takes seconds; one that takes minutes has hung.
const int kPowerShellSeconds = 180;

// PowerShell by its full path: a powershell.exe in arkiva's folder or on
// PATH is never run.
std::string PowerShellPath() {
  char folder[MAX_PATH];
  UINT n = GetSystemDirectoryA(folder, MAX_PATH);
  std::string system = n > 0 && n < MAX_PATH ? folder : "C:\\Windows\\System32";
  return system + "\\WindowsPowerShell\\v1.0\\powershell.exe";
}

// What PowerShell wrote, in this process's code page. Windows PowerShell
// writes in its console's code page, the system's OEM one (850 on a German
// Windows, 936 on a Chinese one), and its errors are in the user's
// language. GetOEMCP cannot tell it: arkiva's UTF-8 manifest makes it
// 65001 for this process. Where the system itself is set to UTF-8 (a
// choice of Windows' region settings), the text is valid UTF-8 already.
std::string FromConsoleCodePage(const std::string& text) {
  int size = static_cast<int>(text.size());
  if (text.empty() ||
      MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), size, NULL, 0) > 0)
    return text;
  DWORD code_page = CP_OEMCP;
  GetLocaleInfoW(GetSystemDefaultLCID(), LOCALE_IDEFAULTCODEPAGE | LOCALE_RETURN_NUMBER,
                 reinterpret_cast<LPWSTR>(&code_page), sizeof(code_page) / sizeof(WCHAR));
  int length = MultiByteToWideChar(code_page, 0, text.data(), size, NULL, 0);
  std::wstring wide(length, L'\0');
  MultiByteToWideChar(code_page, 0, text.data(), size, &wide[0], length);
  return Narrow(wide.data(), length);
}

PackageRegistration RunPowerShell(const std::string& command, int* exit_code = nullptr) {
  Subprocess child({.program = PowerShellPath(),
                    .arguments = {"-NoProfile -NonInteractive -Command", {command}}});
  if (!child.Started())
    return {PackageRegistration::kFailed, Translated("PowerShell could not be started: %s",
                                                     {SystemErrorText(child.StartError())})};
  if (!child.Await(kPowerShellSeconds * 1000)) {
    child.Stop();
    child.Finish();
    return {PackageRegistration::kFailed, Translated("PowerShell did not finish in time.")};
  }
  SubprocessEnd end = child.Finish();
  if (exit_code)
    *exit_code = end.exit_code;
  if (end.exit_code == 0)
    return {PackageRegistration::kRegistered, ""};
  std::string reason = PowerShellReason(FromConsoleCodePage(child.ErrorOutput()));
  if (reason.empty())
    reason = Translated("PowerShell failed (exit code %s).", {std::to_string(end.exit_code)});
  return {PackageRegistration::kFailed, reason};
}

}  // namespace

bool HasPackagedMenu() {
  // RtlGetVersion tells the truth where GetVersionEx, without a manifest
  // that names Windows 10, says 6.2.
  typedef LONG(WINAPI * GetVersionFunction)(OSVERSIONINFOW*);
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  GetVersionFunction get_version =
      ntdll ? reinterpret_cast<GetVersionFunction>(
                  reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")))
            : nullptr;
  OSVERSIONINFOW version = {};
  version.dwOSVersionInfoSize = sizeof(version);
  if (!get_version || get_version(&version) != 0)
    return false;
  return version.dwMajorVersion > 10 ||
         (version.dwMajorVersion == 10 && version.dwBuildNumber >= kFirstMenuBuild);
}

bool MachineRunsMenuHandler() {
  // Since Windows 10 1709; before it, an x64 Windows.
  typedef BOOL(WINAPI * MachineFunction)(HANDLE, USHORT*, USHORT*);
  HMODULE kernel32 = GetModuleHandleA("kernel32.dll");
  MachineFunction is_wow64_process2 =
      kernel32 ? reinterpret_cast<MachineFunction>(
                     reinterpret_cast<void*>(GetProcAddress(kernel32, "IsWow64Process2")))
               : nullptr;
  USHORT process_machine = 0, native_machine = 0;
  if (!is_wow64_process2 ||
      !is_wow64_process2(GetCurrentProcess(), &process_machine, &native_machine))
    native_machine = 0;
  return HandlerRunsOnMachine(native_machine);
}

PackageRegistration RegisterMenuPackage(const std::string& folder) {
  std::string package = folder + "\\" + kMenuPackageFile;
  if (QueryFileSize(package.c_str()) == kSizeNothing)
    return {PackageRegistration::kFailed,
            std::string(kMenuPackageFile) + " is not beside arkiva.exe."};
  // A query that fails for any reason only registers again.
  int exit_code = 0;
  RunPowerShell(SameRegistrationCommand(folder, ARKIVA_PACKAGE_VERSION), &exit_code);
  if (exit_code == kSameRegistrationExit)
    return {PackageRegistration::kRegistered, ""};
  return RunPowerShell(AddPackageCommand(folder));
}

PackageRegistration RemoveMenuPackage() {
  return RunPowerShell(RemovePackageCommand());
}

PackageRegistration RemoveMenuPackageForAllUsers() {
  return RunPowerShell(RemovePackageForAllUsersCommand());
}
