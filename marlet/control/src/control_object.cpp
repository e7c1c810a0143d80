// Identity, lifetime and dispatch of the control: the QueryInterface list, aggregation, the
// type information, error information support and the event connection point.
#include "control_object.h"

#include <new>
#include <utility>

#include "marlet/control_factory.h"
#include "oleauto.h"
#include "olectl.h"
#include "type_library.h"
#include "windows.h"

namespace marlet {
namespace {

std::atomic<long> g_module_locks{0};

constexpr LONG kExtentPixels = 28;

// Pixels at the screen's logical resolution in HIMETRIC (0.01 mm), to the nearest unit.
SIZEL HiMetric(LONG pixels) {
  HDC screen = CreateCompatibleDC(nullptr);
  LONG per_inch[2] = {96, 96};
  if (screen) {
    for (int i = 0; i < 2; ++i) {
      const int caps = GetDeviceCaps(screen, i == 0 ? LOGPIXELSX : LOGPIXELSY);
      if (caps > 0) per_inch[i] = caps;
    }
    DeleteDC(screen);
  }
  auto convert = [pixels](LONG ppi) { return (pixels * 2540 + ppi / 2) / ppi; };
  return {convert(per_inch[0]), convert(per_inch[1])};
}

}  // namespace

void LockModule() {
  ++g_module_locks;
}

void UnlockModule() {
  --g_module_locks;
}

long ModuleLockCount() {
  return g_module_locks.load();
}

MarletControl::MarletControl(IUnknown* outer)
    : inner_(this),
      outer_(outer ? outer : &inner_),
      engine_(this),
      events_(static_cast<IConnectionPointContainer*>(this), kIidIMarletEvents) {
  extent_ = HiMetric(kExtentPixels);
  LockModule();
}

MarletControl::~MarletControl() {
  events_.Clear();
  if (site_) std::exchange(site_, nullptr)->Release();
  UnlockModule();
}

HRESULT CreateControl(IUnknown* outer, REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  // An aggregated object hands its outer object its own identity, nothing else.
  if (outer && iid != IID_IUnknown) return CLASS_E_NOAGGREGATION;
  auto* control = new (std::nothrow) MarletControl(outer);
  if (!control) return E_OUTOFMEMORY;
  IUnknown* inner = control->inner();
  inner->AddRef();
  const HRESULT hr = inner->QueryInterface(iid, out);
  inner->Release();
  return hr;
}

STDMETHODIMP MarletControl::Inner::QueryInterface(REFIID riid, void** ppv) {
  return owner->InnerQueryInterface(riid, ppv);
}

STDMETHODIMP_(ULONG) MarletControl::Inner::AddRef() {
  return ++owner->refs_;
}

STDMETHODIMP_(ULONG) MarletControl::Inner::Release() {
  const ULONG n = --owner->refs_;
  if (n == 0) {
    // Held at one while it goes: a Release from inside the destructor must not re-enter.
    owner->refs_ = 1;
    delete owner;
  }
  return n;
}

HRESULT MarletControl::InnerQueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  void* found = nullptr;
  if (riid == IID_IUnknown) {
    found = &inner_;
  } else if (riid == kIidIMarlet || riid == IID_IDispatch) {
    found = static_cast<IMarlet*>(this);
  } else if (riid == IID_IConnectionPointContainer) {
    found = static_cast<IConnectionPointContainer*>(this);
  } else if (riid == IID_IViewObjectEx || riid == IID_IViewObject2 || riid == IID_IViewObject) {
    found = static_cast<IViewObjectEx*>(this);
  } else if (riid == IID_IOleInPlaceObjectWindowless || riid == IID_IOleInPlaceObject ||
             riid == IID_IOleWindow) {
    found = static_cast<IOleInPlaceObjectWindowless*>(this);
  } else if (riid == IID_IOleInPlaceActiveObject) {
    found = static_cast<IOleInPlaceActiveObject*>(this);
  } else if (riid == IID_IOleControl) {
    found = static_cast<IOleControl*>(this);
  } else if (riid == IID_IOleObject) {
    found = static_cast<IOleObject*>(this);
  } else if (riid == IID_IPersistStreamInit || riid == IID_IPersist) {
    found = static_cast<IPersistStreamInit*>(this);
  } else if (riid == IID_ISupportErrorInfo) {
    found = static_cast<ISupportErrorInfo*>(this);
  } else if (riid == IID_IQuickActivate) {
    found = static_cast<IQuickActivate*>(this);
  } else if (riid == IID_IPersistStorage) {
    found = static_cast<IPersistStorage*>(this);
  } else if (riid == IID_IProvideClassInfo || riid == IID_IProvideClassInfo2) {
    found = static_cast<IProvideClassInfo2*>(this);
  } else if (riid == IID_IPersistPropertyBag) {
    found = static_cast<IPersistPropertyBag*>(this);
  }
  *ppv = found;
  if (!found) return E_NOINTERFACE;
  static_cast<IUnknown*>(found)->AddRef();
  return S_OK;
}

