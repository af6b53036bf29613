#include "windows11/menu_package.h"

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

std::string AddPackageCommand(const std::string& folder) {
  std::string package = folder + "\\" + kMenuPackageFile;
  return RemovePackageCommand() + "; Add-AppxPackage -Path " + PowerShellQuoted(package) +
         " -ExternalLocation " + PowerShellQuoted(folder);
}

std::string PowerShellReason(const std::string& errors) {
  std::string reason;
  for (size_t start = 0; start < errors.size();) {
    size_t end = errors.find('\n', start);
    if (end == std::string::npos)
      end = errors.size();
    std::string line = errors.substr(start, end - start);
    start = end + 1;
    while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
      line.pop_back();
    if (line.compare(0, 8, "At line:") == 0 || line.compare(0, 2, "+ ") == 0 ||
        line.compare(0, 4, "    ") == 0)
      break;
    if (!line.empty())
      reason += (reason.empty() ? "" : " ") + line;
  }
  return reason;
}
