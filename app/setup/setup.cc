#include "app/setup/setup.h"

#include <vector>

#include "app/archive/archive.h"
#include "app/setup/menu_package.h"
#include "app/setup/program_trust.h"
#include "catalogues/translation.h"
#include "desktop/desktop_setup.h"
#include "entry_label.h"
#include "host/files/file_size.h"
#include "host/process/program_args.h"
#include "host/ui/message_box.h"
#include "registry/registry.h"

#define FOLDER_SHELL "HKEY_CLASSES_ROOT\\Directory\\shell\\"
#define FILE_SHELL "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\*\\shell\\"
// Windows merges the user's classes into HKEY_CLASSES_ROOT for that user.
#define USER_FOLDER_SHELL "HKEY_CURRENT_USER\\Software\\Classes\\Directory\\shell\\"
#define USER_FILE_SHELL "HKEY_CURRENT_USER\\Software\\Classes\\*\\shell\\"
#ifdef ARKIVA_DROP_TARGET_CLASS
#define DROP_TARGET_CLASS ARKIVA_DROP_TARGET_CLASS
#define ONE_DROP_TARGET_CLASS ARKIVA_ONE_DROP_TARGET_CLASS
#else
#define DROP_TARGET_CLASS ""  // the Linux file managers have no use for it
#define ONE_DROP_TARGET_CLASS ""
#endif
#define CLASSES "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\"
#define USER_CLASSES "HKEY_CURRENT_USER\\Software\\Classes\\CLSID\\"

const char kFolderMenuKey[] = FOLDER_SHELL ARKIVA_ENTRY_LABEL;
const char kUserFolderMenuKey[] = USER_FOLDER_SHELL ARKIVA_ENTRY_LABEL;
const char kDropTargetClass[] = DROP_TARGET_CLASS;
const char kOneDropTargetClass[] = ONE_DROP_TARGET_CLASS;

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
// TRANSLATORS: the setup box's title and first line; "tar.gz" stays.
const char kBoxTitle[] = TRANSLATABLE("Create tar.gz");
const char kSetupFailed[] = TRANSLATABLE("Create tar.gz Context Menu Setup failed");
// Keeps a verb off every menu, and there for callers; earlier builds used it.
const char kHiddenVerbValue[] = "ProgrammaticAccessOnly";

#ifdef _WIN32
// Explorer hands a verb with a DropTarget the whole selection in one call;
// Linux file managers pass it on the command line.
const bool kVerbsHaveDropTarget = true;
const bool kHasInstaller = true;  // the MSI, whose steps arkiva.exe runs
#else
const bool kVerbsHaveDropTarget = false;
const bool kHasInstaller = false;
#endif

struct SetupStep {
  std::string key;
  const char* name;   // the value's name; "" for the key's default value
  std::string value;  // with `name` null: create the key only
};

// Where one set of menu keys goes: for every user, or for this user only.
struct MenuPlace {
  const char* folder_verb;
  const char* file_verb;
  const char* drop_target_class;
  // "Create one tar.xz" (Windows)
  const char* one_folder_verb;
  const char* one_file_verb;
  const char* one_drop_target_class;
};
const MenuPlace kMachine = {FOLDER_SHELL ARKIVA_ENTRY_LABEL,   FILE_SHELL ARKIVA_ENTRY_LABEL,
                            CLASSES DROP_TARGET_CLASS,         FOLDER_SHELL ARKIVA_ONE_ENTRY_LABEL,
                            FILE_SHELL ARKIVA_ONE_ENTRY_LABEL, CLASSES ONE_DROP_TARGET_CLASS};
const MenuPlace kUser = {
    USER_FOLDER_SHELL ARKIVA_ENTRY_LABEL,   USER_FILE_SHELL ARKIVA_ENTRY_LABEL,
    USER_CLASSES DROP_TARGET_CLASS,         USER_FOLDER_SHELL ARKIVA_ONE_ENTRY_LABEL,
    USER_FILE_SHELL ARKIVA_ONE_ENTRY_LABEL, USER_CLASSES ONE_DROP_TARGET_CLASS};