STDMETHODIMP MarletControl::QueryInterface(REFIID riid, void** ppv) {
  return outer_->QueryInterface(riid, ppv);
}

STDMETHODIMP_(ULONG) MarletControl::AddRef() {
  return outer_->AddRef();
}

STDMETHODIMP_(ULONG) MarletControl::Release() {
  return outer_->Release();
}

STDMETHODIMP MarletControl::GetTypeInfoCount(UINT* pctinfo) {
  if (!pctinfo) return E_POINTER;
  *pctinfo = 1;
  return S_OK;
}

STDMETHODIMP MarletControl::GetTypeInfo(UINT iTInfo, LCID, ITypeInfo** ppTInfo) {
  if (!ppTInfo) return E_POINTER;
  *ppTInfo = nullptr;
  if (iTInfo != 0) return DISP_E_BADINDEX;
  return marlet::GetTypeInfo(kIidIMarlet, ppTInfo);
}

STDMETHODIMP MarletControl::GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID,
                                          DISPID* rgDispId) {
  if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
  ITypeInfo* info = nullptr;
  HRESULT hr = marlet::GetTypeInfo(kIidIMarlet, &info);
  if (FAILED(hr)) return hr;
  hr = DispGetIDsOfNames(info, rgszNames, cNames, rgDispId);
  info->Release();
  return hr;
}

STDMETHODIMP MarletControl::Invoke(DISPID dispIdMember, REFIID riid, LCID, WORD wFlags,
                                   DISPPARAMS* pDispParams, VARIANT* pVarResult,
                                   EXCEPINFO* pExcepInfo, UINT* puArgErr) {
  if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
  ITypeInfo* info = nullptr;
  HRESULT hr = marlet::GetTypeInfo(kIidIMarlet, &info);
  if (FAILED(hr)) return hr;
  // The exception is filled from the thread's error information: none left over from an
  // earlier failure may stand in for a member that failed without setting its own.
  SetErrorInfo(0, nullptr);
  hr = DispInvoke(static_cast<IMarlet*>(this), info, dispIdMember, wFlags, pDispParams,
                  pVarResult, pExcepInfo, puArgErr);
  info->Release();
  return hr;
}

STDMETHODIMP MarletControl::EnumConnectionPoints(IEnumConnectionPoints** ppEnum) {
  if (!ppEnum) return E_POINTER;
  return ole::CreateConnectionPointEnum(outer_, {&events_}, ppEnum);
}

STDMETHODIMP MarletControl::FindConnectionPoint(REFIID riid, IConnectionPoint** ppCP) {
  if (!ppCP) return E_POINTER;
  *ppCP = nullptr;
  if (riid != kIidIMarletEvents) return CONNECT_E_NOCONNECTION;
  events_.AddRef();
  *ppCP = &events_;
  return S_OK;
}

STDMETHODIMP MarletControl::InterfaceSupportsErrorInfo(REFIID riid) {
  return riid == kIidIMarlet ? S_OK : S_FALSE;
}

STDMETHODIMP MarletControl::GetClassInfo(ITypeInfo** ppTI) {
  if (!ppTI) return E_POINTER;
  return marlet::GetTypeInfo(kClsidMarlet, ppTI);
}

STDMETHODIMP MarletControl::GetGUID(DWORD dwGuidKind, GUID* pGUID) {
  if (!pGUID) return E_POINTER;
  if (dwGuidKind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) {
    *pGUID = GUID_NULL;
    return E_INVALIDARG;
  }
  *pGUID = kIidIMarletEvents;
  return S_OK;
}

}  // namespace marlet
