#include "app/setup/setup.h"
#include "app/setup/program_trust.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <unistd.h>
#endif
#include <string.h>

#include "host/process/program_args.h"
#ifdef _WIN32
#include <windows.h>
#include <sddl.h>
#include <shlwapi.h>

#include <algorithm>

#include "host/wide_text.h"
#endif
#include "registry/registry.h"
#include "tests/box_watch.h"
#include "tests/test_util.h"

#ifndef _WIN32
#include <stdlib.h>
#include "registry/store.h"
#endif

namespace {

const char kFolderCommand[] = "HKEY_CLASSES_ROOT\\Directory\\shell\\Create tar.xz\\command";
const char kFileKey[] = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\*\\shell\\Create tar.xz";
const char kFileCommand[] =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\*\\shell\\Create tar.xz\\command";

}  // namespace

// arkiva as a user meets it: the first start registers the menu, later starts
// run the registered command the way the shell does.
class SetupRun : public ::testing::Test {
 protected:
  void SetUp() override {
#ifdef _WIN32
    arkiva = BuildPath("arkiva.exe");
    RemoveMenuKeys(true);
#else
    arkiva = BuildPath("arkiva");
    setenv("ARKIVA_REGISTRY", (dir / "registry.reg").c_str(), 1);
    // The desktop entries go to a home of the test's own.
    setenv("HOME", (dir / "home").c_str(), 1);
    for (const char* xdg : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_DATA_DIRS", "XDG_CONFIG_DIRS"})
      unsetenv(xdg);
#endif
  }
#ifdef _WIN32
  // Archive runs of other tests need the folder menu key (and a lasting
  // Directory\shell to hold it).
  void TearDown() override {
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software\\Classes\\*\\shell\\Create tar.xz");
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software\\Classes\\*\\shell\\Create one tar.xz");
    RemoveUserKeys();
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software\\Classes\\Directory\\shell");
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\Classes\\Directory\\shell");
    for (const char* server : {kDropTargetClass, kOneDropTargetClass})
      RegDeleteTreeA(HKEY_LOCAL_MACHINE,
                     (std::string("Software\\Classes\\CLSID\\") + server).c_str());
    RegistryCreateKey(kFolderMenuKey, ".");
  }

  // Beside each verb's command, the class that takes the whole selection:
  // this arkiva.exe as a local server ("Create one tar.xz": arkiva.exe
  // --one). `classes` is where the keys are.
  void ExpectDropTarget(const std::string& classes) {
    const struct {
      std::string label, server_class, label_id, server, command;
    } verbs[] = {
        {"Create tar.xz", kDropTargetClass, "-1", "\"" + arkiva + "\"",
         "\"" + arkiva + "\" \"%1\""},
        {"Create one tar.xz", kOneDropTargetClass, "-2", "\"" + arkiva + "\" --one",
         "\"" + arkiva + "\" --one \"%1\""},
    };
    auto text = [](const std::string& value) { return "1:" + value + std::string(1, '\0'); };
    for (const auto& verb : verbs) {
      for (std::string key :
           {classes + "\\Directory\\shell\\" + verb.label, classes + "\\*\\shell\\" + verb.label}) {
        EXPECT_EQ(text("Player"), Value(key.c_str(), "MultiSelectModel"));
        EXPECT_EQ(text(verb.server_class), Value((key + "\\DropTarget").c_str(), "Clsid"));
        EXPECT_EQ(text(verb.command), Value((key + "\\command").c_str(), ""));
        // and the label each user reads in their own language
        EXPECT_EQ(text("@" + arkiva + "," + verb.label_id), Value(key.c_str(), "MUIVerb"));
      }
      std::string server = classes + "\\CLSID\\" + verb.server_class;
      EXPECT_EQ(text(verb.label), Value(server.c_str(), ""));
      EXPECT_EQ(text(verb.server), Value((server + "\\LocalServer32").c_str(), ""));
    }
  }

  void RemoveUserKeys() {
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Classes\\CLSID");
    for (const char* verb : {"Software\\Classes\\Directory\\shell\\Create one tar.xz",
                             "Software\\Classes\\*\\shell\\Create one tar.xz"})
      RegDeleteTreeA(HKEY_CURRENT_USER, verb);
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Classes\\Directory\\shell\\Create tar.xz");
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Classes\\Directory\\shell\\Create tar.xz");
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Classes\\*\\shell\\Create tar.xz");
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Classes\\*\\shell\\Create tar.xz");
  }

  // A volatile key can have no lasting subkeys: this is how a test denies a
  // write, since Wine does not enforce registry permissions.
  void MakeVolatile(HKEY root, const char* path) {
    RegDeleteTreeA(root, path);
    RegDeleteKeyA(root, path);
    HKEY key;
    // Only the key itself: parents made here would be volatile too.
    std::string parent(path, strrchr(path, '\\') - path);
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(root, parent.c_str(), &key));
    RegCloseKey(key);
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(root, path, 0, NULL, REG_OPTION_VOLATILE,
                                             KEY_ALL_ACCESS, NULL, &key, NULL));
    RegCloseKey(key);
  }