// Beside each verb's command: the class that takes the whole selection, any
// number of items (the Player model), which is arkiva.exe itself as a local
// server, so that nothing is loaded into Explorer. The command stays for
// every other caller.
std::vector<SetupStep> DropTargetSteps(const MenuPlace& place, const std::string& program_path) {
  if (!kVerbsHaveDropTarget)
    return {};
  std::string folder = place.folder_verb, file = place.file_verb, server = place.drop_target_class;
  return {{server, "", kEntryLabel},
          {server + "\\LocalServer32", "", "\"" + program_path + "\""},
          {folder, "MultiSelectModel", "Player"},
          {folder + "\\DropTarget", "Clsid", kDropTargetClass},
          {file, "MultiSelectModel", "Player"},
          {file + "\\DropTarget", "Clsid", kDropTargetClass}};
}

// Windows: the label each user reads, in their own display language, from
// arkiva.exe's string tables, as Explorer loads it. The keys keep the
// English label as their name and default value for every other caller.
std::vector<SetupStep> LabelSteps(const MenuPlace& place, const std::string& program_path) {
  if (!kVerbsHaveDropTarget)
    return {};
  std::string label = "@" + program_path + ",-" + std::to_string(kMenuLabelStringId);
  return {{place.folder_verb, "MUIVerb", label}, {place.file_verb, "MUIVerb", label}};
}

// Windows: "Create one tar.xz" beside the first verb, for folders and all
// files: one archive of the whole selection, which reaches one process
// through a DropTarget class of its own, served by "arkiva.exe --one". Its
// command, for every other caller, archives the one item it names as the
// first verb does. A static verb cannot hide for one item: Explorer shows
// it there too, and it does the same.
std::vector<SetupStep> OneVerbSteps(const MenuPlace& place, const std::string& program_path) {
  if (!kVerbsHaveDropTarget)
    return {};
  std::string folder = place.one_folder_verb, file = place.one_file_verb,
              server = place.one_drop_target_class;
  std::string command = "\"" + program_path + "\" --one \"%1\"";
  std::string label = "@" + program_path + ",-" + std::to_string(kOneMenuLabelStringId);
  return {{folder + "\\command", "", command},
          {file, "", kOneEntryLabel},
          {file + "\\command", "", command},
          {server, "", kOneEntryLabel},
          {server + "\\LocalServer32", "", "\"" + program_path + "\" --one"},
          {folder, "MultiSelectModel", "Player"},
          {folder + "\\DropTarget", "Clsid", kOneDropTargetClass},
          {file, "MultiSelectModel", "Player"},
          {file + "\\DropTarget", "Clsid", kOneDropTargetClass},
          {folder, "MUIVerb", label},
          {file, "MUIVerb", label}};
}

// `steps` with what Windows adds in `place` after the first verb's command:
// its DropTarget, its label, and "Create one tar.xz".
std::vector<SetupStep> WithWindowsSteps(std::vector<SetupStep> steps, const MenuPlace& place,
                                        const std::string& program_path) {
  for (const auto& more : {DropTargetSteps(place, program_path), LabelSteps(place, program_path),
                           OneVerbSteps(place, program_path)})
    steps.insert(steps.end(), more.begin(), more.end());
  return steps;
}

// The verbs for this user only, under HKEY_CURRENT_USER\Software\Classes.
std::vector<SetupStep> UserSteps(const std::string& program_path) {
  std::string command = MenuCommand(program_path);
  return WithWindowsSteps({{kUserFolderCommandKey, "", command},
                           {kUserFileMenuKey, "", kEntryLabel},
                           {kUserFileCommandKey, "", command}},
                          kUser, program_path);
}

// Runs every step, even after a failure; the first failure's key and reason
// land in *failed_key and *reason. True when all succeeded.
bool WriteKeys(const std::vector<SetupStep>& steps, std::string* failed_key, std::string* reason) {
  for (const SetupStep& step : steps) {
    std::string why;
    int ok = step.name ? RegistryCreateAndSetValue(step.key.c_str(), step.name, step.value.c_str(),
                                                   1, ".", &why)
                       : RegistryCreateKey(step.key.c_str(), ".", &why);
    if (!ok && failed_key->empty()) {
      *failed_key = step.key;
      *reason = why;
    }
  }
  return failed_key->empty();
}

