#include "app/setup/menu_package.h"

#include <vector>

#include "catalogues/translation.h"
#include "host/lines.h"

const char kMenuPackageName[] = "arkiva.shell";
const char kMenuPackageFile[] = "arkiva-shell.msix";

std::string PowerShellQuoted(const std::string& text) {
  // ' and U+2018 to U+201B, which PowerShell takes for it.
  static const char* const kQuotes[] = {"'", "\xE2\x80\x98", "\xE2\x80\x99", "\xE2\x80\x9A",
                                        "\xE2\x80\x9B"};
  std::string quoted = "'";
  for (size_t i = 0; i < text.size();) {
    size_t length = 1;
    for (const char* quote : kQuotes) {
      std::string q = quote;
      if (text.compare(i, q.size(), q) == 0) {
        quoted += q;  // doubled
        length = q.size();
        break;
      }
    }
    quoted += text.substr(i, length);
    i += length;
  }
  return quoted + "'";
}

std::string RemovePackageCommand() {
  return "Get-AppxPackage -Name " + PowerShellQuoted(kMenuPackageName) + " | Remove-AppxPackage";
}

std::string RemovePackageForAllUsersCommand() {
  return "Get-AppxPackage -AllUsers -Name " + PowerShellQuoted(kMenuPackageName) +
         " | Remove-AppxPackage -AllUsers";
}

std::string SameRegistrationCommand(const std::string& folder, const std::string& version) {
  // -eq compares text without regard to case, as Windows compares paths.
  return "if (Get-AppxPackage -Name " + PowerShellQuoted(kMenuPackageName) +
         " | Where-Object { $_.Version -eq " + PowerShellQuoted(version) +
         " -and $_.InstallLocation -eq " + PowerShellQuoted(folder) +
         " -and $_.Status -eq 'Ok' }) { exit " + std::to_string(kSameRegistrationExit) + " }";
}

bool HandlerRunsOnMachine(unsigned short native_machine) {
  const unsigned short kUnknown = 0, kAmd64 = 0x8664;  // IMAGE_FILE_MACHINE_
  return native_machine == kUnknown || native_machine == kAmd64;
}

std::string AddPackageCommand(const std::string& folder) {
  std::string package = folder + "\\" + kMenuPackageFile;
  return RemovePackageCommand() + "; Add-AppxPackage -Path " + PowerShellQuoted(package) +
         " -ExternalLocation " + PowerShellQuoted(folder);
}

std::string PowerShellReason(const std::string& errors) {
  std::vector<std::string> lines;
  for (std::string line : SplitLines(errors)) {
    while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
      line.pop_back();
    // The position line comes before the code it quotes ("+ "), in the
    // user's language ("At line:1 char:1", "In Zeile:1 Zeichen:1"); the
    // category lines are indented.
    if (line.compare(0, 2, "+ ") == 0) {
      if (!lines.empty())
        lines.pop_back();
      break;
    }
    if (line.compare(0, 8, "At line:") == 0 || line.compare(0, 4, "    ") == 0)
      break;
    if (!line.empty())
      lines.push_back(line);
  }
  std::string reason;
  for (const std::string& line : lines)
    reason += (reason.empty() ? "" : " ") + line;
  return reason;
}

#ifndef _WIN32

// The Linux file managers have no packaged menu.
bool HasPackagedMenu() {
  return false;
}

PackageRegistration RegisterMenuPackage(const std::string&) {
  return {PackageRegistration::kFailed, Translated("only Windows 11 has such a menu.")};
}

PackageRegistration RemoveMenuPackage() {
  return {PackageRegistration::kRegistered, ""};
}

PackageRegistration RemoveMenuPackageForAllUsers() {
  return {PackageRegistration::kRegistered, ""};
}

bool MachineRunsMenuHandler() {
  return false;
}
#endif
