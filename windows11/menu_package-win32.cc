#include "windows11/menu_package.h"

#include <windows.h>

#include "host/files/file_size.h"
#include "host/process/subprocess.h"
#include "host/system_error.h"

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

PackageRegistration RunPowerShell(const std::string& command) {
  std::string program = PowerShellPath();
  Subprocess child(program.c_str(), {"-NoProfile -NonInteractive -Command", {command}}, "",
                   kHiddenWindow, {});
  if (!child.Started())
    return {PackageRegistration::kFailed,
            "PowerShell could not be started: " + SystemErrorText(child.StartError())};
  if (!child.Await(kPowerShellSeconds * 1000)) {
    child.Stop();
    child.Finish();
    return {PackageRegistration::kFailed, "PowerShell did not finish in time."};
  }
  SubprocessEnd end = child.Finish();
  if (end.exit_code == 0)
    return {PackageRegistration::kRegistered, ""};
  std::string reason = PowerShellReason(child.ErrorOutput());
  if (reason.empty())
    reason = "PowerShell failed (exit code " + std::to_string(end.exit_code) + ").";
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

PackageRegistration RegisterMenuPackage(const std::string& folder) {
  std::string package = folder + "\\" + kMenuPackageFile;
  if (QueryFileSize(package.c_str()) == kSizeNothing)
    return {PackageRegistration::kFailed,
            std::string(kMenuPackageFile) + " is not beside arkiva.exe."};
  return RunPowerShell(AddPackageCommand(folder));
}

PackageRegistration RemoveMenuPackage() {
  return RunPowerShell(RemovePackageCommand());
}