// Removes this user's verbs when they are the hidden copy (marked
// ProgrammaticAccessOnly) that earlier builds wrote on Windows 11 once the
// package was registered; true when there was one. Hidden there, they kept
// the entry off every menu that shows only static verbs (the classic menu,
// other file managers, the file dialogs), and off the first menu too
// whenever Explorer had not yet picked up the package.
bool UserVerbsAreHidden() {
  std::string hidden;
  return RegistryReadText(kUserFolderMenuKey, kHiddenVerbValue, ".", &hidden) != 0;
}

bool RemoveHiddenUserVerbs() {
  if (!UserVerbsAreHidden())
    return false;
  RegistryDeleteKeyTree(kUserFolderMenuKey, ".");
  RegistryDeleteKeyTree(kUserFileMenuKey, ".");
  RegistryDeleteKeyTree(kUser.drop_target_class, ".");
  RegistryDeleteKeyTree(kUser.one_folder_verb, ".");
  RegistryDeleteKeyTree(kUser.one_file_verb, ".");
  RegistryDeleteKeyTree(kUser.one_drop_target_class, ".");
  return true;
}

// Windows 11: the package puts the entry on the first menu; the static
// verbs stay as they are, and show it once more under "Show more options",
// as every peer's do. A hidden copy an earlier build left goes first, and
// where the user's keys are this setup's own (`users_own`, the fallback for
// a user without rights for all users) they are written again, plainly.
PackageRegistration PutOnFirstMenu(const std::string& program_path, bool users_own) {
  std::string failed_key, reason;
  if (RemoveHiddenUserVerbs() && users_own)
    WriteKeys(UserSteps(program_path), &failed_key, &reason);
  if (!MachineRunsMenuHandler())
    return {PackageRegistration::kNotForThisMachine,
            Translated("arkiva-shell.dll runs on x64 Windows only.")};
  return RegisterMenuPackage(ProgramFolder(program_path));
}

// The setup box's line for Windows 11's first menu; nothing elsewhere.
std::string FirstMenuNote(const std::string& program_path, bool users_own) {
  if (!HasPackagedMenu())
    return "";
  PackageRegistration registration = PutOnFirstMenu(program_path, users_own);
  if (registration.outcome == PackageRegistration::kRegistered)
    return "\n" + Translated("Create tar.xz is on the Windows 11 context menu.");
  if (registration.outcome == PackageRegistration::kNotForThisMachine)
    return "\n" +
           Translated("On Windows 11 it is under \"Show more options\": %s", {registration.reason});
  return "\n" + Translated(
                    "On Windows 11 it is under \"Show more options\": its package could "
                    "not be registered: %s",
                    {registration.reason});
}

