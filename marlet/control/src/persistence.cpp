// Persistence of the ten persisted properties: through a stream, a storage's "Contents"
// stream, or a property bag by names. Values go through the control's own dispatch
// interface, so a loaded value meets the setter's rules.
#include "control_object.h"
#include "marlet/persistence.h"

namespace marlet {

STDMETHODIMP MarletControl::GetClassID(CLSID* pClassID) {
  if (!pClassID) return E_POINTER;
  *pClassID = kClsidMarlet;
  return S_OK;
}

STDMETHODIMP MarletControl::IsDirty() {
  return dirty_ ? S_OK : S_FALSE;
}

STDMETHODIMP MarletControl::GetSizeMax(ULARGE_INTEGER* pCbSize) {
  if (!pCbSize) return E_POINTER;
  DispatchPropertyAccess access(static_cast<IMarlet*>(this));
  return StreamSize(access, pCbSize);
}

// A new instance already holds the defaults.
STDMETHODIMP MarletControl::InitNew() {
  return S_OK;
}

STDMETHODIMP MarletControl::InitNew(IStorage* pStg) {
  return pStg ? S_OK : E_POINTER;
}

STDMETHODIMP MarletControl::Load(LPSTREAM pStm) {
  if (!pStm) return E_POINTER;
  DispatchPropertyAccess access(static_cast<IMarlet*>(this));
  const HRESULT hr = LoadFromStream(access, pStm);
  dirty_ = false;
  return hr;
}

STDMETHODIMP MarletControl::Save(LPSTREAM pStm, BOOL fClearDirty) {
  if (!pStm) return E_POINTER;
  DispatchPropertyAccess access(static_cast<IMarlet*>(this));
  const HRESULT hr = SaveToStream(access, pStm);
  if (SUCCEEDED(hr) && fClearDirty) dirty_ = false;
  return hr;
}

STDMETHODIMP MarletControl::Load(IStorage* pStg) {
  if (!pStg) return E_POINTER;
  DispatchPropertyAccess access(static_cast<IMarlet*>(this));
  const HRESULT hr = LoadFromStorage(access, pStg);
  dirty_ = false;
  return hr;
}

STDMETHODIMP MarletControl::Save(IStorage* pStgSave, BOOL) {
  if (!pStgSave) return E_POINTER;
  DispatchPropertyAccess access(static_cast<IMarlet*>(this));
  const HRESULT hr = SaveToStorage(access, pStgSave);
  if (SUCCEEDED(hr)) dirty_ = false;
  return hr;
}

STDMETHODIMP MarletControl::SaveCompleted(IStorage*) {
  return S_OK;
}

STDMETHODIMP MarletControl::HandsOffStorage() {
  return S_OK;
}

STDMETHODIMP MarletControl::Load(IPropertyBag* pPropBag, IErrorLog* pErrorLog) {
  if (!pPropBag) return E_POINTER;
  DispatchPropertyAccess access(static_cast<IMarlet*>(this));
  const HRESULT hr = LoadFromPropertyBag(access, pPropBag, pErrorLog);
  dirty_ = false;
  return hr;
}

STDMETHODIMP MarletControl::Save(IPropertyBag* pPropBag, BOOL fClearDirty, BOOL) {
  if (!pPropBag) return E_POINTER;
  DispatchPropertyAccess access(static_cast<IMarlet*>(this));
  const HRESULT hr = SaveToPropertyBag(access, pPropBag);
  if (SUCCEEDED(hr) && fClearDirty) dirty_ = false;
  return hr;
}

}  // namespace marlet
