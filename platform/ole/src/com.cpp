// Apartment bookkeeping and in-process class creation (ole32).
#include <cstring>
#include <map>
#include <mutex>
#include <string>

#include "guid_text.h"
#include "internal.h"
#include "objbase.h"
#include "ole2.h"
#include "registrar.h"
#include "registry_store.h"
#include "win32/module.h"

namespace {

// FARPROC to the entry point's own type; the detour through void (*)() is the cast that
// does not warn.
template <typename F>
F ProcAs(FARPROC p) {
  return reinterpret_cast<F>(reinterpret_cast<void (*)()>(p));
}

struct Apartment {
  int count = 0;
  DWORD model = COINIT_APARTMENTTHREADED;
};
thread_local Apartment apartment;

// Servers are loaded once per process; the table outlives every apartment.
struct Library {
  HMODULE handle = nullptr;
  LPFNGETCLASSOBJECT get_class_object = nullptr;
  LPFNCANUNLOADNOW can_unload_now = nullptr;
};
std::mutex libraries_mutex;
std::map<std::string, Library>& Libraries() {
  static std::map<std::string, Library> table;
  return table;
}

HRESULT LoadServer(const std::string& path, Library& out) {
  std::lock_guard lock(libraries_mutex);
  auto& table = Libraries();
  if (auto it = table.find(path); it != table.end()) {
    out = it->second;
    return S_OK;
  }
  HMODULE handle = LoadLibraryA(path.c_str());
  if (!handle) {
    DWORD error = GetLastError();
    return HRESULT_FROM_WIN32(error ? error : ERROR_MOD_NOT_FOUND);
  }
  Library lib;
  lib.handle = handle;
  lib.get_class_object = ProcAs<LPFNGETCLASSOBJECT>(GetProcAddress(handle, "DllGetClassObject"));
  lib.can_unload_now = ProcAs<LPFNCANUNLOADNOW>(GetProcAddress(handle, "DllCanUnloadNow"));
  if (!lib.get_class_object) {
    FreeLibrary(handle);
    return CO_E_ERRORINDLL;
  }
  table.emplace(path, lib);
  out = lib;
  return S_OK;
}

std::string ClsidKey(REFCLSID clsid) {
  return "CLSID\\" + ole::GuidToString(clsid);
}

}  // namespace

namespace ole {

bool ReadClassesValue(const std::string& path, const std::string& value_name, std::string& out) {
  std::vector<std::string> parts;
  if (!reg::SplitPath(path, parts)) return false;
  bool found = false;
  reg::Read([&](const reg::Tree& tree) -> LONG {
    const reg::Key* key = reg::Walk(tree.roots[reg::kClassesRoot], parts);
    const reg::Value* v = key ? key->FindValue(value_name) : nullptr;
    if (v && v->type != 4) {
      out = v->data;
      found = true;
    }
    return ERROR_SUCCESS;
  });
  return found;
}

}  // namespace ole

STDAPI CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit) {
  if (pvReserved) return E_INVALIDARG;
  const DWORD model = dwCoInit & COINIT_APARTMENTTHREADED;
  if (apartment.count > 0) {
    if (apartment.model != model) return RPC_E_CHANGED_MODE;
    ++apartment.count;
    return S_FALSE;
  }
  apartment.model = model;
  apartment.count = 1;
  return S_OK;
}

STDAPI CoInitialize(LPVOID pvReserved) {
  return CoInitializeEx(pvReserved, COINIT_APARTMENTTHREADED);
}

void STDAPICALLTYPE CoUninitialize(void) {
  if (apartment.count == 0) return;
  if (--apartment.count > 0) return;
  ole::ClearThreadErrorInfo();
  CoFreeUnusedLibraries();
}

STDAPI OleInitialize(LPVOID pvReserved) {
  return CoInitializeEx(pvReserved, COINIT_APARTMENTTHREADED);
}

void STDAPICALLTYPE OleUninitialize(void) {
  CoUninitialize();
}

