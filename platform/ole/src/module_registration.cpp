#include "ole/module_registration.h"

#include <limits.h>

#include <string>
#include <vector>

#include "guid_text.h"
#include "objbase.h"
#include "ole/com_ptr.h"
#include "oleauto.h"
#include "registrar.h"
#include "win32/resource.h"

namespace ole {
namespace {

std::string ModulePath(HMODULE module) {
  std::vector<char> buf(PATH_MAX);
  DWORD n = GetModuleFileNameA(module, buf.data(), static_cast<DWORD>(buf.size()));
  if (n == 0 || n >= buf.size()) return {};
  return std::string(buf.data(), n);
}

}  // namespace

std::u16string ModuleReplacement(HMODULE module) {
  // Linux file names are bytes, UTF-8 by convention: never the ANSI code page here.
  const std::u16string path = Widen(ModulePath(module));
  std::u16string out;
  for (char16_t c : path) {
    out += c;
    if (c == u'\'') out += u'\'';
  }
  return out;
}

HRESULT UpdateRegistryFromResource(HMODULE module, UINT id, bool do_register) {
  const std::u16string replacement = ModuleReplacement(module);
  if (replacement.empty()) return HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);
  HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), "REGISTRY");
  if (found == nullptr) return HRESULT_FROM_WIN32(GetLastError());
  const auto* text = static_cast<const char*>(LockResource(LoadResource(module, found)));
  const std::u16string script = Widen(std::string_view(text, SizeofResource(module, found)));

  ComPtr<IRegistrar> registrar;
  HRESULT hr = CoCreateInstance(CLSID_Registrar, nullptr, CLSCTX_INPROC_SERVER, IID_IRegistrar,
                                registrar.put_void());
  if (FAILED(hr)) return hr;
  hr = registrar->AddReplacement(u"MODULE", replacement.c_str());
  if (FAILED(hr)) return hr;
  return do_register ? registrar->StringRegister(script.c_str())
                     : registrar->StringUnregister(script.c_str());
}

HRESULT RegisterTypeLibFromModule(HMODULE module) {
  const std::u16string path = Widen(ModulePath(module));
  if (path.empty()) return HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);
  ComPtr<ITypeLib> lib;
  HRESULT hr = LoadTypeLib(path.c_str(), lib.put());
  if (FAILED(hr)) return hr;
  return RegisterTypeLib(lib.get(), path.c_str(), nullptr);
}

HRESULT UnRegisterTypeLibFromModule(HMODULE module) {
  const std::u16string path = Widen(ModulePath(module));
  if (path.empty()) return HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);
  ComPtr<ITypeLib> lib;
  HRESULT hr = LoadTypeLib(path.c_str(), lib.put());
  if (FAILED(hr)) return hr;
  TLIBATTR* attr = nullptr;
  hr = lib->GetLibAttr(&attr);
  if (FAILED(hr)) return hr;
  const TLIBATTR la = *attr;
  lib->ReleaseTLibAttr(attr);
  return UnRegisterTypeLib(la.guid, la.wMajorVerNum, la.wMinorVerNum, la.lcid, la.syskind);
}

}  // namespace ole
