// arkiva-shell.dll: "Create tar.xz" and "Create one tar.xz" on Windows 11's
// first context menu. That menu shows only commands of a packaged app, each
// an IExplorerCommand in a DLL that Explorer loads into a surrogate
// (dllhost.exe). These do no archiving themselves: Invoke hands the whole
// selection to one arkiva.exe, through the class its static verb names as
// its DropTarget, as Explorer does for the verbs, and returns at once.

#include <windows.h>
#include <ole2.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <shobjidl.h>

#include <string>
#include <vector>

#include "catalogues/translation.h"
#include "host/class_factory-win32.h"
#include "entry_label.h"

#define WIDEN_(text) L##text
#define WIDEN(text) WIDEN_(text)

namespace {

HMODULE g_module;
// Objects alive and hand-overs under way: while any is, the DLL stays.
LONG g_users;

// What tells the two commands apart.
struct Command {
  const wchar_t* command_class;      // the class the package's verb names
  const wchar_t* drop_target_class;  // arkiva.exe's class for its static verb
  int label_string_id;               // in arkiva.exe's string tables
  const wchar_t* english_label;      // where those cannot be read
  DWORD fewest_items;                // below this it is hidden
};

const Command kEachItem = {WIDEN(ARKIVA_SHELL_COMMAND_CLASS), WIDEN(ARKIVA_DROP_TARGET_CLASS),
                           kMenuLabelStringId, WIDEN(ARKIVA_ENTRY_LABEL), 1};
// One archive of one item is what the first command makes: for one item
// only the first is offered.
const Command kOneArchive = {WIDEN(ARKIVA_SHELL_ONE_COMMAND_CLASS),
                             WIDEN(ARKIVA_ONE_DROP_TARGET_CLASS), kOneMenuLabelStringId,
                             WIDEN(ARKIVA_ONE_ENTRY_LABEL), 2};

HRESULT CopyOut(const std::wstring& text, LPWSTR* out) {
  size_t bytes = (text.size() + 1) * sizeof(wchar_t);
  *out = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
  if (!*out)
    return E_OUTOFMEMORY;
  memcpy(*out, text.c_str(), bytes);
  return S_OK;
}

// arkiva.exe is installed beside this DLL.
std::wstring ProgramBeside() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD n = GetModuleFileNameW(g_module, &path[0], static_cast<DWORD>(path.size()));
    if (n == 0)
      return L"arkiva.exe";
    if (n < path.size()) {
      path.resize(n);
      break;
    }
    path.resize(path.size() * 2);
  }
  return path.substr(0, path.find_last_of(L'\\') + 1) + L"arkiva.exe";
}

// IUnknown for an object of one interface: it counts its references, from
// 1 at its making, and deletes itself at the last Release.
template <class Interface, const IID* kInterfaceId>
class Counted : public Interface {
 public:
  STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
    *object = iid == IID_IUnknown || iid == *kInterfaceId ? this : nullptr;
    if (!*object)
      return E_NOINTERFACE;
    this->AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&references_); }
  STDMETHODIMP_(ULONG) Release() override {
    LONG left = InterlockedDecrement(&references_);
    if (left == 0)
      delete this;
    return left;
  }

 protected:
  virtual ~Counted() {}

 private:
  LONG references_ = 1;
};

// The selection as a drag and drop gives it: one CF_HDROP with every path.
class DroppedFiles : public Counted<IDataObject, &IID_IDataObject> {
 public:
  explicit DroppedFiles(const std::vector<std::wstring>& paths) : paths_(paths) {}