STDAPI CoGetClassObject(REFCLSID rclsid, DWORD dwClsContext, LPVOID, REFIID riid, LPVOID* ppv) {
  if (!ppv) return E_INVALIDARG;
  *ppv = nullptr;
  if (apartment.count == 0) return CO_E_NOTINITIALIZED;
  if (!(dwClsContext & CLSCTX_INPROC)) return REGDB_E_CLASSNOTREG;
  std::string path;
  if (!ole::ReadClassesValue(ClsidKey(rclsid) + "\\InprocServer32", "", path) || path.empty()) {
    return REGDB_E_CLASSNOTREG;
  }
  Library lib;
  HRESULT hr = LoadServer(path, lib);
  if (FAILED(hr)) return hr;
  return lib.get_class_object(rclsid, riid, ppv);
}

STDAPI CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext, REFIID riid,
                        LPVOID* ppv) {
  if (!ppv) return E_INVALIDARG;
  *ppv = nullptr;
  if (apartment.count == 0) return CO_E_NOTINITIALIZED;
  if (rclsid == CLSID_Registrar) {
    if (pUnkOuter) return CLASS_E_NOAGGREGATION;
    return ole::CreateRegistrar(riid, ppv);
  }
  IClassFactory* factory = nullptr;
  HRESULT hr = CoGetClassObject(rclsid, dwClsContext, nullptr, IID_IClassFactory,
                                reinterpret_cast<void**>(&factory));
  if (FAILED(hr)) return hr;
  hr = factory->CreateInstance(pUnkOuter, riid, ppv);
  factory->Release();
  return hr;
}

void STDAPICALLTYPE CoFreeUnusedLibraries(void) {
  std::lock_guard lock(libraries_mutex);
  auto& table = Libraries();
  for (auto it = table.begin(); it != table.end();) {
    const Library& lib = it->second;
    if (lib.can_unload_now && lib.can_unload_now() == S_OK) {
      FreeLibrary(lib.handle);
      it = table.erase(it);
    } else {
      ++it;
    }
  }
}

void STDAPICALLTYPE CoFreeUnusedLibrariesEx(DWORD, DWORD) {
  CoFreeUnusedLibraries();
}

STDAPI CLSIDFromProgID(LPCOLESTR lpszProgID, LPCLSID lpclsid) {
  if (!lpszProgID || !lpclsid) return E_INVALIDARG;
  *lpclsid = CLSID_NULL;
  std::string progid = ole::Narrow(lpszProgID);
  std::vector<std::string> parts;
  if (progid.empty() || !ole::reg::SplitPath(progid, parts) || parts.size() != 1) {
    return CO_E_CLASSSTRING;
  }
  std::string text;
  if (!ole::ReadClassesValue(progid + "\\CLSID", "", text)) {
    // A version-independent name may name its current version only.
    std::string current;
    if (!ole::ReadClassesValue(progid + "\\CurVer", "", current) ||
        !ole::ReadClassesValue(current + "\\CLSID", "", text)) {
      return CO_E_CLASSSTRING;
    }
  }
  auto guid = ole::GuidFromString(text);
  if (!guid) return CO_E_CLASSSTRING;
  *lpclsid = *guid;
  return S_OK;
}

STDAPI ProgIDFromCLSID(REFCLSID clsid, LPOLESTR* lplpszProgID) {
  if (!lplpszProgID) return E_INVALIDARG;
  *lplpszProgID = nullptr;
  std::string progid;
  if (!ole::ReadClassesValue(ClsidKey(clsid) + "\\ProgID", "", progid) || progid.empty()) {
    return REGDB_E_CLASSNOTREG;
  }
  std::u16string w = ole::Widen(progid);
  auto* p = static_cast<LPOLESTR>(CoTaskMemAlloc((w.size() + 1) * sizeof(OLECHAR)));
  if (!p) return E_OUTOFMEMORY;
  std::memcpy(p, w.c_str(), (w.size() + 1) * sizeof(OLECHAR));
  *lplpszProgID = p;
  return S_OK;
}

STDAPI CLSIDFromString(LPCOLESTR lpsz, LPCLSID pclsid) {
  if (!pclsid) return E_INVALIDARG;
  if (!lpsz || !*lpsz) {
    *pclsid = CLSID_NULL;
    return S_OK;
  }
  if (auto guid = ole::GuidFromString(ole::Narrow(lpsz))) {
    *pclsid = *guid;
    return S_OK;
  }
  return CLSIDFromProgID(lpsz, pclsid);
}