#endif

  void RemoveMenuKeys(bool file_keys_too) {
#ifdef _WIN32
    RegDeleteTreeA(HKEY_CLASSES_ROOT, "Directory\\shell\\Create tar.xz");
    RegDeleteKeyA(HKEY_CLASSES_ROOT, "Directory\\shell\\Create tar.xz");
    if (file_keys_too) {
      RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software\\Classes\\*\\shell\\Create tar.xz");
      RemoveUserKeys();
    }
#else
    RegistryStore store;
    ASSERT_TRUE(ParseRegistryStore(ReadText(dir / "registry.reg"), &store));
    std::vector<RegistryKey> kept;
    for (const RegistryKey& key : store.keys)
      if (key.path.find("Directory\\shell\\Create tar.xz") == std::string::npos &&
          (!file_keys_too || key.path.find("*\\shell\\Create tar.xz") == std::string::npos))
        kept.push_back(key);
    store.keys = kept;
    WriteText(dir / "registry.reg", FormatRegistryStore(store));
#endif
  }

  std::string Value(const char* key, const char* name) {
    return RegistryValueText(key, name);
  }

  int ValueCount(const char* key) {
#ifdef _WIN32
    ParseRegistryKeyPath(key);
    HKEY handle;
    DWORD count = 99;
    if (RegOpenKeyA(reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(RegistryRoot)),
                    RegistrySubKey.c_str(), &handle) == ERROR_SUCCESS) {
      RegQueryInfoKeyA(handle, NULL, NULL, NULL, NULL, NULL, NULL, &count, NULL, NULL, NULL, NULL);
      RegCloseKey(handle);
    }
    return static_cast<int>(count);
#else
    std::string path;
    RegistryStore store;
    ParseRegistryStore(ReadText(dir / "registry.reg"), &store);
    ParseRegistryKeyPath(key);
    StoreKeyPath(RegistryRoot, RegistrySubKey, &path);
    RegistryKey* found = FindRegistryKey(&store, path);
    return found ? static_cast<int>(found->values.size()) : 99;
#endif
  }

  // A first start: runs arkiva with `argument`, closes its box, returns what
  // the box said as "title|text|icon" and the exit code in *exit_code.
  std::string FirstStart(const std::string& argument, int* exit_code,
                         const std::string& store = "") {
#ifdef _WIN32
    (void)store;
    BoxWatch watch(box_title, nullptr, BoxWatch::kAddedProcesses);
    std::string line = "\"" + arkiva + "\"" + (argument.empty() ? "" : " \"" + argument + "\"");
    *exit_code =
        RunCommandLine(line, "", nullptr, {}, [&](unsigned long pid) { watch.AddProcess(pid); });
    const BoxWatch::Seen& seen = watch.Stop();
    if (!seen.found)
      return "no box";
    return box_title + "|" + seen.text + (seen.error_icon ? "|error" : "|");
#else
    std::string out;
    std::string env = store.empty() ? "" : "ARKIVA_REGISTRY='" + store + "' ";
    std::string quoted = argument.empty() ? "" : " '" + argument + "'";
    *exit_code =
        RunShell(env + "DISPLAY= WAYLAND_DISPLAY= '" + arkiva + "'" + quoted + " </dev/null", &out);
    // Without a display the box is "title: text" on standard error.
    size_t colon = out.find(": ");
    if (colon == std::string::npos)
      return "no box";
    std::string text = out.substr(colon + 2);
    if (!text.empty() && text.back() == '\n')
      text.pop_back();
    return out.substr(0, colon) + "|" + text + "|";
#endif
  }

  // Starts the command registered under `command_key` for `item`, as the shell does.
  int ShellStart(const char* command_key, const std::string& item) {
    std::string command = Value(command_key, "");
    command = command.substr(2, command.size() - 3);  // "1:" ... "\0"
    size_t at = command.find("%1");
    if (at == std::string::npos)
      return -1;
    command.replace(at, 2, item);
#ifdef _WIN32
    return RunCommandLine(command, "", nullptr,
                          {"PATH=" + BuildPath("realbin") + ";C:\\windows\\system32"});
#else
    return RunArgv(SplitCommandLine(command.c_str()), "", nullptr);
#endif
  }

  ScratchDir dir;
  std::string arkiva;
  std::string box_title = "Create tar.gz";  // Windows: the title of the box to wait for
};

#ifdef _WIN32
const char kDesktopLine[] = "";
#else
// With caja-actions, Caja shows the file-manager action and gets no script.
const std::string kDesktopLine =
    std::string("\nCreate tar.xz is now in GNOME Files (under Scripts), ") +
    (access(ARKIVA_CAJA_ACTIONS_MODULE, F_OK) == 0 ? "" : "Caja (under Scripts), ") +
    "Dolphin, Nemo, PCManFM, PCManFM-Qt, caja-actions and Thunar.";
#endif

