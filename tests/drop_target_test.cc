// A selection dropped on the verbs' class, as Explorer hands over a
// selection for a verb with a DropTarget. Wine's shell ignores such verbs, so
// this test does Explorer's part: it reads the class from the verb, activates
// it as a local server (COM starts arkiva.exe -Embedding), makes the data
// object of the selection as a folder view does (GetUIObjectOf), calls
// DragEnter and Drop, and lets go at once. The same selections go through
// Windows 11's first-menu command too: arkiva-shell.dll, loaded in-process
// from its class registered as its package registers it, gets the selection
// as a shell item array. Runs alone (SERIAL): it counts every arkiva.exe
// there is.

#include <windows.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <chrono>
#include <memory>
#include <set>
#include <thread>

#include "app/drop_target.h"
#include "tests/arkiva_run.h"
#include "tests/progress_dialog.h"

namespace {

std::wstring Wide(const std::string& text) {
  std::wstring wide(text.size() + 1, L'\0');
  wide.resize(
      MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, &wide[0], static_cast<int>(wide.size())) -
      1);
  return wide;
}

// Every arkiva.exe there is but those that ran before the test began (a
// leftover of another test must not be taken for this one's).
std::set<DWORD> earlier_arkivas;

std::set<DWORD> RunningArkivas() {
  std::set<DWORD> ids;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  PROCESSENTRY32 entry = {};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
    if (lstrcmpiA(entry.szExeFile, "arkiva.exe") == 0 &&
        !earlier_arkivas.count(entry.th32ProcessID))
      ids.insert(entry.th32ProcessID);
  CloseHandle(snapshot);
  return ids;
}

// The data object of `names` in `folder` (empty: the desktop), as Explorer's
// folder view makes it.
IDataObject* SelectionData(const std::string& folder, const std::vector<std::string>& names) {
  IShellFolder *desktop = nullptr, *parent = nullptr;
  PIDLIST_RELATIVE folder_id = nullptr;
  IDataObject* data = nullptr;
  SHGetDesktopFolder(&desktop);
  if (folder.empty()) {  // the desktop's own items
    parent = desktop;
    parent->AddRef();
  } else if (SUCCEEDED(
                 desktop->ParseDisplayName(NULL, NULL, &Wide(folder)[0], NULL, &folder_id, NULL))) {
    desktop->BindToObject(folder_id, NULL, IID_IShellFolder, reinterpret_cast<void**>(&parent));
  }
  if (parent) {
    std::vector<LPITEMIDLIST> children;
    for (const std::string& name : names) {
      LPITEMIDLIST child = nullptr;
      if (SUCCEEDED(parent->ParseDisplayName(NULL, NULL, &Wide(name)[0], NULL, &child, NULL)))
        children.push_back(child);
    }
    parent->GetUIObjectOf(NULL, static_cast<UINT>(children.size()),
                          const_cast<LPCITEMIDLIST*>(children.data()), IID_IDataObject, NULL,
                          reinterpret_cast<void**>(&data));
    for (LPITEMIDLIST child : children)
      CoTaskMemFree(child);
    parent->Release();
  }
  CoTaskMemFree(folder_id);
  desktop->Release();
  return data;
}

// The items as Explorer hands them to a command: a shell item array.
IShellItemArray* SelectionItems(const std::string& folder, const std::vector<std::string>& names) {
  std::vector<PIDLIST_ABSOLUTE> ids;
  for (const std::string& name : names) {
    PIDLIST_ABSOLUTE id = nullptr;
    std::string path = folder.empty() ? name : folder + "\\" + name;
    if (SUCCEEDED(SHParseDisplayName(Wide(path).c_str(), NULL, &id, 0, NULL)))
      ids.push_back(id);
  }
  IShellItemArray* items = nullptr;
  SHCreateShellItemArrayFromIDLists(static_cast<UINT>(ids.size()),
                                    const_cast<PCIDLIST_ABSOLUTE*>(ids.data()), &items);
  for (PIDLIST_ABSOLUTE id : ids)
    CoTaskMemFree(id);
  return items;
}

// The first menu's two commands.
const char* const kShellCommandClasses[] = {ARKIVA_SHELL_COMMAND_CLASS,
                                            ARKIVA_SHELL_ONE_COMMAND_CLASS};
const char kOneVerb[] = "Create one tar.xz";

std::string ShellCommandKey(const char* command_class) {
  return std::string("Software\\Classes\\CLSID\\") + command_class;
}

