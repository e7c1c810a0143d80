// The control library's entry points: the class factory, unloading, self-registration,
// and what happens when a process loads and unloads the library.
#include <atomic>
#include <mutex>
#include <type_traits>
#include <new>
#include <utility>

#include "marlet/control_factory.h"
#include "marlet/imarlet.h"
#include "marlet/winsock_library.h"
#include "ole/module_registration.h"
#include "oleauto.h"
#include "olectl.h"

namespace marlet {
namespace {

constexpr UINT kRegistryScript = 102;

class ClassFactory final : public IClassFactory {
 public:
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IClassFactory) {
      *ppv = static_cast<IClassFactory*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  // References beyond the module's own are held by clients: they keep the module loaded.
  STDMETHODIMP_(ULONG) AddRef() override {
    const ULONG n = ++refs_;
    if (n > 1) LockModule();
    return n;
  }
  STDMETHODIMP_(ULONG) Release() override {
    const ULONG n = --refs_;
    if (n >= 1) UnlockModule();
    if (n == 0) delete this;
    return n;
  }
  STDMETHODIMP CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppvObject) override {
    return CreateControl(pUnkOuter, riid, ppvObject);
  }
  STDMETHODIMP LockServer(BOOL fLock) override {
    if (fLock) {
      LockModule();
    } else {
      UnlockModule();
    }
    return S_OK;
  }

 private:
  std::atomic<ULONG> refs_{1};
};

struct Module {
  std::mutex lock;
  HMODULE handle = nullptr;
  bool attached = false;  // the object table exists between attach and detach
  ClassFactory* factory = nullptr;
};

// Process detach runs after the library's static destructors: the module's state must
// have none.
static_assert(std::is_trivially_destructible_v<Module>);
Module& TheModule() {
  static Module module;
  return module;
}

// This library as the loader knows it, found from the address of one of its functions.
HMODULE OwnHandle() {
  HMODULE module = nullptr;
  if (!GetModuleHandleExA(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          reinterpret_cast<LPCSTR>(&OwnHandle), &module)) {
    return nullptr;
  }
  return module;
}

HMODULE ModuleHandle() {
  Module& m = TheModule();
  std::lock_guard guard(m.lock);
  if (!m.handle) m.handle = OwnHandle();
  return m.handle;
}

__attribute__((constructor)) void ProcessAttach() {
  Module& m = TheModule();
  m.handle = OwnHandle();
  WinsockLibrary::Initialize();
  m.attached = true;
}

__attribute__((destructor)) void ProcessDetach() {
  Module& m = TheModule();
  {
    std::lock_guard guard(m.lock);
    m.attached = false;
    if (m.factory) std::exchange(m.factory, nullptr)->Release();
  }
  ReleaseTypeLibrary();
  // The notice window class went with the last engine; at process exit the window layer's
  // own state may already be gone, so it is not touched here.
}

using UnRegisterTypeLibFunction = HRESULT(STDAPICALLTYPE*)(REFGUID, WORD, WORD, LCID, SYSKIND);

// Looked up at run time, as on systems whose automation library may lack it.
HRESULT UnregisterTypeLibrary() {
  HMODULE oleaut = LoadLibraryA("oleaut32.dll");
  if (!oleaut) return TYPE_E_REGISTRYACCESS;
  auto unregister =
      win32::ProcAs<UnRegisterTypeLibFunction>(GetProcAddress(oleaut, "UnRegisterTypeLib"));
  HRESULT hr = TYPE_E_REGISTRYACCESS;
  ITypeLib* library = nullptr;
  if (unregister && SUCCEEDED(GetTypeLibrary(&library))) {
    TLIBATTR* attr = nullptr;
    hr = library->GetLibAttr(&attr);
    if (SUCCEEDED(hr)) {
      hr = unregister(attr->guid, attr->wMajorVerNum, attr->wMinorVerNum, attr->lcid,
                      attr->syskind);
      library->ReleaseTLibAttr(attr);
    }
    library->Release();
  }
  FreeLibrary(oleaut);
  return hr;
}

}  // namespace
}  // namespace marlet

STDAPI DllCanUnloadNow(void) {
  return marlet::ModuleLockCount() == 0 ? S_OK : S_FALSE;
}

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  marlet::Module& m = marlet::TheModule();
  if (!m.attached) return E_INVALIDARG;
  if (rclsid != marlet::kClsidMarlet) return CLASS_E_CLASSNOTAVAILABLE;
  marlet::ClassFactory* factory = nullptr;
  {
    std::lock_guard guard(m.lock);
    if (!m.factory) m.factory = new (std::nothrow) marlet::ClassFactory;
    factory = m.factory;
  }
  if (!factory) return E_OUTOFMEMORY;
  return factory->QueryInterface(riid, ppv);
}

STDAPI DllRegisterServer(void) {
  HMODULE module = marlet::ModuleHandle();
  if (!module) return SELFREG_E_CLASS;
  const HRESULT hr = ole::UpdateRegistryFromResource(module, marlet::kRegistryScript, true);
  if (FAILED(hr)) return hr;
  return ole::RegisterTypeLibFromModule(module);
}

STDAPI DllUnregisterServer(void) {
  HMODULE module = marlet::ModuleHandle();
  if (!module) return SELFREG_E_CLASS;
  const HRESULT hr = ole::UpdateRegistryFromResource(module, marlet::kRegistryScript, false);
  if (FAILED(hr)) return hr;
  return marlet::UnregisterTypeLibrary();
}
