// The control as an OLE object: client site, extent, status bits, windowless in-place
// activation, quick activation and the view. Invisible at run time, it has no window and
// no user interface to activate.
#include <cstring>
#include <utility>

#include "control_object.h"
#include "objbase.h"
#include "olectl.h"

namespace marlet {
namespace {

constexpr const char16_t kUserType[] = u"Quenby - Halyard V5 Marlet Control";

bool Inside(const RECT& r, LONG x, LONG y) {
  return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

}  // namespace

STDMETHODIMP MarletControl::SetClientSite(IOleClientSite* pClientSite) {
  if (pClientSite) pClientSite->AddRef();
  IOleClientSite* old = std::exchange(site_, pClientSite);
  if (old) old->Release();
  return S_OK;
}

STDMETHODIMP MarletControl::GetClientSite(IOleClientSite** ppClientSite) {
  if (!ppClientSite) return E_POINTER;
  *ppClientSite = site_;
  if (site_) site_->AddRef();
  return S_OK;
}

STDMETHODIMP MarletControl::SetHostNames(LPCOLESTR, LPCOLESTR) {
  return S_OK;
}

STDMETHODIMP MarletControl::Close(DWORD) {
  in_place_active_ = false;
  ole_advise_.Clear();
  view_advise_.Set(0, 0, nullptr);
  return S_OK;
}

STDMETHODIMP MarletControl::SetMoniker(DWORD, IMoniker*) {
  return E_NOTIMPL;
}

STDMETHODIMP MarletControl::GetMoniker(DWORD, DWORD, IMoniker** ppmk) {
  if (ppmk) *ppmk = nullptr;
  return E_NOTIMPL;
}

STDMETHODIMP MarletControl::InitFromData(IDataObject*, BOOL, DWORD) {
  return E_NOTIMPL;
}

STDMETHODIMP MarletControl::GetClipboardData(DWORD, IDataObject** ppDataObject) {
  if (ppDataObject) *ppDataObject = nullptr;
  return E_NOTIMPL;
}

HRESULT MarletControl::InPlaceActivate() {
  if (!site_) return E_UNEXPECTED;
  in_place_active_ = true;
  return S_OK;
}

STDMETHODIMP MarletControl::DoVerb(LONG iVerb, struct tagMSG*, IOleClientSite*, LONG, HWND,
                                   LPCRECT lprcPosRect) {
  if (lprcPosRect) position_ = *lprcPosRect;
  switch (iVerb) {
    case OLEIVERB_PRIMARY:
    case OLEIVERB_SHOW:
    case OLEIVERB_INPLACEACTIVATE:
    case OLEIVERB_UIACTIVATE:
      return InPlaceActivate();
    case OLEIVERB_HIDE:
      return S_OK;
    default:
      return iVerb > 0 ? OLEOBJ_S_INVALIDVERB : E_NOTIMPL;
  }
}

STDMETHODIMP MarletControl::EnumVerbs(IEnumOLEVERB** ppEnumOleVerb) {
  if (ppEnumOleVerb) *ppEnumOleVerb = nullptr;
  return OLEOBJ_E_NOVERBS;
}

STDMETHODIMP MarletControl::Update() {
  return S_OK;
}

STDMETHODIMP MarletControl::IsUpToDate() {
  return S_OK;
}

STDMETHODIMP MarletControl::GetUserClassID(CLSID* pClsid) {
  if (!pClsid) return E_POINTER;
  *pClsid = kClsidMarlet;
  return S_OK;
}

STDMETHODIMP MarletControl::GetUserType(DWORD, LPOLESTR* pszUserType) {
  if (!pszUserType) return E_POINTER;
  *pszUserType = static_cast<LPOLESTR>(CoTaskMemAlloc(sizeof kUserType));
  if (!*pszUserType) return E_OUTOFMEMORY;
  std::memcpy(*pszUserType, kUserType, sizeof kUserType);
  return S_OK;
}

STDMETHODIMP MarletControl::SetExtent(DWORD dwDrawAspect, SIZEL* psizel) {
  if (dwDrawAspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  if (!psizel) return E_POINTER;
  extent_ = *psizel;
  return S_OK;
}

STDMETHODIMP MarletControl::GetExtent(DWORD dwDrawAspect, SIZEL* psizel) {
  if (!psizel) return E_POINTER;
  if (dwDrawAspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  *psizel = extent_;
  return S_OK;
}

STDMETHODIMP MarletControl::Advise(IAdviseSink* pAdvSink, DWORD* pdwConnection) {
  return ole_advise_.Advise(pAdvSink, pdwConnection);
}

STDMETHODIMP MarletControl::Unadvise(DWORD dwConnection) {
  return ole_advise_.Unadvise(dwConnection);
}

STDMETHODIMP MarletControl::EnumAdvise(IEnumSTATDATA** ppenumAdvise) {
  if (ppenumAdvise) *ppenumAdvise = nullptr;
  return E_NOTIMPL;
}

STDMETHODIMP MarletControl::GetMiscStatus(DWORD dwAspect, DWORD* pdwStatus) {
  if (!pdwStatus) return E_POINTER;
  // As registered: the content aspect has the control's bits, the others none.
  *pdwStatus = dwAspect == DVASPECT_CONTENT ? kMiscStatus : 0;
  return S_OK;
}

STDMETHODIMP MarletControl::SetColorScheme(LOGPALETTE*) {
  return E_NOTIMPL;
}

STDMETHODIMP MarletControl::GetWindow(HWND* phwnd) {
  if (!phwnd) return E_POINTER;
  // Windowless: the notice window is the engine's, never the container's business.
  *phwnd = nullptr;
  return E_FAIL;
}

STDMETHODIMP MarletControl::ContextSensitiveHelp(BOOL) {
  return E_NOTIMPL;
}

STDMETHODIMP MarletControl::InPlaceDeactivate() {
  in_place_active_ = false;
  return S_OK;
}

STDMETHODIMP MarletControl::UIDeactivate() {
  return S_OK;
}

STDMETHODIMP MarletControl::SetObjectRects(LPCRECT lprcPosRect, LPCRECT) {
  if (!lprcPosRect) return E_POINTER;
  position_ = *lprcPosRect;
  return S_OK;
}

STDMETHODIMP MarletControl::ReactivateAndUndo() {
  return E_NOTIMPL;
}

STDMETHODIMP MarletControl::OnWindowMessage(UINT, WPARAM, LPARAM, LRESULT* plResult) {
  if (plResult) *plResult = 0;
  return S_FALSE;  // not handled: the container processes it as usual
}

STDMETHODIMP MarletControl::GetDropTarget(IDropTarget** ppDropTarget) {
  if (ppDropTarget) *ppDropTarget = nullptr;
  return E_NOTIMPL;
}

STDMETHODIMP MarletControl::TranslateAccelerator(struct tagMSG*) {
  return S_FALSE;
}

STDMETHODIMP MarletControl::OnFrameWindowActivate(BOOL) {
  return S_OK;
}

STDMETHODIMP MarletControl::OnDocWindowActivate(BOOL) {
  return S_OK;
}

STDMETHODIMP MarletControl::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) {
  return S_OK;
}

STDMETHODIMP MarletControl::EnableModeless(BOOL) {
  return S_OK;
}

STDMETHODIMP MarletControl::GetControlInfo(CONTROLINFO* pCI) {
  if (!pCI) return E_POINTER;
  return E_NOTIMPL;  // no mnemonics
}

STDMETHODIMP MarletControl::OnMnemonic(struct tagMSG*) {
  return E_NOTIMPL;
}

STDMETHODIMP MarletControl::OnAmbientPropertyChange(DISPID) {
  // Design mode is read from the site whenever a member needs it: nothing to refresh.
  return S_OK;
}

STDMETHODIMP MarletControl::FreezeEvents(BOOL bFreeze) {
  frozen_ += bFreeze ? 1 : (frozen_ > 0 ? -1 : 0);
  return S_OK;
}

STDMETHODIMP MarletControl::GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC,
                                        LOGPALETTE** ppColorSet) {
  if (ppColorSet) *ppColorSet = nullptr;
  return E_NOTIMPL;
}

STDMETHODIMP MarletControl::Freeze(DWORD, LONG, void*, DWORD*) {
  return E_NOTIMPL;
}

STDMETHODIMP MarletControl::Unfreeze(DWORD) {
  return E_NOTIMPL;
}

STDMETHODIMP MarletControl::SetAdvise(DWORD aspects, DWORD advf, IAdviseSink* pAdvSink) {
  view_advise_.Set(aspects, advf, pAdvSink);
  return S_OK;
}

STDMETHODIMP MarletControl::GetAdvise(DWORD* pAspects, DWORD* pAdvf, IAdviseSink** ppAdvSink) {
  return view_advise_.Get(pAspects, pAdvf, ppAdvSink);
}

STDMETHODIMP MarletControl::GetExtent(DWORD dwDrawAspect, LONG, DVTARGETDEVICE*,
                                      LPSIZEL lpsizel) {
  return GetExtent(dwDrawAspect, lpsizel);
}

STDMETHODIMP MarletControl::GetRect(DWORD dwAspect, LPRECTL pRect) {
  if (!pRect) return E_POINTER;
  if (dwAspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  *pRect = {0, 0, extent_.cx, extent_.cy};
  return S_OK;
}

STDMETHODIMP MarletControl::GetViewStatus(DWORD* pdwStatus) {
  if (!pdwStatus) return E_POINTER;
  *pdwStatus = kViewStatus;
  return S_OK;
}

STDMETHODIMP MarletControl::QueryHitPoint(DWORD dwAspect, LPCRECT pRectBounds, POINT ptlLoc,
                                          LONG, DWORD* pHitResult) {
  if (!pRectBounds || !pHitResult) return E_POINTER;
  if (dwAspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  *pHitResult = Inside(*pRectBounds, ptlLoc.x, ptlLoc.y) ? HITRESULT_HIT : HITRESULT_OUTSIDE;
  return S_OK;
}

STDMETHODIMP MarletControl::QueryHitRect(DWORD dwAspect, LPCRECT pRectBounds, LPCRECT pRectLoc,
                                         LONG, DWORD* pHitResult) {
  if (!pRectBounds || !pRectLoc || !pHitResult) return E_POINTER;
  if (dwAspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  const bool overlap = pRectLoc->left < pRectBounds->right &&
                       pRectBounds->left < pRectLoc->right &&
                       pRectLoc->top < pRectBounds->bottom && pRectBounds->top < pRectLoc->bottom;
  *pHitResult = overlap ? HITRESULT_HIT : HITRESULT_OUTSIDE;
  return S_OK;
}

STDMETHODIMP MarletControl::GetNaturalExtent(DWORD, LONG, DVTARGETDEVICE*, HDC, DVEXTENTINFO*,
                                             LPSIZEL) {
  return E_NOTIMPL;
}

STDMETHODIMP MarletControl::QuickActivate(QACONTAINER* pQaContainer, QACONTROL* pQaControl) {
  if (!pQaContainer || !pQaControl) return E_POINTER;
  if (pQaContainer->cbSize < sizeof(QACONTAINER) || pQaControl->cbSize < sizeof(QACONTROL)) {
    return E_INVALIDARG;
  }
  SetClientSite(pQaContainer->pClientSite);
  if (pQaContainer->pAdviseSink) {
    // The container's advise sink extends IAdviseSink, which is all the view needs.
    SetAdvise(DVASPECT_CONTENT, 0, reinterpret_cast<IAdviseSink*>(pQaContainer->pAdviseSink));
  }
  const ULONG size = pQaControl->cbSize;
  std::memset(pQaControl, 0, sizeof(QACONTROL));
  pQaControl->cbSize = size;
  pQaControl->dwMiscStatus = kMiscStatus;
  pQaControl->dwViewStatus = kViewStatus;
  if (pQaContainer->pUnkEventSink) {
    const HRESULT hr = events_.Advise(pQaContainer->pUnkEventSink, &pQaControl->dwEventCookie);
    if (FAILED(hr)) pQaControl->dwEventCookie = 0;
  }
  return S_OK;
}

STDMETHODIMP MarletControl::SetContentExtent(LPSIZEL pSizel) {
  return SetExtent(DVASPECT_CONTENT, pSizel);
}

STDMETHODIMP MarletControl::GetContentExtent(LPSIZEL pSizel) {
  return GetExtent(DVASPECT_CONTENT, pSizel);
}

}  // namespace marlet