class DropRun : public ArchiveRun {
 protected:
  // How the selection reaches arkiva.exe: Explorer's drop for the static
  // verbs, or the first-menu command's Invoke.
  enum Route { kDrop, kFirstMenu };

  void SetUp() override {
    ArchiveRun::SetUp();
    earlier_arkivas = RunningArkivas();
    // COM starts the server from this process, whose environment it
    // inherits: the runs keep their records and locks in the test's folder.
    SetEnvironmentVariableA("LOCALAPPDATA", state.c_str());
    Register(kReal);
    CoInitializeEx(NULL, COINIT_APARTMENTTHREADED);
  }

  // Registers the arkiva.exe and arkiva-shell.dll in `folder`: the menu's
  // keys with the classes COM starts, and the commands' classes, in-process,
  // as the package declares them (Wine's COM reads classes from
  // HKEY_LOCAL_MACHINE only). Each starts the arkiva.exe beside it, which
  // runs the tar.exe and xz.exe beside it.
  void Register(const std::string& folder) {
    std::string failed_key, reason;
    EXPECT_TRUE(WriteMenuKeys(folder + "\\arkiva.exe", &failed_key, &reason)) << failed_key;
    std::string dll = folder + "\\arkiva-shell.dll";
    for (const char* command_class : kShellCommandClasses) {
      std::string server =
          "HKEY_LOCAL_MACHINE\\" + ShellCommandKey(command_class) + "\\InprocServer32";
      EXPECT_EQ(1, RegistryCreateAndSetValue(server.c_str(), "", dll.c_str(), 1, "."));
      EXPECT_EQ(1,
                RegistryCreateAndSetValue(server.c_str(), "ThreadingModel", "Apartment", 1, "."));
    }
  }
  void Register(Programs programs) {
    std::string arkiva = BuildPath(programs == kRecording ? "recbin/arkiva.exe" : "arkiva.exe");
    Register(arkiva.substr(0, arkiva.find_last_of('\\')));
  }
  void TearDown() override {
    CoUninitialize();
    for (const char* command_class : kShellCommandClasses) {
      RegDeleteTreeA(HKEY_LOCAL_MACHINE, ShellCommandKey(command_class).c_str());
      RegDeleteKeyA(HKEY_LOCAL_MACHINE, ShellCommandKey(command_class).c_str());
    }
  }

  // The first menu's command for `verb`.
  IExplorerCommand* FirstMenuCommand(const std::string& verb = "Create tar.xz") {
    CLSID id;
    IExplorerCommand* command = nullptr;
    const char* command_class = kShellCommandClasses[verb == kOneVerb];
    EXPECT_EQ(S_OK, CLSIDFromString(Wide(command_class).c_str(), &id));
    EXPECT_EQ(S_OK, CoCreateInstance(id, NULL, CLSCTX_INPROC_SERVER, IID_IExplorerCommand,
                                     reinterpret_cast<void**>(&command)));
    return command;
  }

  // Hands `names` over by `route`, waits until no arkiva.exe runs, and
  // returns every one seen.
  std::set<DWORD> Hand(Route route, const std::string& folder,
                       const std::vector<std::string>& names, Programs programs,
                       const std::string& verb = "Create tar.xz") {
    if (route == kDrop)
      return Drop(folder, names, programs, "", verb);
    SetEnvironmentVariableA("ARKIVA_RECORD_SLEEP", "");
    Register(programs);
    SetEnvironmentVariableA("ARKIVA_RECORD", log.c_str());
    IExplorerCommand* command = FirstMenuCommand(verb);
    IShellItemArray* items = SelectionItems(folder, names);
    EXPECT_TRUE(command && items);
    if (!command || !items)
      return {};
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(S_OK, command->Invoke(items, NULL));
    // Explorer waits for Invoke, which only reads the paths (about 2 ms an
    // item under Wine) and hands over on a thread of its own: starting
    // arkiva.exe alone would take a second.
    auto took = std::chrono::steady_clock::now() - start;
    EXPECT_LT(took, std::chrono::milliseconds(300 + 5 * names.size()));
    RecordProperty(
        "invoke_microseconds_for_" + std::to_string(names.size()),
        static_cast<int>(std::chrono::duration_cast<std::chrono::microseconds>(took).count()));
    items->Release();
    command->Release();
    std::set<DWORD> seen;
    for (int i = 0; i < 1000 && seen.empty(); ++i, Sleep(10))
      seen = RunningArkivas();
    return Settle(seen);
  }

