#include "app/setup.h"

#include "host/entry_label.h"
#include "desktop/desktop_setup.h"
#include "host/file_size.h"
#include "host/message_box.h"
#include "host/program_args.h"
#include "registry/registry.h"

#include <vector>

#define FOLDER_SHELL "HKEY_CLASSES_ROOT\\Directory\\shell\\"
#define FILE_SHELL "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\*\\shell\\"
// Windows merges the user's classes into HKEY_CLASSES_ROOT for that user.
#define USER_FOLDER_SHELL "HKEY_CURRENT_USER\\Software\\Classes\\Directory\\shell\\"
#define USER_FILE_SHELL "HKEY_CURRENT_USER\\Software\\Classes\\*\\shell\\"

const char kFolderMenuKey[] = FOLDER_SHELL ARKIVA_ENTRY_LABEL;
const char kUserFolderMenuKey[] = USER_FOLDER_SHELL ARKIVA_ENTRY_LABEL;

namespace {

const char kFolderCommandKey[] = FOLDER_SHELL ARKIVA_ENTRY_LABEL "\\command";
const char kFileMenuKey[] = FILE_SHELL ARKIVA_ENTRY_LABEL;
const char kFileCommandKey[] = FILE_SHELL ARKIVA_ENTRY_LABEL "\\command";
const char kUserFolderCommandKey[] = USER_FOLDER_SHELL ARKIVA_ENTRY_LABEL "\\command";
const char kUserFileMenuKey[] = USER_FILE_SHELL ARKIVA_ENTRY_LABEL;
const char kUserFileCommandKey[] = USER_FILE_SHELL ARKIVA_ENTRY_LABEL "\\command";
// The setup box says "Create tar.gz", not the entry's label: it is the text
// users have seen, and scripts may wait for, since the first release; it
// stays as it is.
const char kBoxTitle[] = "Create tar.gz";

struct SetupStep {
  const char* key;
  const char* value;  // null: create the key only
};

// Runs every step, even after a failure; the first failure's key and reason
// land in *failed_key and *reason. True when all succeeded.
bool WriteKeys(const std::vector<SetupStep>& steps, std::string* failed_key, std::string* reason) {
  for (const SetupStep& step : steps) {
    std::string why;
    int ok = step.value ? RegistryCreateAndSetValue(step.key, "", step.value, 1, ".", &why)
                        : RegistryCreateKey(step.key, ".", &why);
    if (!ok && failed_key->empty()) {
      *failed_key = step.key;
      *reason = why;
    }
  }
  return failed_key->empty();
}

// Gives the Linux file managers the entry too (nothing on Windows) and
// confirms. An entry that could not be written fails the setup: the folder
// menu key goes again, so that the next start retries, and the box says
// which entry and why, beside those that are in place.
int ConfirmSetup(const std::string& program_path, const std::string& note) {
  DesktopSetup desktop = SetUpDesktopEntries(program_path);
  std::string managers =
      desktop.set_up.empty() ? "" : "\nCreate tar.xz is now in " + JoinNames(desktop.set_up) + ".";
  if (!desktop.failures.empty()) {
    RegistryDeleteKeyTree(kFolderMenuKey, ".");
    RegistryDeleteKeyTree(kUserFolderMenuKey, ".");
    std::string text = "Create tar.gz Context Menu Setup failed";
    for (const std::string& failure : desktop.failures)
      text += "\n" + failure;
    ShowMessageBox(kBoxTitle, (text + managers).c_str(), kBoxError);
    return 1;
  }
  ShowMessageBox(kBoxTitle, ("Create tar.gz Context Menu Setup OK" + note + managers).c_str());
  return 0;
}

}  // namespace

bool MenuIsRegistered() {
  return RegistryKeyExists(kFolderMenuKey, ".") || RegistryKeyExists(kUserFolderMenuKey, ".");
}

std::string RegisteredProgram() {
  std::string command;
  if (!RegistryReadText(kUserFolderCommandKey, "", ".", &command))
    RegistryReadText(kFolderCommandKey, "", ".", &command);
  std::vector<std::string> tokens = SplitCommandLine(command.c_str());
  return tokens.empty() ? "" : tokens[0];
}

bool MenuNeedsSetup() {
  // Gone, not merely out of reach: a program on a drive that is not ready
  // (a USB stick, a share) works again once the drive is back.
  std::string program = RegisteredProgram(), unreachable;
  bool gone = !program.empty() && QueryFileSize(program.c_str(), &unreachable) == kSizeNothing &&
              unreachable.empty();
  return gone || MenuIsOnlyInstalled();
}

std::string MenuCommand(const std::string& program_path) {
  return "\"" + program_path + "\" \"%1\"";
}

bool WriteMenuKeys(const std::string& program_path, std::string* failed_key, std::string* reason) {
  std::string command = MenuCommand(program_path);
  return WriteKeys({{kFolderCommandKey, nullptr},
                    {kFolderCommandKey, command.c_str()},
                    {kFileMenuKey, nullptr},
                    {kFileMenuKey, kEntryLabel},
                    {kFileCommandKey, nullptr},
                    {kFileCommandKey, command.c_str()}},
                   failed_key, reason);
}

int RegisterContextMenu(const std::string& program_path) {
  std::string command = MenuCommand(program_path);
  bool file_key_was_there = RegistryKeyExists(kFileMenuKey, ".");
  std::string failed_key, reason;
  if (WriteMenuKeys(program_path, &failed_key, &reason))
    return ConfirmSetup(program_path, "");
  // Setup ran because the folder menu key was absent: take it away again, so
  // that the next start (with the rights it lacked) runs Setup mode once more
  // instead of taking a half-written registration for a finished one.
  RegistryDeleteKeyTree(kFolderMenuKey, ".");
  if (!file_key_was_there)
    RegistryDeleteKeyTree(kFileMenuKey, ".");

  // Without the rights for all users (a standard user, or an administrator
  // whose double-click runs unelevated), the entry can still be this user's.
  std::string user_failed_key, user_reason;
  if (WriteKeys({{kUserFolderCommandKey, command.c_str()},
                 {kUserFileMenuKey, kEntryLabel},
                 {kUserFileCommandKey, command.c_str()}},
                &user_failed_key, &user_reason)) {
    return ConfirmSetup(program_path, "\nSet up for this user only: " + failed_key +
                                          " could not be written for all users: " + reason);
  }
  RegistryDeleteKeyTree(kUserFolderMenuKey, ".");
  std::string text = "Create tar.gz Context Menu Setup failed\n" + failed_key + ": " + reason;
  ShowMessageBox(kBoxTitle, text.c_str(), kBoxError);
  return 1;
}
