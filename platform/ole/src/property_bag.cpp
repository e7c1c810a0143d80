// The in-memory property bag.
#include <atomic>
#include <map>
#include <new>
#include <string>

#include "oleauto.h"
#include "shlwapi.h"
#include "type_library.h"

namespace {

struct NoCase {
  bool operator()(const std::u16string& a, const std::u16string& b) const {
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
      char16_t x = a[i], y = b[i];
      if (x >= u'a' && x <= u'z') x = static_cast<char16_t>(x - 32);
      if (y >= u'a' && y <= u'z') y = static_cast<char16_t>(y - 32);
      if (x != y) return x < y;
    }
    return a.size() < b.size();
  }
};

class PropertyBag final : public IPropertyBag {
 public:
  ~PropertyBag() {
    for (auto& [name, value] : values_) VariantClear(&value);
  }
  PropertyBag() = default;
  PropertyBag(const PropertyBag&) = delete;
  PropertyBag& operator=(const PropertyBag&) = delete;

  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IPropertyBag) {
      *ppv = static_cast<IPropertyBag*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
  STDMETHODIMP_(ULONG) Release() override {
    ULONG n = --refs_;
    if (n == 0) delete this;
    return n;
  }

  // The caller's VARIANT arrives with the type it wants (or VT_EMPTY for any) and is
  // overwritten, not cleared, as the bag protocol has it.
  STDMETHODIMP Read(LPCOLESTR name, VARIANT* var, IErrorLog*) override {
    if (!name || !var) return E_POINTER;
    auto it = values_.find(name);
    if (it == values_.end()) return E_INVALIDARG;
    const VARTYPE wanted = var->vt;
    VariantInit(var);
    if (wanted == VT_EMPTY || wanted == it->second.vt) return VariantCopy(var, &it->second);
    return VariantChangeType(var, &it->second, 0, wanted);
  }
  STDMETHODIMP Write(LPCOLESTR name, VARIANT* var) override {
    if (!name || !var) return E_POINTER;
    VARIANT copy;
    VariantInit(&copy);
    HRESULT hr = VariantCopyInd(&copy, var);
    if (FAILED(hr)) return hr;
    auto [it, fresh] = values_.try_emplace(name);
    if (!fresh) VariantClear(&it->second);
    it->second = copy;
    return S_OK;
  }

 private:
  std::atomic<ULONG> refs_{1};
  std::map<std::u16string, VARIANT, NoCase> values_;
};

}  // namespace

STDAPI SHCreatePropertyBagOnMemory(DWORD, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  auto* bag = new (std::nothrow) PropertyBag();
  if (!bag) return E_OUTOFMEMORY;
  HRESULT hr = bag->QueryInterface(riid, ppv);
  bag->Release();
  return hr;
}