  // Waits until no arkiva.exe runs; every one seen meanwhile joins `seen`.
  std::set<DWORD> Settle(std::set<DWORD> seen) {
    for (int i = 0; i < 12000; ++i) {
      std::set<DWORD> now = RunningArkivas();
      if (now.empty())
        break;
      seen.insert(now.begin(), now.end());
      Sleep(20);
    }
    return seen;
  }

  // Drops `names` on the class of `verb` (none: activates the class and
  // lets it go without a drop), waits until no arkiva.exe runs, and returns
  // every one seen.
  std::set<DWORD> Drop(const std::string& folder, const std::vector<std::string>& names,
                       Programs programs, const char* record_sleep = "",
                       const std::string& verb = "Create tar.xz") {
    SetEnvironmentVariableA("ARKIVA_RECORD_SLEEP", record_sleep);
    // COM starts the server from this process, which it inherits.
    Register(programs);
    SetEnvironmentVariableA("ARKIVA_RECORD", log.c_str());
    std::string clsid;
    EXPECT_TRUE(
        RegistryReadText(("HKEY_CLASSES_ROOT\\Directory\\shell\\" + verb + "\\DropTarget").c_str(),
                         "Clsid", ".", &clsid));
    CLSID id;
    IDropTarget* target = nullptr;
    EXPECT_EQ(S_OK, CLSIDFromString(&Wide(clsid)[0], &id));
    EXPECT_EQ(S_OK, CoCreateInstance(id, NULL, CLSCTX_LOCAL_SERVER, IID_IDropTarget,
                                     reinterpret_cast<void**>(&target)));
    std::set<DWORD> seen = RunningArkivas();
    if (target && !names.empty()) {
      IDataObject* data = SelectionData(folder, names);
      EXPECT_TRUE(data);
      POINTL point = {0, 0};
      DWORD effect = DROPEFFECT_COPY;
      EXPECT_EQ(S_OK, target->DragEnter(data, MK_LBUTTON, point, &effect));
      auto start = std::chrono::steady_clock::now();
      EXPECT_EQ(S_OK, target->Drop(data, 0, point, &effect));
      // Explorer waits for Drop: it only copies the paths.
      EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
      data->Release();
    }
    if (target)
      target->Release();
    // The items are archived once Explorer has let go, which it has: the
    // first program starts soon, not after a time-out.
    auto dropped = std::chrono::steady_clock::now();
    for (int i = 0; i < 2000 && !names.empty() && !PathExists(log) && !RunningArkivas().empty();
         ++i)
      Sleep(5);
    if (PathExists(log)) {
      EXPECT_LT(std::chrono::steady_clock::now() - dropped, std::chrono::seconds(4));
    }
    return Settle(seen);
  }

  // A file's .xz, unpacked by the real (Linux) xz, holds `data`.
  void ExpectXzHolds(const std::string& path, const std::string& data) {
    WriteText(io / "expected", data);
    std::string out;
    EXPECT_EQ(
        0, RunShell("xz -dc '" + UnixPath(path) + "' | cmp - '" + UnixPath(io / "expected") + "'",
                    &out))
        << path << ": " << out;
  }
};

TEST_F(DropRun, ASelectionIsArchivedWholeInOneProcess) {
  const char* scripts[] = {"Zoë 日本 📷", "ноты ✓", "Ελληνικά", "עברית", "한국어", "ไทย"};
  for (Route route : {kDrop, kFirstMenu}) {
    ScratchDir files, folders;
    std::vector<std::string> names;
    for (int i = 0; i < 40; ++i) {
      names.push_back(std::string(scripts[i % 6]) + " " + std::to_string(i) + ".txt");
      WriteText(files / names.back(), Noise(1000 + i, i));
    }
    EXPECT_EQ(1u, Hand(route, files.path, names, kReal).size()) << route;
    for (int i = 0; i < 40; ++i) {
      EXPECT_FALSE(PathExists(files / names[i]));
      ExpectXzHolds(files / (names[i] + ".xz"), Noise(1000 + i, i));
    }

    for (const char* name : {"Photos", "Zoë 日本 📷", "notes"}) {
      MakeDir(folders / name);
      WriteText(folders / name + "\\a.txt", name);
    }
    EXPECT_EQ(1u, Hand(route, folders.path, {"Photos", "Zoë 日本 📷", "notes"}, kReal).size());
    for (const char* name : {"Photos", "Zoë 日本 📷", "notes"})
      ExpectArchiveHolds(folders / (std::string(name) + ".tar.xz"), folders / name);
  }
}