TEST_F(SetupRun, FirstStartRegistersTheMenuAndConfirms) {
  MakeDir(dir / "ignored");
  int exit_code = -1;
  EXPECT_EQ(std::string("Create tar.gz|Create tar.gz Context Menu Setup OK") + kDesktopLine + "|",
            FirstStart(dir / "ignored", &exit_code));
  EXPECT_EQ(0, exit_code);
  EXPECT_FALSE(PathExists(dir / "ignored.tar.xz"));
  std::string command = "1:\"" + arkiva + "\" \"%1\"" + std::string(1, '\0');
  EXPECT_EQ(1, RegistryKeyExists(kFolderMenuKey, "."));
#ifdef _WIN32
  EXPECT_EQ(2, ValueCount(kFolderMenuKey));  // no label: MultiSelectModel and MUIVerb
  ExpectDropTarget("HKEY_CLASSES_ROOT");
#else
  EXPECT_EQ(0, ValueCount(kFolderMenuKey));  // the folder verb key has no label
#endif
  EXPECT_EQ(command, Value(kFolderCommand, ""));
  EXPECT_EQ(std::string("1:Create tar.xz\0", 16), Value(kFileKey, ""));
  EXPECT_EQ(command, Value(kFileCommand, ""));
  EXPECT_EQ(command, Value("HKEY_CLASSES_ROOT\\*\\shell\\Create tar.xz\\command", ""));
}

TEST_F(SetupRun, LaterStartsArchiveThroughTheRegisteredCommands) {
  int exit_code = -1;
  FirstStart(dir.path, &exit_code);
  std::string folder = dir / "My Folder.d";
  MakeDir(folder);
  WriteText(dir / "My Folder.d/inside.txt", "content");
  WriteText(dir / "file one.txt", "abc");
  EXPECT_EQ(0, ShellStart(kFolderCommand, folder));
  EXPECT_EQ(
      0, ShellStart("HKEY_CLASSES_ROOT\\*\\shell\\Create tar.xz\\command", dir / "file one.txt"));
  EXPECT_TRUE(PathExists(dir / "My Folder.d.tar.xz"));
  EXPECT_FALSE(PathExists(dir / "My Folder.d.tar"));
  std::string out;
  ASSERT_EQ(0, RunShell("tar -tJf '" + UnixPath(dir / "My Folder.d.tar.xz") + "'", &out)) << out;
  EXPECT_EQ("My Folder.d/\nMy Folder.d/inside.txt\n", out);
  ASSERT_EQ(0, RunShell("xz -dc '" + UnixPath(dir / "file one.txt.xz") + "'", &out)) << out;
  EXPECT_EQ("abc", out);
}

TEST_F(SetupRun, RemovingTheFolderKeyRunsSetupAgainAndKeepsOtherValues) {
  int exit_code = -1;
  FirstStart(dir.path, &exit_code);
  ASSERT_EQ(1, RegistrySetValue(kFileKey, "", "old label", 1, "."));
  ASSERT_EQ(1, RegistrySetValue(kFileKey, "Icon", "keep me", 1, "."));
  RemoveMenuKeys(false);
  EXPECT_EQ(std::string("Create tar.gz|Create tar.gz Context Menu Setup OK") + kDesktopLine + "|",
            FirstStart(dir.path, &exit_code));
  EXPECT_EQ(0, exit_code);
  EXPECT_EQ(std::string("1:Create tar.xz\0", 16), Value(kFileKey, ""));
  EXPECT_EQ(std::string("1:keep me\0", 10), Value(kFileKey, "Icon"));
  EXPECT_EQ(1, RegistryKeyExists(kFolderMenuKey, "."));
}

// The program's folder moved after setup (out of Downloads, say): a plain
// start of the moved program makes the menu name it again, while a start of
// a second copy leaves a menu whose program is there alone.
TEST_F(SetupRun, AMovedProgramRepairsItsMenuAndASecondCopyLeavesItAlone) {
  std::string name = BuildPath("arkiva").substr(BuildPath("arkiva").find_last_of("\\/") + 1);
  std::string first = dir / "first", second = dir / "second";
  MakeDir(first);
  MakeDir(second);
#ifdef _WIN32
  // Each copy with the tar.exe and xz.exe it runs, as a moved folder has.
  for (const std::string& folder : {first, second}) {
    ASSERT_TRUE(CopyFileA(arkiva.c_str(), (folder + "\\" + name).c_str(), FALSE));
    for (const char* program : {"tar.exe", "xz.exe"})
      ASSERT_TRUE(CopyFileA(BuildPath(program).c_str(), (folder + "\\" + program).c_str(), FALSE));
  }
  first += "\\" + name;
  second += "\\" + name;
#else
  first += "/" + name;
  second += "/" + name;
  ASSERT_EQ(0, RunArgv({"cp", arkiva, first}, "", nullptr));
  ASSERT_EQ(0, RunArgv({"cp", arkiva, second}, "", nullptr));
#endif
  int exit_code = -1;
  arkiva = first;
  EXPECT_NE("no box", FirstStart("", &exit_code));
  arkiva = second;
  EXPECT_EQ("no box", FirstStart("", &exit_code));
  EXPECT_EQ(0, exit_code);
  EXPECT_EQ(first, RegisteredProgram());

  ASSERT_EQ(0, std::remove(first.c_str()));  // moved away
  EXPECT_EQ(std::string("Create tar.gz|Create tar.gz Context Menu Setup OK") + kDesktopLine + "|",
            FirstStart("", &exit_code));
  EXPECT_EQ(0, exit_code);
  EXPECT_EQ(second, RegisteredProgram());
#ifdef _WIN32
  arkiva = second;
  ExpectDropTarget("HKEY_CLASSES_ROOT");  // the class names the copy that is there
#endif
  MakeDir(dir / "data");
#ifdef _WIN32
  WriteText(dir / "data\\f", "x");
#else
  WriteText(dir / "data/f", "x");
#endif
  EXPECT_EQ(0, ShellStart(kFolderCommand, dir / "data"));
  EXPECT_TRUE(PathExists(dir / "data.tar.xz"));
}

