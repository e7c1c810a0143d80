// The in-memory property bag.
#include <map>
#include <new>
#include <string>

#include "com_object.h"
#include "oleauto.h"
#include "shlwapi.h"
#include "text_fold.h"

namespace {

class PropertyBag final : public ole::ComObject<PropertyBag, IPropertyBag, IID_IPropertyBag> {
 public:
  ~PropertyBag() {
    for (auto& [name, value] : values_) VariantClear(&value);
  }
  PropertyBag() = default;
  PropertyBag(const PropertyBag&) = delete;
  PropertyBag& operator=(const PropertyBag&) = delete;

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
  std::map<std::u16string, VARIANT, ole::NoCaseLess> values_;
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
