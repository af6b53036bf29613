#include "app/drop_target.h"

#include <windows.h>
#include <ole2.h>
#include <shellapi.h>
#include <shlobj.h>

#include "app/setup/setup.h"
#include "host/class_factory-win32.h"
#include "host/process/program_args.h"
#include "host/wide_text.h"

namespace {

// COM gives a server 60 s to register; one that nothing is dropped on
// within this time ends, whether or not an object was made: Explorer may
// make one and neither drop on it nor let it go.
const int kNoDropSeconds = 30;
// After the drop, how long Explorer has to let the object go.
const int kLetGoSeconds = 5;

struct Selection {
  bool dropped = false;        // and a selection dropped on it
  IUnknown* target = nullptr;  // while it lives
  std::vector<std::string> items;
};

// The file-system paths of a data object (CF_HDROP), in their order.
std::vector<std::string> PathsOf(IDataObject* data) {
  std::vector<std::string> paths;
  FORMATETC format = {CF_HDROP, NULL, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  STGMEDIUM medium;
  if (!data || FAILED(data->GetData(&format, &medium)))
    return paths;
  if (const void* block = GlobalLock(medium.hGlobal)) {
    paths = DroppedPaths(block, GlobalSize(medium.hGlobal));
    GlobalUnlock(medium.hGlobal);
  }
  ReleaseStgMedium(&medium);
  return paths;
}

// The object Explorer drops the selection on. Drop copies the paths out and
// returns at once: Explorer waits for it.
class DropTarget : public IDropTarget {
 public:
  explicit DropTarget(Selection* selection) : selection_(selection) {
    CoAddRefServerProcess();
    selection_->target = this;
  }
  virtual ~DropTarget() { selection_->target = nullptr; }

  STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
    *object = iid == IID_IUnknown || iid == IID_IDropTarget ? this : nullptr;
    if (!*object)
      return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++references_; }
  STDMETHODIMP_(ULONG) Release() override {
    ULONG left = --references_;
    if (left == 0) {
      delete this;
      // The last object gone: COM takes no more requests, and the loop ends.
      if (CoReleaseServerProcess() == 0)
        PostQuitMessage(0);
    }
    return left;
  }

  STDMETHODIMP DragEnter(IDataObject*, DWORD, POINTL, DWORD* effect) override {
    *effect = DROPEFFECT_COPY;
    return S_OK;
  }
  STDMETHODIMP DragOver(DWORD, POINTL, DWORD* effect) override {
    *effect = DROPEFFECT_COPY;
    return S_OK;
  }
  STDMETHODIMP DragLeave() override { return S_OK; }
  // One selection a process: a second drop is refused, not taken for done.
  STDMETHODIMP Drop(IDataObject* data, DWORD, POINTL, DWORD* effect) override {
    if (selection_->dropped) {
      *effect = DROPEFFECT_NONE;
      return S_OK;
    }
    selection_->items = PathsOf(data);
    selection_->dropped = true;
    *effect = DROPEFFECT_COPY;
    return S_OK;
  }

 private:
  ULONG references_ = 1;
  Selection* selection_;
};

}  // namespace

std::vector<std::string> DroppedPaths(const void* block, size_t size) {
  std::vector<std::string> paths;
  const DROPFILES* header = static_cast<const DROPFILES*>(block);
  if (size < sizeof(DROPFILES) || header->pFiles < sizeof(DROPFILES) || header->pFiles > size)
    return paths;
  const char* at = static_cast<const char*>(block) + header->pFiles;
  const char* end = static_cast<const char*>(block) + size;
  size_t unit = header->fWide ? sizeof(wchar_t) : 1;
  while (end - at >= static_cast<ptrdiff_t>(unit)) {
    // One name, up to its zero; one the block cuts off is not taken (a
    // part of a path may name another item).
    size_t length = 0;
    if (header->fWide) {
      const wchar_t* name = reinterpret_cast<const wchar_t*>(at);
      size_t room = (end - at) / unit;
      while (length < room && name[length])
        ++length;
      if (length == 0 || length == room)
        break;
      paths.push_back(Narrow(name, length));
    } else {
      size_t room = end - at;
      while (length < room && at[length])
        ++length;
      if (length == 0 || length == room)
        break;
      int wide = MultiByteToWideChar(CP_ACP, 0, at, static_cast<int>(length), NULL, 0);
      std::wstring name(wide, L'\0');
      MultiByteToWideChar(CP_ACP, 0, at, static_cast<int>(length), &name[0], wide);
      paths.push_back(Narrow(name));
    }
    at += (length + 1) * unit;
  }
  return paths;
}

ComStart StartedByCom() {
  // Asked first, before any argument is handed out: the first one, or the
  // second after "--one" (the class's LocalServer32 is "arkiva.exe --one").
  std::vector<std::string> tokens = SplitCommandLine(GetCommandLineA());
  bool one = tokens.size() >= 3 && tokens[1] == "--one";
  size_t at = one ? 2 : 1;
  if (tokens.size() <= at)
    return ComStart::kNotByCom;
  const char* word = tokens[at].c_str();
  if (lstrcmpiA(word, "-Embedding") != 0 && lstrcmpiA(word, "/Embedding") != 0)
    return ComStart::kNotByCom;
  if (one)
    SkipArgument("--one");
  SkipArgument(tokens[at]);
  return one ? ComStart::kOneArchive : ComStart::kEachItem;
}

std::vector<std::string> ReceiveDroppedItems(ComStart start) {
  Selection selection;
  CLSID id;
  const char* served = start == ComStart::kOneArchive ? kOneDropTargetClass : kDropTargetClass;
  std::wstring class_text(served, served + strlen(served));
  if (FAILED(CoInitializeEx(NULL, COINIT_APARTMENTTHREADED)) ||
      FAILED(CLSIDFromString(class_text.c_str(), &id)))
    return {};
  // Registered for one use (REGCLS_SINGLEUSE): a second selection starts a
  // process of its own.
  ClassFactory factory([&selection] { return new DropTarget(&selection); },
                       [](bool lock) {
                         if (lock)
                           CoAddRefServerProcess();
                         else if (CoReleaseServerProcess() == 0)
                           PostQuitMessage(0);
                       });
  DWORD cookie = 0;
  if (FAILED(CoRegisterClassObject(id, &factory, CLSCTX_LOCAL_SERVER, REGCLS_SINGLEUSE, &cookie)))
    return {};
  // A tick a second: the loop also ends when nothing is dropped in time, or
  // when Explorer keeps the object long after its drop.
  UINT_PTR tick = SetTimer(NULL, 0, 1000, NULL);
  int seconds = 0, since_drop = 0;
  MSG message;
  while (GetMessageW(&message, NULL, 0, 0) > 0) {
    if (message.message == WM_TIMER && message.hwnd == NULL) {
      ++seconds;
      since_drop += selection.dropped ? 1 : 0;
      if ((!selection.dropped && seconds >= kNoDropSeconds) || since_drop >= kLetGoSeconds)
        break;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  KillTimer(NULL, tick);
  CoRevokeClassObject(cookie);
  // An object Explorer still holds is cut off: a later call fails at once
  // instead of waiting for a thread that archives, and pumps no messages.
  if (selection.target)
    CoDisconnectObject(selection.target, 0);
  while (PeekMessageW(&message, NULL, WM_QUIT, WM_QUIT, PM_REMOVE)) {
  }
  return selection.dropped ? selection.items : std::vector<std::string>();
}