// Through the first-menu command, which hands over through the drop target:
// both ends of the way at once.
// "Create one tar.xz", by its verb's own class (served by arkiva.exe --one)
// and by the first menu's second command: the whole selection in one
// process, one archive in its folder, named after it, each item at its top
// in its order.
TEST_F(DropRun, TheSecondEntryMakesOneArchiveOfTheSelection) {
  std::vector<std::string> names = {"b.jpg", "Trip", "a.jpg", "Zo\xc3\xab \xe6\x97\xa5.txt"};
  for (Route route : {kDrop, kFirstMenu}) {
    ScratchDir scratch;
    std::string fotos = scratch / "Fotos";
    MakeDir(fotos);
    MakeDir(fotos + kSep + "Trip");
    WriteText(fotos + kSep + "Trip" + kSep + "t.txt", "trip");
    for (const std::string& name : names)
      if (name != "Trip")
        WriteText(fotos + kSep + name, name);
    EXPECT_EQ(1u, Hand(route, fotos, names, kReal, kOneVerb).size()) << route;
    EXPECT_EQ(std::vector<std::string>(
                  {"b.jpg", "Trip/", "Trip/t.txt", "a.jpg", "Zo\xc3\xab \xe6\x97\xa5.txt"}),
              Members(fotos + kSep + "Fotos.tar.xz", false))
        << route;
    EXPECT_FALSE(PathExists(fotos + kSep + "b.jpg.xz"));
  }
}

TEST_F(DropRun, ThreeHundredItemsInTheirOrder) {
  std::vector<std::string> names;
  for (int i = 0; i < 300; ++i) {
    names.push_back("f" + std::to_string(1000 + i) + ".txt");
    WriteText(dir / names.back(), "x");
  }
  EXPECT_EQ(1u, Hand(kFirstMenu, dir.path, names, kRecording).size());
  std::vector<std::vector<std::string>> records = Records();
  ASSERT_EQ(300u, records.size());
  for (int i = 0; i < 300; ++i)
    EXPECT_EQ("\"xz\" -zv \"" + names[i] + "\"", records[i][1]);
}

// What Explorer asks before it shows a command: its words, its icon, and
// whether it shows for the selection.
// A command's title is its label in the user's display language (Wine's,
// one ctest run a language), from arkiva.exe's string table, as the static
// verbs' MUIVerb is.
TEST_F(DropRun, TheFirstMenuCommandsTitlesInTheUsersLanguage) {
  struct {
    const char* language;
    const char* verb;
    const wchar_t* title;
  } rows[] = {
      {"en", "Create tar.xz", L"Create tar.xz"},    {"en", kOneVerb, L"Create one tar.xz"},
      {"de", "Create tar.xz", L"tar.xz erstellen"}, {"de", kOneVerb, L"Ein tar.xz erstellen"},
      {"ja", "Create tar.xz", L"tar.xz を作成"},    {"ja", kOneVerb, L"1 つの tar.xz を作成"}};
  for (const auto& row : rows) {
    if (DisplayLanguage() != row.language)
      continue;
    std::unique_ptr<IExplorerCommand, void (*)(IExplorerCommand*)> command(
        FirstMenuCommand(row.verb), [](IExplorerCommand* c) { c->Release(); });
    ASSERT_TRUE(command);
    LPWSTR text = nullptr;
    ASSERT_EQ(S_OK, command->GetTitle(NULL, &text));
    EXPECT_EQ(row.title, std::wstring(text));
    CoTaskMemFree(text);
  }
}