  STDMETHODIMP GetData(FORMATETC* format, STGMEDIUM* medium) override {
    HRESULT offered = QueryGetData(format);
    if (offered != S_OK)
      return offered;
    size_t chars = 1;
    for (const std::wstring& path : paths_)
      chars += path.size() + 1;
    HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + chars * sizeof(wchar_t));
    if (!memory)
      return E_OUTOFMEMORY;
    DROPFILES* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    wchar_t* at = reinterpret_cast<wchar_t*>(drop + 1);
    for (const std::wstring& path : paths_) {
      memcpy(at, path.c_str(), (path.size() + 1) * sizeof(wchar_t));
      at += path.size() + 1;
    }
    *at = L'\0';  // the list ends with an empty name
    GlobalUnlock(memory);
    medium->tymed = TYMED_HGLOBAL;
    medium->hGlobal = memory;
    medium->pUnkForRelease = nullptr;
    return S_OK;
  }
  STDMETHODIMP GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
  STDMETHODIMP QueryGetData(FORMATETC* format) override {
    if (format->cfFormat != CF_HDROP || format->dwAspect != DVASPECT_CONTENT)
      return DV_E_FORMATETC;
    return format->tymed & TYMED_HGLOBAL ? S_OK : DV_E_TYMED;
  }
  STDMETHODIMP GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override {
    out->ptd = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP EnumFormatEtc(DWORD direction, IEnumFORMATETC** formats) override {
    FORMATETC offered = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    if (direction != DATADIR_GET)
      return E_NOTIMPL;
    return SHCreateStdEnumFmtEtc(1, &offered, formats);
  }
  STDMETHODIMP DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
    return OLE_E_ADVISENOTSUPPORTED;
  }
  STDMETHODIMP DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
  STDMETHODIMP EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

 private:
  std::vector<std::wstring> paths_;
};

// A label in the user's display language, from arkiva.exe's string
// tables, as Explorer loads the static verbs' MUIVerb; English where it
// cannot.
std::wstring Title(const Command& command) {
  std::wstring label = L"@" + ProgramBeside() + L",-" + std::to_wstring(command.label_string_id);
  wchar_t text[256];
  if (SUCCEEDED(SHLoadIndirectString(label.c_str(), text, 256, nullptr)) && text[0])
    return text;
  return command.english_label;
}

void TellFailure(const Command& command, HRESULT result) {
  wchar_t* words = nullptr;
  FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(result), 0, reinterpret_cast<LPWSTR>(&words), 0, nullptr);
  std::wstring text = L"arkiva.exe could not be started: ";
  text += words ? words : L"error " + std::to_wstring(static_cast<unsigned long>(result));
  LocalFree(words);
  MessageBoxW(nullptr, text.c_str(), Title(command).c_str(),
              MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
}

// Drops the selection on a new drop target of arkiva.exe's: COM starts one
// arkiva.exe, which takes every path and archives once this lets go.
HRESULT DropOnArkiva(const Command& command, const std::vector<std::wstring>& paths) {
  CLSID id;
  HRESULT result = CLSIDFromString(command.drop_target_class, &id);
  IDropTarget* target = nullptr;
  if (SUCCEEDED(result))
    result = CoCreateInstance(id, nullptr, CLSCTX_LOCAL_SERVER, IID_IDropTarget,
                              reinterpret_cast<void**>(&target));
  if (FAILED(result))
    return result;
  // The user chose the command here, in Explorer: arkiva.exe may come to
  // the front with its boxes (COM passes Explorer's right to the server).
  CoAllowSetForegroundWindow(target, nullptr);
  DroppedFiles* data = new DroppedFiles(paths);
  POINTL point = {0, 0};
  DWORD effect = DROPEFFECT_COPY;
  result = target->DragEnter(data, MK_LBUTTON, point, &effect);
  if (SUCCEEDED(result)) {
    effect = DROPEFFECT_COPY;
    result = target->Drop(data, 0, point, &effect);
  }
  data->Release();
  target->Release();
  return result;
}

// What a hand-over's thread takes.
struct Selection {
  const Command* command;
  std::vector<std::wstring> paths;
};

// The hand-over's own thread: starting arkiva.exe's server takes about a
// second, which Explorer must not wait for. It holds the DLL until it ends.
DWORD WINAPI HandOver(void* parameter) {
  Selection* selection = static_cast<Selection*>(parameter);
  if (SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
    HRESULT result = DropOnArkiva(*selection->command, selection->paths);
    if (FAILED(result))
      TellFailure(*selection->command, result);
    CoUninitialize();
  }
  delete selection;
  InterlockedDecrement(&g_users);
  FreeLibraryAndExitThread(g_module, 0);
}

class ExplorerCommand : public Counted<IExplorerCommand, &IID_IExplorerCommand> {
 public:
  explicit ExplorerCommand(const Command& command) : command_(command) {
    InterlockedIncrement(&g_users);
  }

