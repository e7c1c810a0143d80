// The registrar object (CLSID_Registrar), built into the runtime.
#include <sys/stat.h>

#include <new>

#include "com_object.h"
#include "guid_text.h"
#include "registrar.h"
#include "registry_script.h"
#include "registry_store.h"
#include "win32/atomic_file.h"

namespace {

class Registrar final : public ole::ComObject<Registrar, IRegistrar, IID_IRegistrar> {
 public:
  STDMETHODIMP AddReplacement(LPCOLESTR key, LPCOLESTR item) override {
    if (!key || !item) return E_INVALIDARG;
    replacements_[ole::Narrow(key)] = ole::Narrow(item);
    return S_OK;
  }
  STDMETHODIMP ClearReplacements() override {
    replacements_.clear();
    return S_OK;
  }
  STDMETHODIMP ResourceRegisterSz(LPCOLESTR, LPCOLESTR, LPCOLESTR) override { return E_NOTIMPL; }
  STDMETHODIMP ResourceUnregisterSz(LPCOLESTR, LPCOLESTR, LPCOLESTR) override { return E_NOTIMPL; }
  STDMETHODIMP ResourceRegister(LPCOLESTR, UINT, LPCOLESTR) override { return E_NOTIMPL; }
  STDMETHODIMP ResourceUnregister(LPCOLESTR, UINT, LPCOLESTR) override { return E_NOTIMPL; }
  STDMETHODIMP FileRegister(LPCOLESTR fileName) override { return RunFile(fileName, true); }
  STDMETHODIMP FileUnregister(LPCOLESTR fileName) override { return RunFile(fileName, false); }
  STDMETHODIMP StringRegister(LPCOLESTR data) override { return Run(data, true); }
  STDMETHODIMP StringUnregister(LPCOLESTR data) override { return Run(data, false); }

 private:
  HRESULT Run(LPCOLESTR data, bool do_register) {
    if (!data) return E_INVALIDARG;
    return RunText(ole::Narrow(data), do_register);
  }
  HRESULT RunFile(LPCOLESTR file, bool do_register) {
    if (!file) return E_INVALIDARG;
    const std::string path = ole::Narrow(file);
    // A script longer than the registry file it would write is refused unread.
    struct stat st {};
    if (stat(path.c_str(), &st) == 0 &&
        static_cast<unsigned long long>(st.st_size) > ole::reg::kMaxFileSize) {
      return HRESULT_FROM_WIN32(ERROR_INVALID_PARAMETER);
    }
    std::string text;
    if (!win32::ReadWholeFile(path, text)) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    return RunText(text, do_register);
  }
  HRESULT RunText(const std::string& text, bool do_register) {
    ole::rgs::Script script;
    HRESULT hr = ole::rgs::Parse(text, replacements_, script);
    if (FAILED(hr)) return hr;
    LONG rc = ole::reg::Update([&](ole::reg::Tree& tree, bool& changed) -> LONG {
      ole::rgs::Apply(script, do_register, tree);
      changed = true;
      return ERROR_SUCCESS;
    });
    return rc == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(static_cast<unsigned long>(rc));
  }

  ole::rgs::Replacements replacements_;
};

}  // namespace

namespace ole {
HRESULT CreateRegistrar(REFIID riid, void** ppv) {
  auto* r = new (std::nothrow) Registrar();
  if (!r) return E_OUTOFMEMORY;
  HRESULT hr = r->QueryInterface(riid, ppv);
  r->Release();
  return hr;
}
}  // namespace ole
