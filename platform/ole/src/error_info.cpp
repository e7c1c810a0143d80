// Thread error information: one current object per thread, handed over by GetErrorInfo.
#include <atomic>
#include <new>
#include <optional>
#include <string>

#include "oleauto.h"

namespace {

class ErrorInfo final : public IErrorInfo, public ICreateErrorInfo {
 public:
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IErrorInfo) {
      *ppv = static_cast<IErrorInfo*>(this);
    } else if (riid == IID_ICreateErrorInfo) {
      *ppv = static_cast<ICreateErrorInfo*>(this);
    } else {
      *ppv = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
  STDMETHODIMP_(ULONG) Release() override {
    ULONG n = --refs_;
    if (n == 0) delete this;
    return n;
  }

  STDMETHODIMP GetGUID(GUID* pGUID) override {
    if (!pGUID) return E_INVALIDARG;
    *pGUID = guid_;
    return S_OK;
  }
  STDMETHODIMP GetSource(BSTR* p) override { return Give(source_, p); }
  STDMETHODIMP GetDescription(BSTR* p) override { return Give(description_, p); }
  STDMETHODIMP GetHelpFile(BSTR* p) override { return Give(help_file_, p); }
  STDMETHODIMP GetHelpContext(DWORD* p) override {
    if (!p) return E_INVALIDARG;
    *p = help_context_;
    return S_OK;
  }

  STDMETHODIMP SetGUID(REFGUID rguid) override {
    guid_ = rguid;
    return S_OK;
  }
  STDMETHODIMP SetSource(LPOLESTR s) override { return Take(source_, s); }
  STDMETHODIMP SetDescription(LPOLESTR s) override { return Take(description_, s); }
  STDMETHODIMP SetHelpFile(LPOLESTR s) override { return Take(help_file_, s); }
  STDMETHODIMP SetHelpContext(DWORD c) override {
    help_context_ = c;
    return S_OK;
  }

 private:
  // A text never set (or set to null) reads as a null BSTR.
  static HRESULT Give(const std::optional<std::u16string>& text, BSTR* out) {
    if (!out) return E_INVALIDARG;
    *out = nullptr;
    if (!text) return S_OK;
    *out = SysAllocStringLen(text->data(), static_cast<UINT>(text->size()));
    return *out ? S_OK : E_OUTOFMEMORY;
  }
  static HRESULT Take(std::optional<std::u16string>& field, LPOLESTR s) {
    if (s) {
      field = std::u16string(s);
    } else {
      field.reset();
    }
    return S_OK;
  }

  std::atomic<ULONG> refs_{1};
  GUID guid_ = GUID_NULL;
  std::optional<std::u16string> source_, description_, help_file_;
  DWORD help_context_ = 0;
};

// Released when the thread ends, so an error nobody read does not leak.
struct Slot {
  IErrorInfo* info = nullptr;
  ~Slot() {
    if (info) info->Release();
  }
};
thread_local Slot current;

}  // namespace

namespace ole {
// For CoUninitialize: the last uninitialization of a thread drops its error object.
void ClearThreadErrorInfo() {
  if (current.info) {
    current.info->Release();
    current.info = nullptr;
  }
}
}  // namespace ole

STDAPI CreateErrorInfo(ICreateErrorInfo** pperrinfo) {
  if (!pperrinfo) return E_INVALIDARG;
  *pperrinfo = new (std::nothrow) ErrorInfo();
  return *pperrinfo ? S_OK : E_OUTOFMEMORY;
}

STDAPI SetErrorInfo(ULONG dwReserved, IErrorInfo* perrinfo) {
  if (dwReserved != 0) return E_INVALIDARG;
  if (perrinfo) perrinfo->AddRef();
  IErrorInfo* old = current.info;
  current.info = perrinfo;
  if (old) old->Release();
  return S_OK;
}

STDAPI GetErrorInfo(ULONG dwReserved, IErrorInfo** pperrinfo) {
  if (!pperrinfo) return E_INVALIDARG;
  *pperrinfo = nullptr;
  if (dwReserved != 0) return E_INVALIDARG;
  if (!current.info) return S_FALSE;
  *pperrinfo = current.info;  // the caller takes the thread's reference
  current.info = nullptr;
  return S_OK;
}