  STDMETHODIMP GetTitle(IShellItemArray*, LPWSTR* title) override {
    return CopyOut(Title(command_), title);
  }
  STDMETHODIMP GetIcon(IShellItemArray*, LPWSTR* icon) override {
    return CopyOut(ProgramBeside() + L",0", icon);
  }
  STDMETHODIMP GetToolTip(IShellItemArray*, LPWSTR* tip) override {
    *tip = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP GetCanonicalName(GUID* name) override {
    return CLSIDFromString(command_.command_class, name);
  }
  // Only items with a file-system path can be archived: not This PC, a
  // phone, or what is inside a zip.
  STDMETHODIMP GetState(IShellItemArray* items, BOOL, EXPCMDSTATE* state) override {
    SFGAOF found = 0;
    DWORD count = 0;
    bool all_files = items && SUCCEEDED(items->GetCount(&count)) &&
                     count >= command_.fewest_items && count > 0 &&
                     SUCCEEDED(items->GetAttributes(SIATTRIBFLAGS_AND, SFGAO_FILESYSTEM, &found)) &&
                     (found & SFGAO_FILESYSTEM);
    *state = all_files ? ECS_ENABLED : ECS_HIDDEN;
    return S_OK;
  }
  STDMETHODIMP Invoke(IShellItemArray* items, IBindCtx*) override {
    Selection* selection = new Selection{&command_, PathsOf(items)};
    HMODULE held = nullptr;
    if (selection->paths.empty() ||
        !GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                            reinterpret_cast<LPCWSTR>(&HandOver), &held)) {
      delete selection;
      return S_OK;
    }
    InterlockedIncrement(&g_users);
    HANDLE thread = CreateThread(nullptr, 0, HandOver, selection, 0, nullptr);
    if (!thread) {
      HRESULT result = HRESULT_FROM_WIN32(GetLastError());
      delete selection;
      InterlockedDecrement(&g_users);
      FreeLibrary(held);
      return result;
    }
    CloseHandle(thread);
    return S_OK;
  }
  STDMETHODIMP GetFlags(EXPCMDFLAGS* flags) override {
    *flags = ECF_DEFAULT;
    return S_OK;
  }
  STDMETHODIMP EnumSubCommands(IEnumExplorerCommand** commands) override {
    *commands = nullptr;
    return E_NOTIMPL;
  }

 private:
  ~ExplorerCommand() override { InterlockedDecrement(&g_users); }

  // Each item's file-system path, in the selection's order.
  static std::vector<std::wstring> PathsOf(IShellItemArray* items) {
    std::vector<std::wstring> paths;
    DWORD count = 0;
    if (!items || FAILED(items->GetCount(&count)))
      return paths;
    for (DWORD i = 0; i < count; ++i) {
      IShellItem* item = nullptr;
      LPWSTR path = nullptr;
      if (SUCCEEDED(items->GetItemAt(i, &item)) &&
          SUCCEEDED(item->GetDisplayName(SIGDN_FILESYSPATH, &path)) && path[0])
        paths.push_back(path);
      CoTaskMemFree(path);
      if (item)
        item->Release();
    }
    return paths;
  }

  const Command& command_;
};

void LockServer(bool lock) {
  if (lock)
    InterlockedIncrement(&g_users);
  else
    InterlockedDecrement(&g_users);
}

// One a command, for the DLL's whole life.
ClassFactory g_each_item_factory([] { return new ExplorerCommand(kEachItem); }, LockServer);
ClassFactory g_one_archive_factory([] { return new ExplorerCommand(kOneArchive); }, LockServer);

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void*) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_module = instance;
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

extern "C" HRESULT WINAPI DllGetClassObject(REFCLSID id, REFIID iid, void** object) {
  *object = nullptr;
  struct {
    const Command& command;
    ClassFactory& factory;
  } served[] = {{kEachItem, g_each_item_factory}, {kOneArchive, g_one_archive_factory}};
  for (const auto& one : served) {
    CLSID ours;
    if (SUCCEEDED(CLSIDFromString(one.command.command_class, &ours)) && IsEqualCLSID(id, ours))
      return one.factory.QueryInterface(iid, object);
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}

extern "C" HRESULT WINAPI DllCanUnloadNow() {
  return g_users == 0 ? S_OK : S_FALSE;
}