// Gives the Linux file managers the entry too (nothing on Windows) and
// confirms. An entry that could not be written fails the setup: the folder
// menu key goes again, so that the next start retries, and the box says
// which entry and why, beside those that are in place.
int ConfirmSetup(const std::string& program_path, const std::string& note) {
  DesktopSetup desktop = SetUpDesktopEntries(program_path);
  std::string managers = desktop.set_up.empty() ? ""
                                                : "\n" + Translated("Create tar.xz is now in %s.",
                                                                    {JoinNames(desktop.set_up)});
  if (!desktop.failures.empty()) {
    RegistryDeleteKeyTree(kFolderMenuKey, ".");
    RegistryDeleteKeyTree(kUserFolderMenuKey, ".");
    std::string text = Translated(kSetupFailed);
    for (const std::string& failure : desktop.failures)
      text += "\n" + failure;
    ShowMessageBox(Translated(kBoxTitle).c_str(), (text + managers).c_str(), kBoxError);
    return 1;
  }
  ShowMessageBox(Translated(kBoxTitle).c_str(),
                 (Translated("Create tar.gz Context Menu Setup OK") + note + managers).c_str());
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

bool MenuIsOnlyInstalled() {
#ifdef _WIN32
  // The MSI writes the machine-wide keys, which every user's Explorer reads:
  // nothing is left for a user's own setup.
  return false;
#else
  // Installed for every user: the package's store holds the key, the user's
  // does not until this user has set up.
  return RegistryKeyIsOnlyInstalled(kFolderMenuKey);
#endif
}

bool MenuNeedsSetup() {
  // Gone, not merely out of reach: a program on a drive that is not ready
  // (a USB stick, a share) works again once the drive is back.
  std::string program = RegisteredProgram(), unreachable;
  bool gone = !program.empty() && QueryFileSize(program.c_str(), &unreachable) == kSizeNothing &&
              unreachable.empty();
  return gone || MenuIsOnlyInstalled() || UserVerbsAreHidden();
}

std::string MenuCommand(const std::string& program_path) {
  return "\"" + program_path + "\" \"%1\"";
}

bool WriteMenuKeys(const std::string& program_path, std::string* failed_key, std::string* reason) {
  std::string command = MenuCommand(program_path);
  std::vector<SetupStep> steps = WithWindowsSteps({{kFolderCommandKey, nullptr, ""},
                                                   {kFolderCommandKey, "", command},
                                                   {kFileMenuKey, nullptr, ""},
                                                   {kFileMenuKey, "", kEntryLabel},
                                                   {kFileCommandKey, nullptr, ""},
                                                   {kFileCommandKey, "", command}},
                                                  kMachine, program_path);
  return WriteKeys(steps, failed_key, reason);
}

int RegisterContextMenu(const std::string& program_path) {
  // What runs that died left is cleared first, and told in the box.
  std::string cleared = ClearWhatDeadRunsLeft();
  if (!cleared.empty())
    cleared = "\n" + cleared;
  // Programs that others than administrators may change are never made
  // every user's: the entry is this user's, and the box says why.
  std::string only_this_user = WhyNotForAllUsers(program_path);
  std::string failed_key, reason;
  if (only_this_user.empty()) {
    bool file_key_was_there = RegistryKeyExists(kFileMenuKey, ".");
    if (WriteMenuKeys(program_path, &failed_key, &reason))
      return ConfirmSetup(program_path, FirstMenuNote(program_path, false) + cleared);
    // Setup ran because the folder menu key was absent: take it away again,
    // so that the next start (with the rights it lacked) runs Setup mode
    // once more instead of taking a half-written registration for a
    // finished one. The class goes too, whoever wrote it first: it now
    // names this user's program for every user, and serves only the
    // machine-wide verbs.
    RegistryDeleteKeyTree(kFolderMenuKey, ".");
    if (!file_key_was_there)
      RegistryDeleteKeyTree(kFileMenuKey, ".");
    if (kVerbsHaveDropTarget)
      RegistryDeleteKeyTree(kMachine.drop_target_class, ".");
    only_this_user =
        Translated("Set up for this user only: %s could not be written for all users: %s",
                   {failed_key, reason});
  }

  // Without the rights for all users (a standard user, or an administrator
  // whose double-click runs unelevated), the entry can still be this user's.
  std::string user_failed_key, user_reason;
  if (WriteKeys(UserSteps(program_path), &user_failed_key, &user_reason)) {
    return ConfirmSetup(program_path,
                        "\n" + only_this_user + FirstMenuNote(program_path, true) + cleared);
  }
  RegistryDeleteKeyTree(kUserFolderMenuKey, ".");
  std::string why = failed_key.empty()
                        ? only_this_user + "\n" + user_failed_key + ": " + user_reason
                        : failed_key + ": " + reason;
  std::string text = Translated(kSetupFailed) + "\n" + why + cleared;
  ShowMessageBox(Translated(kBoxTitle).c_str(), text.c_str(), kBoxError);
  return 1;
}

int RunInstallerStep() {
  if (!kHasInstaller)
    return -1;
  if (SkipArgument("--add-package")) {
    if (!HasPackagedMenu())
      return 0;
    PackageRegistration registration = PutOnFirstMenu(OwnProgramPath(), false);
    return registration.outcome == PackageRegistration::kRegistered ? 0 : 1;
  }
  bool all_users = SkipArgument("--remove-package-for-all-users");
  if (!all_users && !SkipArgument("--remove-package"))
    return -1;
  if (!HasPackagedMenu())
    return 0;
  PackageRegistration removal = all_users ? RemoveMenuPackageForAllUsers() : RemoveMenuPackage();
  RemoveHiddenUserVerbs();
  return removal.outcome == PackageRegistration::kRegistered ? 0 : 1;
}
