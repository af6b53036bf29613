#ifndef ARKIVA_APP_SETUP_PROGRAM_TRUST_H_
#define ARKIVA_APP_SETUP_PROGRAM_TRUST_H_

#include <string>
#include <vector>

// A machine-wide menu makes every user, administrators included, run the
// arkiva.exe, tar.exe and xz.exe in arkiva's folder. That is safe only where
// no one but administrators can change them: Program Files is such a folder;
// a new folder under C:\ is not (Authenticated Users may modify what is made
// there), nor a user's Downloads.

// Why the programs beside `program_path` (arkiva.exe) are not for every user
// to run, in words for the user; "" when only SYSTEM, TrustedInstaller and
// administrators can change the folder and each of the three. POSIX: "".
#ifdef _WIN32
std::string WhyNotForAllUsers(const std::string& program_path);

// Who may change a file or folder with the security descriptor `descriptor`
// beyond SYSTEM, TrustedInstaller, Administrators and `own_sid` (the user
// running setup when an administrator, or null): its owner, who may always
// rewrite its permissions, and each one an allow ACE that applies to it
// lets write, add, delete or change permissions or owner. Deny ACEs are not
// counted, which can only add names. SIDs as text ("S-1-5-11"), each once;
// "S-1-1-0" (Everyone) for a descriptor without a DACL.
std::vector<std::string> OtherWriters(const void* descriptor, const void* own_sid);
#else
// A package installs for every user; a user's own setup is theirs alone.
inline std::string WhyNotForAllUsers(const std::string&) {
  return "";
}
#endif

#endif  // ARKIVA_APP_SETUP_PROGRAM_TRUST_H_