// Each shows only where every item has a file-system path; the second
// only for two items or more, so that one item is offered the first alone.
TEST_F(DropRun, TheFirstMenuCommandsShowForTheirSelectionsOnly) {
  MakeDir(dir / "Photos");
  WriteText(dir / "a.txt", "a");
  const std::string kThisPc = "::{20D04FE0-3AEA-1069-A2D8-08002B30309D}";
  struct {
    const char* verb;
    std::string folder;
    std::vector<std::string> names;
    EXPCMDSTATE state;
  } cases[] = {{"Create tar.xz", dir.path, {"Photos"}, ECS_ENABLED},
               {"Create tar.xz", dir.path, {"a.txt", "Photos"}, ECS_ENABLED},
               {"Create tar.xz", "", {kThisPc}, ECS_HIDDEN},
               {"Create tar.xz", "", {dir / "a.txt", kThisPc}, ECS_HIDDEN},
               {kOneVerb, dir.path, {"Photos"}, ECS_HIDDEN},
               {kOneVerb, dir.path, {"a.txt"}, ECS_HIDDEN},
               {kOneVerb, dir.path, {"a.txt", "Photos"}, ECS_ENABLED},
               {kOneVerb, "", {dir / "a.txt", kThisPc}, ECS_HIDDEN}};
  for (const auto& c : cases) {
    std::unique_ptr<IExplorerCommand, void (*)(IExplorerCommand*)> command(
        FirstMenuCommand(c.verb), [](IExplorerCommand* c) { c->Release(); });
    ASSERT_TRUE(command);
    IShellItemArray* items = SelectionItems(c.folder, c.names);
    ASSERT_TRUE(items);
    EXPCMDSTATE state = ECS_DISABLED;
    EXPECT_EQ(S_OK, command->GetState(items, FALSE, &state));
    EXPECT_EQ(c.state, state) << c.verb << ": " << c.names.size() << " " << c.names.back();
    items->Release();
    state = ECS_ENABLED;
    EXPECT_EQ(S_OK, command->GetState(NULL, FALSE, &state));
    EXPECT_EQ(ECS_HIDDEN, state);
    LPWSTR text = nullptr;
    ASSERT_EQ(S_OK, command->GetIcon(NULL, &text));
    EXPECT_EQ(Wide(BuildPath("arkiva.exe")) + L",0", std::wstring(text));
    CoTaskMemFree(text);
    IEnumExplorerCommand* sub = nullptr;
    EXPECT_EQ(E_NOTIMPL, command->EnumSubCommands(&sub));
  }
}

TEST_F(DropRun, OneDialogForTheSelectionWhoseCancelStopsTheRest) {
  for (const char* name : {"A", "B", "C"}) {
    MakeDir(dir / name);
    WriteText(dir / name + "\\a.txt", name);
  }
  DialogView seen;
  std::thread user([&] {
    for (int i = 0; i < 1500 && !(seen.found && seen.lines.size() >= 2); ++i) {
      Sleep(20);
      std::set<DWORD> running = RunningArkivas();
      seen = running.empty() ? DialogView() : FindProgressDialog(*running.begin());
    }
    PostMessageA(seen.cancel, BM_CLICK, 0, 0);
  });
  // Each program takes 3 s: the dialog shows during A's tar.
  EXPECT_EQ(1u, Drop(dir.path, {"A", "B", "C"}, kRecording, "3000").size());
  user.join();
  ASSERT_TRUE(seen.found);
  EXPECT_EQ("Creating \"A.tar\" (item 1 of 3)", seen.lines[0]);
  EXPECT_EQ(1u, Records().size());  // A's tar, stopped; no xz, nothing of B or C
  EXPECT_FALSE(PathExists(dir / "A.tar"));
  EXPECT_FALSE(PathExists(dir / "B.tar"));
}

TEST_F(DropRun, AnActivationWithoutADropLeavesNothing) {
  WriteText(dir / "a.txt", "a");
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(1u, Drop(dir.path, {}, kRecording).size());
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));  // not 30 s
  EXPECT_TRUE(PathExists(dir / "a.txt"));
  EXPECT_FALSE(PathExists(log));

  // Made and held, never dropped on: the server ends all the same, after
  // its 30 s, and a call on the held object then fails at once.
  CLSID id;
  CLSIDFromString(&Wide(kDropTargetClass)[0], &id);
  IDropTarget* held = nullptr;
  ASSERT_EQ(S_OK, CoCreateInstance(id, NULL, CLSCTX_LOCAL_SERVER, IID_IDropTarget,
                                   reinterpret_cast<void**>(&held)));
  start = std::chrono::steady_clock::now();
  for (int i = 0; i < 3000 && !RunningArkivas().empty(); ++i)
    Sleep(20);
  EXPECT_TRUE(RunningArkivas().empty());
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(45));
  held->Release();

  // What is no file-system path (This PC): nothing runs.
  EXPECT_EQ(1u, Drop("", {"::{20D04FE0-3AEA-1069-A2D8-08002B30309D}"}, kRecording).size());
  EXPECT_FALSE(PathExists(log));
}

