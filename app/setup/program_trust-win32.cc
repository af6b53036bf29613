#include "app/setup/program_trust.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <algorithm>

#include "catalogues/translation.h"
#include "host/process/program_args.h"
#include "host/system_error.h"
#include "host/wide_text.h"

namespace {

// What lets a holder replace a program or put one beside it: write, add a
// file or folder, delete it or a child, change its permissions or owner.
const DWORD kChangeRights = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_DELETE_CHILD | DELETE |
                            WRITE_DAC | WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;

const char* const kTrusted[] = {
    "S-1-5-18",                                                       // SYSTEM
    "S-1-5-32-544",                                                   // Administrators
    "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464"  // TrustedInstaller
};

std::string SidText(PSID sid) {
  char* text = nullptr;
  if (!ConvertSidToStringSidA(sid, &text))
    return "?";
  std::string result = text;
  LocalFree(text);
  return result;
}

bool Trusted(PSID sid, PSID own) {
  if (own && EqualSid(sid, own))
    return true;
  std::string text = SidText(sid);
  return std::find(std::begin(kTrusted), std::end(kTrusted), text) != std::end(kTrusted);
}

// The user running this, when the token counts them among the
// administrators (elevated; Wine's user always is); else null.
std::vector<BYTE> OwnSidIfAdministrator() {
  BYTE administrators[SECURITY_MAX_SID_SIZE];
  DWORD size = sizeof(administrators);
  BOOL member = FALSE;
  HANDLE token = NULL;
  std::vector<BYTE> user(256);
  DWORD got = 0;
  if (!CreateWellKnownSid(WinBuiltinAdministratorsSid, NULL, administrators, &size) ||
      !CheckTokenMembership(NULL, administrators, &member) || !member ||
      !OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
    return {};
  bool known = GetTokenInformation(token, TokenUser, user.data(), user.size(), &got);
  CloseHandle(token);
  if (!known)
    return {};
  PSID sid = reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid;
  return std::vector<BYTE>(static_cast<BYTE*>(sid), static_cast<BYTE*>(sid) + GetLengthSid(sid));
}

// "Authenticated Users", or the SID's text when it has no name here.
std::string AccountName(const std::string& sid_text) {
  PSID sid = nullptr;
  if (!ConvertStringSidToSidA(sid_text.c_str(), &sid))
    return sid_text;
  wchar_t name[256], domain[256];
  DWORD name_size = 256, domain_size = 256;
  SID_NAME_USE use;
  bool named = LookupAccountSidW(NULL, sid, name, &name_size, domain, &domain_size, &use);
  LocalFree(sid);
  return named ? Narrow(std::wstring(name, name_size)) : sid_text;
}

}  // namespace

std::vector<std::string> OtherWriters(const void* descriptor, const void* own_sid) {
  std::vector<std::string> writers;
  auto add = [&](PSID sid) {
    std::string text = SidText(sid);
    if (!Trusted(sid, const_cast<void*>(own_sid)) &&
        std::find(writers.begin(), writers.end(), text) == writers.end())
      writers.push_back(text);
  };
  PSECURITY_DESCRIPTOR sd = const_cast<void*>(descriptor);
  PSID owner = nullptr;
  BOOL defaulted = FALSE, present = FALSE;
  if (GetSecurityDescriptorOwner(sd, &owner, &defaulted) && owner)
    add(owner);
  PACL dacl = nullptr;
  if (!GetSecurityDescriptorDacl(sd, &present, &dacl, &defaulted) || !present || !dacl) {
    writers.push_back("S-1-1-0");  // no DACL: everyone may do anything
    return writers;
  }
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    ACE_HEADER* ace = nullptr;
    if (!GetAce(dacl, i, reinterpret_cast<void**>(&ace)) ||
        ace->AceType != ACCESS_ALLOWED_ACE_TYPE || (ace->AceFlags & INHERIT_ONLY_ACE))
      continue;
    ACCESS_ALLOWED_ACE* allowed = reinterpret_cast<ACCESS_ALLOWED_ACE*>(ace);
    if (allowed->Mask & kChangeRights)
      add(&allowed->SidStart);
  }
  return writers;
}

std::string WhyNotForAllUsers(const std::string& program_path) {
  std::string folder = ProgramFolder(program_path);
  std::vector<BYTE> own = OwnSidIfAdministrator();
  for (const std::string& path :
       {folder, program_path, folder + "\\tar.exe", folder + "\\xz.exe"}) {
    PSECURITY_DESCRIPTOR sd = nullptr;
    DWORD error = GetNamedSecurityInfoW(Wide(path).c_str(), SE_FILE_OBJECT,
                                        OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                        NULL, NULL, NULL, NULL, &sd);
    // A program that is not there is never run; one whose permissions
    // cannot be read is not known to be safe.
    if (error == ERROR_FILE_NOT_FOUND)
      continue;
    std::string names;
    if (error == ERROR_SUCCESS)
      for (const std::string& writer : OtherWriters(sd, own.empty() ? nullptr : own.data()))
        names += (names.empty() ? "" : ", ") + AccountName(writer);
    else
      names = SystemErrorText(error);
    LocalFree(sd);
    if (names.empty())
      continue;
    return Translated(
        "Set up for this user only: \"%1$s\" may be changed by %2$s, not by administrators "
        "alone, and every user would run what it holds.",
        {path, names});
  }
  return "";
}
