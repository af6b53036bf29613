#ifndef ARKIVA_HOST_CLASS_FACTORY_WIN32_H_
#define ARKIVA_HOST_CLASS_FACTORY_WIN32_H_

#include <windows.h>
#include <unknwn.h>

#include <functional>

// The IClassFactory COM asks a server for: `make` returns a new object with
// one reference of its own, `lock` does LockServer's work (true: lock). The
// factory lives as long as its server (the COM service's stack in
// arkiva.exe, a global in arkiva-shell.dll), so its references count
// nothing.
class ClassFactory : public IClassFactory {
 public:
  ClassFactory(std::function<IUnknown*()> make, std::function<void(bool)> lock)
      : make_(make), lock_(lock) {}

  STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
    *object = iid == IID_IUnknown || iid == IID_IClassFactory ? this : nullptr;
    return *object ? S_OK : E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }

  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
    *object = nullptr;
    if (outer)
      return CLASS_E_NOAGGREGATION;
    IUnknown* made = make_();
    HRESULT result = made->QueryInterface(iid, object);
    made->Release();
    return result;
  }
  STDMETHODIMP LockServer(BOOL lock) override {
    lock_(lock != FALSE);
    return S_OK;
  }

 private:
  std::function<IUnknown*()> make_;
  std::function<void(bool)> lock_;
};

#endif  // ARKIVA_HOST_CLASS_FACTORY_WIN32_H_