#ifdef _WIN32
// A standard user's first start, or an administrator's double-click: the
// machine-wide keys are denied, so the entry becomes this user's.
TEST_F(SetupRun, WithoutRightsForAllUsersTheEntryIsThisUsers) {
  MakeVolatile(HKEY_LOCAL_MACHINE, "Software\\Classes\\Directory\\shell");
  int exit_code = -1;
  std::string box = FirstStart(dir.path, &exit_code);
  EXPECT_EQ(0, exit_code);
  std::string first =
      "Create tar.gz|Create tar.gz Context Menu Setup OK\nSet up for this user only: " +
      std::string(kFolderCommand) + " could not be written for all users: ";
  EXPECT_EQ(first, box.substr(0, first.size())) << box;
  EXPECT_GT(box.size(), first.size() + 10) << box;  // the system's reason
  EXPECT_EQ("|", box.substr(box.rfind('|')));       // no error icon

  std::string command = "1:\"" + arkiva + "\" \"%1\"" + std::string(1, '\0');
  const char kUserFolderCommand[] =
      "HKEY_CURRENT_USER\\Software\\Classes\\Directory\\shell\\Create tar.xz\\command";
  const char kUserFileKey[] = "HKEY_CURRENT_USER\\Software\\Classes\\*\\shell\\Create tar.xz";
  const char kUserFileCommand[] =
      "HKEY_CURRENT_USER\\Software\\Classes\\*\\shell\\Create tar.xz\\command";
  EXPECT_EQ(command, Value(kUserFolderCommand, ""));
  EXPECT_EQ(1, ValueCount(kUserFolderCommand));
  // MultiSelectModel and MUIVerb; the file verb's English label too
  EXPECT_EQ(2, ValueCount("HKEY_CURRENT_USER\\Software\\Classes\\Directory\\shell\\Create tar.xz"));
  EXPECT_EQ(std::string("1:Create tar.xz\0", 16), Value(kUserFileKey, ""));
  EXPECT_EQ(3, ValueCount(kUserFileKey));
  // Read where they are, as Wine's COM reads no user's classes.
  ExpectDropTarget("HKEY_CURRENT_USER\\Software\\Classes");
  EXPECT_EQ(command, Value(kUserFileCommand, ""));
  EXPECT_EQ(1, ValueCount(kUserFileCommand));
  // Nothing machine-wide is left behind, the class that names this user's
  // program included.
  EXPECT_EQ(0, RegistryKeyExists(kFolderMenuKey, "."));
  EXPECT_EQ(0, RegistryKeyExists(kFileKey, "."));
  EXPECT_EQ(0, RegistryKeyExists((std::string("HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\") +
                                  kDropTargetClass)
                                     .c_str(),
                                 "."));

  // The next starts archive, through the user's commands (Wine does not merge
  // them into HKEY_CLASSES_ROOT as Windows does).
  MakeDir(dir / "My Folder.d");
  WriteText(dir / "My Folder.d\\inside.txt", "content");
  WriteText(dir / "file one.txt", "abc");
  EXPECT_EQ(0, ShellStart(kUserFolderCommand, dir / "My Folder.d"));
  EXPECT_EQ(0, ShellStart(kUserFileCommand, dir / "file one.txt"));
  std::string out;
  ASSERT_EQ(0, RunShell("tar -tJf '" + UnixPath(dir / "My Folder.d.tar.xz") + "'", &out)) << out;
  EXPECT_EQ("My Folder.d/\nMy Folder.d/inside.txt\n", out);
  ASSERT_EQ(0, RunShell("xz -dc '" + UnixPath(dir / "file one.txt.xz") + "'", &out)) << out;
  EXPECT_EQ("abc", out);
}
#endif

#ifdef _WIN32
// Setup in the user's display language (Wine's, from LANG: one ctest run a
// language), and the label Explorer shows every user in their own: MUIVerb
// names arkiva.exe's string table, which SHLoadIndirectString reads as
// Explorer does.
TEST_F(SetupRun, SetupAndTheMenuLabelInTheUsersLanguage) {
  struct {
    const char* language;
    const char* title;
    const char* text;
    const char* label;
    const char* one_label;
  } rows[] = {
      {"de", "tar.gz erstellen", "Kontextmenü „tar.gz erstellen“ eingerichtet", "tar.xz erstellen",
       "Ein tar.xz erstellen"},
      {"ja", "tar.gz を作成", "コンテキストメニュー「tar.gz を作成」のセットアップが完了しました",
       "tar.xz を作成", "1 つの tar.xz を作成"},
      {"en", "Create tar.gz", "Create tar.gz Context Menu Setup OK", "Create tar.xz",
       "Create one tar.xz"},
  };
  for (const auto& row : rows) {
    if (DisplayLanguage() != row.language)
      continue;
    box_title = row.title;
    int exit_code = -1;
    EXPECT_EQ(box_title + "|" + row.text + "|", FirstStart("", &exit_code));
    std::string label = "@" + arkiva + ",-1";
    EXPECT_EQ("1:" + label + std::string(1, '\0'), Value(kFileKey, "MUIVerb"));
    wchar_t text[256] = L"";
    EXPECT_EQ(S_OK, SHLoadIndirectString(Wide(label).c_str(), text, 256, nullptr));
    EXPECT_EQ(row.label, Narrow(text));
    EXPECT_EQ(S_OK, SHLoadIndirectString(Wide("@" + arkiva + ",-2").c_str(), text, 256, nullptr));
    EXPECT_EQ(row.one_label, Narrow(text));
  }
}

// arkiva.exe carries a string table for every catalogue, and English's:
// the language alone where the catalogue serves all its speakers.
TEST(ArkivaExe, HoldsAStringTableForEveryLanguage) {
  HMODULE exe = LoadLibraryExW(Wide(BuildPath("arkiva.exe")).c_str(), nullptr,
                               LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  ASSERT_TRUE(exe);
  std::vector<WORD> languages;
  EnumResourceLanguagesW(
      exe, MAKEINTRESOURCEW(6) /* RT_STRING */, MAKEINTRESOURCEW(1),
      [](HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR found) -> BOOL {
        reinterpret_cast<std::vector<WORD>*>(found)->push_back(language);
        return TRUE;
      },
      reinterpret_cast<LONG_PTR>(&languages));
  FreeLibrary(exe);
  std::sort(languages.begin(), languages.end());
  EXPECT_EQ((std::vector<WORD>{0x0007 /* de */, 0x000A /* es */, 0x000C /* fr */, 0x0010 /* it */,
                               0x0011 /* ja */, 0x0012 /* ko */, 0x0013 /* nl */, 0x0015 /* pl */,
                               0x0019 /* ru */, 0x001F /* tr */, 0x0409 /* en-US */,
                               0x0416 /* pt-BR */, 0x0804 /* zh-CN */}),
            languages);
}
#endif

TEST_F(SetupRun, AFailedSetupSaysWhichKeyAndWhy) {
  int exit_code = -1;
#ifdef _WIN32
  // Denied machine-wide and for the user: creating either "command" fails.
  MakeVolatile(HKEY_LOCAL_MACHINE, "Software\\Classes\\*\\shell\\Create tar.xz");
  MakeVolatile(HKEY_CURRENT_USER, "Software\\Classes\\*\\shell\\Create tar.xz");
  std::string box = FirstStart(dir.path, &exit_code);
  EXPECT_EQ(
      std::string("Create tar.gz|Create tar.gz Context Menu Setup failed\n") + kFileCommand + ": ",
      box.substr(0, box.find(": ") + 2));
  EXPECT_EQ("|error", box.substr(box.rfind('|')));
  EXPECT_GT(box.size(), 120u) << box;  // the system's reason follows
  // Nothing half-written that the next start would take for a finished setup.
  EXPECT_EQ(0, RegistryKeyExists(kFolderMenuKey, "."));
  EXPECT_EQ(0, RegistryKeyExists(kFolderCommand, "."));
  EXPECT_EQ(0, RegistryKeyExists(
                   "HKEY_CURRENT_USER\\Software\\Classes\\Directory\\shell\\Create tar.xz", "."));
#else
  std::string box = FirstStart(dir.path, &exit_code, "/dev/null/arkiva/registry.reg");
  EXPECT_EQ(std::string("Create tar.gz|Create tar.gz Context Menu Setup failed\n") +
                kFolderCommand + ": /dev/null/arkiva/registry.reg.lock: Not a directory|",
            box);
#endif
  EXPECT_EQ(1, exit_code);
}

#ifdef _WIN32
// Windows 11 as Wine can show it: the build the system reports, set where
// Wine reads it, and a PowerShell stand-in that records its command lines
// and ends with the exit codes it is given, one a start: 0, a failure as
// Add-AppxPackage's for a signer that is not trusted, or the query's answer
// that this version is registered from this folder already.
class Windows11Setup : public SetupRun {
 protected:
  const char* kVersionKey = "Software\\Microsoft\\Windows NT\\CurrentVersion";
  const std::string kPowerShellFolder = "C:\\windows\\system32\\WindowsPowerShell\\v1.0";

  void SetUp() override {
    SetupRun::SetUp();
    for (const char* name : {"CurrentVersion", "CurrentBuildNumber"})
      saved_version_.push_back(
          Value(("HKEY_LOCAL_MACHINE\\" + std::string(kVersionKey)).c_str(), name));
    ASSERT_TRUE(MoveFileExA((kPowerShellFolder + "\\powershell.exe").c_str(),
                            (kPowerShellFolder + "\\powershell.exe.stub").c_str(),
                            MOVEFILE_REPLACE_EXISTING));
    ASSERT_TRUE(CopyFileA(BuildPath("tests\\powershell_standin.exe").c_str(),
                          (kPowerShellFolder + "\\powershell.exe").c_str(), FALSE));
    // arkiva's folder as users name theirs, with both kinds of apostrophe.
    std::string folder = dir / "O'Brien\xE2\x80\x99s tools";
    MakeDir(folder);
    arkiva = folder + "\\arkiva.exe";
    ASSERT_TRUE(CopyFileA(BuildPath("arkiva.exe").c_str(), arkiva.c_str(), FALSE));
    ASSERT_TRUE(CopyFileA(BuildPath("arkiva-shell.msix").c_str(),
                          (folder + "\\arkiva-shell.msix").c_str(), FALSE));
  }
  void TearDown() override {
    std::string key = "HKEY_LOCAL_MACHINE\\" + std::string(kVersionKey);
    RegistrySetValue(key.c_str(), "CurrentVersion", saved_version_[0].substr(2).c_str(), 1, ".");
    RegistrySetValue(key.c_str(), "CurrentBuildNumber", saved_version_[1].substr(2).c_str(), 1,
                     ".");
    for (const char* file : {"record.txt", "exit.txt", "consoles.txt", "error.txt"})
      DeleteFileA((kPowerShellFolder + "\\" + file).c_str());
    MoveFileExA((kPowerShellFolder + "\\powershell.exe.stub").c_str(),
                (kPowerShellFolder + "\\powershell.exe").c_str(), MOVEFILE_REPLACE_EXISTING);
    SetupRun::TearDown();
  }

  // `powershell_exits`: the stand-in's exit code for each start, the last
  // for every later one.
  void ReportBuild(const char* version, const char* build, const std::string& powershell_exits) {
    std::string key = "HKEY_LOCAL_MACHINE\\" + std::string(kVersionKey);
    ASSERT_EQ(1, RegistrySetValue(key.c_str(), "CurrentVersion", version, 1, "."));
    ASSERT_EQ(1, RegistrySetValue(key.c_str(), "CurrentBuildNumber", build, 1, "."));
    WriteText(kPowerShellFolder + "\\exit.txt", powershell_exits);
    DeleteFileA((kPowerShellFolder + "\\record.txt").c_str());
    DeleteFileA((kPowerShellFolder + "\\consoles.txt").c_str());
  }
  // The PowerShell commands run since ReportBuild, one a line.
  std::string PowerShellRecord() {
    std::string path = kPowerShellFolder + "\\record.txt";
    std::string record = PathExists(path) ? ReadText(path) : "";
    std::string commands;
    const std::string kLine =
        "\"C:\\windows\\system32\\WindowsPowerShell\\v1.0\\powershell.exe\" -NoProfile "
        "-NonInteractive -Command \"";
    for (const std::string& line : Lines(record))
      commands += (line.compare(0, kLine.size(), kLine) == 0 && line.back() == '"'
                       ? line.substr(kLine.size(), line.size() - kLine.size() - 1)
                       : "unexpected: " + line) +
                  "\n";
    return commands;
  }
  // A verb marked ProgrammaticAccessOnly, as earlier builds hid this user's.
  bool Hidden(const char* verb) {
    return Value(verb, "ProgrammaticAccessOnly") == std::string("1:\0", 3);
  }
  void HideUserVerbsAsAnEarlierBuildDid() {
    for (const char* verb : {kUserFolderVerb, kUserFileVerb}) {
      ASSERT_EQ(1, RegistryCreateAndSetValue((std::string(verb) + "\\command").c_str(), "",
                                             ("\"" + arkiva + "\" \"%1\"").c_str(), 1, "."));
      ASSERT_EQ(1, RegistryCreateAndSetValue(verb, "ProgrammaticAccessOnly", "", 1, "."));
    }
  }

  std::string Query() {
    std::string folder = dir / "O''Brien\xE2\x80\x99\xE2\x80\x99s tools";
    return "if (Get-AppxPackage -Name 'arkiva.shell' | Where-Object { $_.Version -eq '" +
           std::string(ARKIVA_PACKAGE_VERSION) + "' -and $_.InstallLocation -eq '" + folder +
           "' -and $_.Status -eq 'Ok' }) { exit 17 }\n";
  }
  std::string Add() {
    std::string folder = dir / "O''Brien\xE2\x80\x99\xE2\x80\x99s tools";
    return "Get-AppxPackage -Name 'arkiva.shell' | Remove-AppxPackage; Add-AppxPackage -Path '" +
           folder + "\\arkiva-shell.msix' -ExternalLocation '" + folder + "'\n";
  }

  static constexpr const char* kUserFolderVerb =
      "HKEY_CURRENT_USER\\Software\\Classes\\Directory\\shell\\Create tar.xz";
  static constexpr const char* kUserFileVerb =
      "HKEY_CURRENT_USER\\Software\\Classes\\*\\shell\\Create tar.xz";
  std::vector<std::string> saved_version_;
};

const char kFolderVerb[] = "HKEY_CLASSES_ROOT\\Directory\\shell\\Create tar.xz";
const char kOnTheFirstMenu[] =
    "Create tar.gz|Create tar.gz Context Menu Setup OK\nCreate tar.xz is on the Windows 11 "
    "context menu.|";

TEST_F(Windows11Setup, RegistersThePackageAndKeepsEveryStaticVerb) {
  ReportBuild("10.0", "22621", "0");
  int exit_code = -1;
  EXPECT_EQ(kOnTheFirstMenu, FirstStart("", &exit_code));
  EXPECT_EQ(0, exit_code);
  EXPECT_EQ(Query() + Add(), PowerShellRecord());
  // Started with no console window, which Windows Terminal would show.
  EXPECT_EQ("0\n0\n", ReadText(kPowerShellFolder + "\\consoles.txt"));
  EXPECT_FALSE(Hidden(kFolderVerb));
  EXPECT_FALSE(Hidden(kFileKey));
  EXPECT_EQ(0, RegistryKeyExists(kUserFolderVerb, "."));

  // The MSI's steps: this user's removal, and the uninstall's for every user.
  ReportBuild("10.0", "22621", "0");
  EXPECT_EQ(0, RunCommandLine("\"" + arkiva + "\" --remove-package", "", nullptr));
  EXPECT_EQ(0, RunCommandLine("\"" + arkiva + "\" --remove-package-for-all-users", "", nullptr));
  EXPECT_EQ(
      "Get-AppxPackage -Name 'arkiva.shell' | Remove-AppxPackage\n"
      "Get-AppxPackage -AllUsers -Name 'arkiva.shell' | Remove-AppxPackage -AllUsers\n",
      PowerShellRecord());
  EXPECT_EQ(1, RegistryKeyExists(kFolderVerb, "."));
}

// Explorer often drops a packaged command that was removed and added again
// until it restarts: a repeated setup or an MSI repair leaves it be.
TEST_F(Windows11Setup, TheSameVersionFromTheSameFolderIsNotRegisteredAgain) {
  ReportBuild("10.0", "22621", "17");
  int exit_code = -1;
  EXPECT_EQ(kOnTheFirstMenu, FirstStart("", &exit_code));
  EXPECT_EQ(Query(), PowerShellRecord());
  ReportBuild("10.0", "22621", "17");
  EXPECT_EQ(0, RunCommandLine("\"" + arkiva + "\" --add-package", "", nullptr));
  EXPECT_EQ(Query(), PowerShellRecord());
}

// Earlier builds hid this user's verbs once the package was registered,
// which took the entry off every menu that shows only static verbs.
TEST_F(Windows11Setup, TheHiddenVerbsOfAnEarlierBuildGo) {
  // A plain start sets up again: the box, and no verb hidden.
  ReportBuild("10.0", "22621", "0");
  HideUserVerbsAsAnEarlierBuildDid();
  int exit_code = -1;
  EXPECT_EQ(kOnTheFirstMenu, FirstStart("", &exit_code));
  EXPECT_EQ(0, RegistryKeyExists(kUserFolderVerb, "."));
  EXPECT_EQ(0, RegistryKeyExists(kUserFileVerb, "."));
  EXPECT_EQ("no box", FirstStart("", &exit_code));  // and only once

  // The MSI's step and Active Setup's, after a registration or a failure.
  for (const char* exits : {"0", "1"}) {
    ReportBuild("10.0", "22621", exits);
    HideUserVerbsAsAnEarlierBuildDid();
    EXPECT_EQ(exits[0] - '0', RunCommandLine("\"" + arkiva + "\" --add-package", "", nullptr));
    EXPECT_EQ(0, RegistryKeyExists(kUserFolderVerb, ".")) << exits;
    EXPECT_EQ(0, RegistryKeyExists(kUserFileVerb, ".")) << exits;
  }

  // Where the user's verbs are setup's own, they are written again, shown.
  RemoveMenuKeys(true);
  MakeVolatile(HKEY_LOCAL_MACHINE, "Software\\Classes\\Directory\\shell");
  HideUserVerbsAsAnEarlierBuildDid();
  std::string box = FirstStart("", &exit_code);
  EXPECT_NE(std::string::npos, box.find("Set up for this user only")) << box;
  EXPECT_EQ(1, RegistryKeyExists(kUserFolderVerb, "."));
  EXPECT_FALSE(Hidden(kUserFolderVerb));
  EXPECT_FALSE(Hidden(kUserFileVerb));
}

TEST_F(Windows11Setup, AFailedRegistrationKeepsTheStaticVerbsAndSaysWhy) {
  ReportBuild("10.0", "22621", "1");
  int exit_code = -1;
  EXPECT_EQ(
      "Create tar.gz|Create tar.gz Context Menu Setup OK\nOn Windows 11 it is under "
      "\"Show more options\": its package could not be registered: Add-AppxPackage : "
      "Deployment failed with HRESULT: 0x800B0109, A certificate chain processed, but "
      "terminated in a root certificate which is not trusted by the trust provider.|",
      FirstStart("", &exit_code));
  EXPECT_EQ(0, exit_code);
  EXPECT_EQ(Query() + Add(), PowerShellRecord());
  EXPECT_EQ(0, RegistryKeyExists(kUserFolderVerb, "."));
  EXPECT_FALSE(Hidden(kFolderVerb));
  EXPECT_FALSE(Hidden(kFileKey));
}

// Windows PowerShell writes its (localised) errors in the console's code
// page, the OEM one, which Wine takes from LANG.
TEST_F(Windows11Setup, PowerShellsReasonIsReadInItsCodePage) {
  // arkiva's own words are in that language too.
  struct {
    const char* lang;
    const char* error;
    const char* title;
    const char* told;
  } cases[] = {
      {"de_DE.UTF-8",
       "Add-AppxPackage : Fehler bei der Bereitstellung mit HRESULT: 0x80073CF3, Überprüfung "
       "des Pakets fehlgeschlagen.\r\nIn Zeile:1 Zeichen:1\r\n+ Add-AppxPackage\r\n",
       "tar.gz erstellen",
       "Kontextmenü „tar.gz erstellen“ eingerichtet\nUnter Windows 11 steht es unter „Weitere "
       "Optionen anzeigen“: Sein Paket konnte nicht registriert werden: "},
      {"zh_CN.UTF-8",
       "Add-AppxPackage : 部署失败，原因是 HRESULT: 0x80073CF3，包无法进行更新、依赖项或冲突验证。"
       "\r\n所在位置 行:1 字符: 1\r\n+ Add-AppxPackage\r\n",
       "创建 tar.gz",
       "“创建 tar.gz”右键菜单设置成功\n在 Windows 11 "
       "中，它位于“显示更多选项”下：无法注册其程序包："},
  };
  for (const auto& c : cases) {
    ReportBuild("10.0", "22621", "1");
    RegistryDeleteKeyTree(kFolderVerb, ".");
    WriteText(kPowerShellFolder + "\\error.txt", c.error);
    BoxWatch watch(c.title);
    std::string out;
    EXPECT_EQ(0, RunShell("LANG=" + std::string(c.lang) + " LC_ALL=" + c.lang +
                              " setarch $(uname -m) -R wine \"" + UnixPath(arkiva) + "\"",
                          &out))
        << out;
    std::string error = c.error;
    std::string reason = error.substr(0, error.find("\r\n"));
    EXPECT_EQ(c.told + reason, watch.Stop().text) << c.lang;
  }
}

TEST_F(Windows11Setup, WindowsTenRunsNoPowerShell) {
  ReportBuild("10.0", "19045", "0");
  int exit_code = -1;
  EXPECT_EQ("Create tar.gz|Create tar.gz Context Menu Setup OK|", FirstStart("", &exit_code));
  EXPECT_EQ(0, RunCommandLine("\"" + arkiva + "\" --add-package", "", nullptr));
  EXPECT_EQ("", PowerShellRecord());
  EXPECT_EQ(0, RegistryKeyExists(kUserFolderVerb, "."));
  EXPECT_FALSE(Hidden(kFolderVerb));
}
#endif

#ifdef _WIN32
// Who besides administrators may change arkiva's folder or its programs,
// from their security descriptors as Windows gives them: a machine-wide
// setup is made only where no one is.
TEST(OtherWriters, OnlyAdministratorsSystemAndTrustedInstallerMayChangeTheirPrograms) {
  const std::string ti = "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";
  const std::string user = "S-1-5-21-1-2-3-1001";
  struct {
    const char* what;
    std::string sddl;
    bool own;  // the user who runs setup is that administrator
    std::vector<std::string> writers;
  } rows[] = {
      {"Program Files",
       "O:" + ti + "D:P(A;;FA;;;" + ti +
           ")(A;;FA;;;SY)(A;;FA;;;BA)(A;;0x1200a9;;;BU)(A;OICIIO;GA;;;CO)",
       false,
       {}},
      {"a new folder under C:\\",
       "O:BAD:(A;ID;FA;;;BA)(A;ID;FA;;;SY)(A;ID;0x1301bf;;;AU)(A;ID;0x1200a9;;;BU)",
       false,
       {"S-1-5-11"}},
      {"a user's folder",
       "O:" + user + "D:(A;;FA;;;SY)(A;;FA;;;BA)(A;;FA;;;" + user + ")",
       false,
       {user}},
      {"the elevated administrator's own folder",
       "O:" + user + "D:(A;;FA;;;SY)(A;;FA;;;BA)(A;;FA;;;" + user + ")",
       true,
       {}},
      {"Users may add a file", "O:BAD:(A;;0x1200a9;;;BU)(A;;0x2;;;BU)", false, {"S-1-5-32-545"}},
      {"Users may delete it", "O:BAD:(A;;0x1301a9;;;BU)", false, {"S-1-5-32-545"}},
      {"Everyone may change its permissions", "O:SYD:(A;;WD;;;WD)", false, {"S-1-1-0"}},
      {"inherited by children only", "O:SYD:(A;OICIIO;FA;;;BU)(A;;0x1200a9;;;BU)", false, {}},
      {"a deny", "O:SYD:(D;;FA;;;WD)(A;;FA;;;SY)", false, {}},
      {"no DACL", "O:BA", false, {"S-1-1-0"}},
  };
  for (const auto& row : rows) {
    PSECURITY_DESCRIPTOR sd = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(row.sddl.c_str(),
                                                                     SDDL_REVISION_1, &sd, NULL))
        << row.what;
    PSID own = nullptr;
    ASSERT_TRUE(ConvertStringSidToSidA(user.c_str(), &own));
    EXPECT_EQ(row.writers, OtherWriters(sd, row.own ? own : nullptr)) << row.what;
    LocalFree(own);
    LocalFree(sd);
  }
}
#endif
