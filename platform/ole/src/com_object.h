// The one pattern of the runtime's objects: an interface, the ids it answers to, and an
// atomic reference count; the last Release deletes the object.
#pragma once

#include <atomic>

#include "unknwn.h"

namespace ole {

template <typename Derived, typename Interface, const IID&... kIids>
class ComObject : public Interface {
 public:
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || ((riid == kIids) || ...)) {
      *ppv = static_cast<Interface*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
  STDMETHODIMP_(ULONG) Release() override {
    ULONG n = --refs_;
    if (n == 0) delete static_cast<Derived*>(this);
    return n;
  }

 protected:
  ~ComObject() = default;

 private:
  std::atomic<ULONG> refs_{1};
};

}  // namespace ole