TEST_F(DropRun, TwoSelectionsAtOnceAreTwoProcesses) {
  WriteText(dir / "a.txt", "a");
  WriteText(dir / "b.txt", "b");
  Register(kRecording);
  SetEnvironmentVariableA("ARKIVA_RECORD", log.c_str());
  CLSID id;
  CLSIDFromString(&Wide(kDropTargetClass)[0], &id);
  IDropTarget *first = nullptr, *second = nullptr;
  ASSERT_EQ(S_OK, CoCreateInstance(id, NULL, CLSCTX_LOCAL_SERVER, IID_IDropTarget,
                                   reinterpret_cast<void**>(&first)));
  ASSERT_EQ(S_OK, CoCreateInstance(id, NULL, CLSCTX_LOCAL_SERVER, IID_IDropTarget,
                                   reinterpret_cast<void**>(&second)));
  EXPECT_EQ(2u, RunningArkivas().size());
  POINTL point = {0, 0};
  DWORD effect = DROPEFFECT_COPY;
  IDataObject* a = SelectionData(dir.path, {"a.txt"});
  IDataObject* b = SelectionData(dir.path, {"b.txt"});
  EXPECT_EQ(S_OK, first->Drop(a, 0, point, &effect));
  EXPECT_EQ(S_OK, second->Drop(b, 0, point, &effect));
  // One selection a process: a second drop on the first is refused.
  effect = DROPEFFECT_COPY;
  EXPECT_EQ(S_OK, first->Drop(b, 0, point, &effect));
  EXPECT_EQ(static_cast<DWORD>(DROPEFFECT_NONE), effect);
  for (IUnknown* done : std::initializer_list<IUnknown*>{a, b, first, second})
    done->Release();
  for (int i = 0; i < 3000 && !RunningArkivas().empty(); ++i)
    Sleep(20);
  EXPECT_EQ(2u, Records().size());
  EXPECT_TRUE(PathExists(dir / "a.txt.xz"));
  EXPECT_TRUE(PathExists(dir / "b.txt.xz"));
}

}  // namespace

namespace {

// A DROPFILES block: the header, each name and its zero, one more zero;
// `cut` bytes fewer at the end.
std::string DropFilesBlock(const std::vector<std::wstring>& names, bool wide, size_t cut = 0) {
  DROPFILES header = {};
  header.pFiles = sizeof(header);
  header.fWide = wide;
  std::string block(reinterpret_cast<const char*>(&header), sizeof(header));
  for (const std::wstring& name : names) {
    if (wide)
      block.append(reinterpret_cast<const char*>(name.c_str()), (name.size() + 1) * 2);
    else
      block += std::string(name.begin(), name.end()) + '\0';
  }
  block.append(wide ? 2 : 1, '\0');
  return block.substr(0, block.size() - cut);
}

// Explorer's block for a selection, read once: every name in its order, in
// UTF-16 or the ANSI code page, nothing past the block's end.
TEST(DroppedPaths, EveryNameInItsOrderAndNothingPastTheBlock) {
  std::vector<std::wstring> many;
  std::vector<std::string> many_paths;
  for (int i = 0; i < 100000; ++i) {
    many.push_back(L"C:\\Users\\me\\Pictures\\IMG_" + std::to_wstring(i) + L".jpg");
    many_paths.push_back("C:\\Users\\me\\Pictures\\IMG_" + std::to_string(i) + ".jpg");
  }
  struct {
    const char* what;
    std::string block;
    std::vector<std::string> paths;
  } rows[] = {
      {"wide",
       DropFilesBlock({L"C:\\a", L"C:\\Zo\u00eb \u65e5\u672c"}, true),
       {"C:\\a", "C:\\Zo\u00eb \u65e5\u672c"}},
      {"ANSI", DropFilesBlock({L"C:\\a", L"C:\\b"}, false), {"C:\\a", "C:\\b"}},
      {"a name cut off", DropFilesBlock({L"C:\\a", L"C:\\Documents"}, true, 8), {"C:\\a"}},
      {"no list end", DropFilesBlock({L"C:\\a"}, true, 2), {"C:\\a"}},
      {"names past the end", DropFilesBlock({L"C:\\a"}, true).substr(0, sizeof(DROPFILES) - 1), {}},
      {"100,000 items", DropFilesBlock(many, true), many_paths},
  };
  for (const auto& row : rows)
    EXPECT_TRUE(row.paths == DroppedPaths(row.block.data(), row.block.size())) << row.what;
}

}  // namespace
