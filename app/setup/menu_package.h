#ifndef ARKIVA_APP_SETUP_MENU_PACKAGE_H_
#define ARKIVA_APP_SETUP_MENU_PACKAGE_H_

#include <string>

// Windows 11's first context menu shows only commands of packaged apps.
// arkiva's is arkiva-shell.dll, which arkiva-shell.msix (a package with an
// external location, signed) declares; registering that package for a user,
// with arkiva's own folder as its external location, puts "Create tar.xz" on
// that user's first menu. PowerShell's Add-AppxPackage registers it, run by
// its full path, hidden. Windows 10 has no such menu, and nothing runs there.

// The package's name, as its manifest declares it.
extern const char kMenuPackageName[];
extern const char kMenuPackageFile[];  // "arkiva-shell.msix", beside arkiva.exe

// Whether this Windows has that menu: build 22000 or later, as the system
// itself reports its build (Windows 11 still says version 6.3 elsewhere).
// POSIX: never.
bool HasPackagedMenu();

// Whether this machine's Explorer can load arkiva-shell.dll, which is built
// for x64: Explorer loads it into a surrogate of the machine's own
// architecture, so on ARM64 the command would be registered and never
// shown. Read with IsWow64Process2 (POSIX: never).
bool MachineRunsMenuHandler();
// The same, by the native machine (an IMAGE_FILE_MACHINE_ value); 0 where
// the system cannot tell, which is a Windows 10 before IsWow64Process2, and
// so an x64 one.
bool HandlerRunsOnMachine(unsigned short native_machine);

struct PackageRegistration {
  // kNotForThisMachine: not tried, as this machine's Explorer cannot load
  // the command.
  enum Outcome { kRegistered, kFailed, kNotForThisMachine } outcome;
  std::string reason;  // why not, in PowerShell's words or the system's
};

// Registers the package in `folder` for this user, with `folder` as its
// external location, after removing arkiva's package where an earlier
// registration left it (a folder that was moved). When this very version is
// registered from `folder` already, nothing is done: Explorer often drops a
// packaged command that was removed and added again until it restarts, and
// every repeated setup and MSI repair would do that.
PackageRegistration RegisterMenuPackage(const std::string& folder);

// Removes arkiva's package for this user; a package that is not there is
// removed too.
PackageRegistration RemoveMenuPackage();

// Removes arkiva's package for every user of the machine (elevated only: the
// MSI's uninstall).
PackageRegistration RemoveMenuPackageForAllUsers();

// The PowerShell commands, each one -Command text. Paths go in single quotes,
// in which PowerShell reads every kind of single quote (' and the typographic
// ones) as the end unless it is doubled.
std::string PowerShellQuoted(const std::string& text);
std::string AddPackageCommand(const std::string& folder);
std::string RemovePackageCommand();
std::string RemovePackageForAllUsersCommand();
// Ends PowerShell with kSameRegistrationExit when `version` of the package
// is registered for this user from `folder`, and in good order.
std::string SameRegistrationCommand(const std::string& folder, const std::string& version);
const int kSameRegistrationExit = 17;  // no PowerShell failure ends with it

// Why a PowerShell command failed, from what it wrote to standard error:
// the error's own lines, without the position and category lines that
// follow them, joined into one.
std::string PowerShellReason(const std::string& errors);

#endif  // ARKIVA_APP_SETUP_MENU_PACKAGE_H_
