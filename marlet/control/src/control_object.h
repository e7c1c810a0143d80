// The Marlet control object: IMarlet over one DatagramEngine, its events through one
// connection point, and the OLE plumbing of a windowless, invisible-at-run-time control.
#pragma once

#include <atomic>
#include <cstdint>

#include "advise_holder.h"
#include "marlet/automation_error.h"
#include "marlet/datagram_engine.h"
#include "marlet/imarlet.h"
#include "ocidl.h"
#include "oleauto.h"
#include "ole/connection_point.h"

namespace marlet {

class MarletControl final : public IMarlet,
                            public IConnectionPointContainer,
                            public ISupportErrorInfo,
                            public IProvideClassInfo2,
                            public IOleObject,
                            public IOleInPlaceObjectWindowless,
                            public IOleInPlaceActiveObject,
                            public IOleControl,
                            public IViewObjectEx,
                            public IPersistStreamInit,
                            public IPersistStorage,
                            public IPersistPropertyBag,
                            public IQuickActivate,
                            private EventSink {
 public:
  explicit MarletControl(IUnknown* outer);
  ~MarletControl() override;
  MarletControl(const MarletControl&) = delete;
  MarletControl& operator=(const MarletControl&) = delete;

  // The identity an aggregating outer object holds; the object itself when alone.
  IUnknown* inner() { return &inner_; }

  // IUnknown: delegates to the controlling unknown.
  STDMETHOD(QueryInterface)(REFIID riid, void** ppv) override;
  STDMETHOD_(ULONG, AddRef)() override;
  STDMETHOD_(ULONG, Release)() override;

  // IDispatch
  STDMETHOD(GetTypeInfoCount)(UINT* pctinfo) override;
  STDMETHOD(GetTypeInfo)(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) override;
  STDMETHOD(GetIDsOfNames)
  (REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid, DISPID* rgDispId) override;
  STDMETHOD(Invoke)
  (DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,
   VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) override;

  // IMarlet
  STDMETHOD(get_AcceptData)(VARIANT_BOOL* pVal) override;
  STDMETHOD(put_AcceptData)(VARIANT_BOOL newVal) override;
  STDMETHOD(get_Active)(VARIANT_BOOL* pVal) override;
  STDMETHOD(put_Active)(VARIANT_BOOL newVal) override;
  STDMETHOD(get_DataToSend)(BSTR* pVal) override;
  STDMETHOD(put_DataToSend)(BSTR newVal) override;
  STDMETHOD(get_DontRoute)(VARIANT_BOOL* pVal) override;
  STDMETHOD(put_DontRoute)(VARIANT_BOOL newVal) override;
  STDMETHOD(get_InBufferSize)(LONG* pVal) override;
  STDMETHOD(put_InBufferSize)(LONG newVal) override;
  STDMETHOD(get_LocalHost)(BSTR* pVal) override;
  STDMETHOD(put_LocalHost)(BSTR newVal) override;
  STDMETHOD(get_LocalPort)(LONG* pVal) override;
  STDMETHOD(put_LocalPort)(LONG newVal) override;
  STDMETHOD(get_MaxPacketSize)(LONG* pVal) override;
  STDMETHOD(put_MaxPacketSize)(LONG newVal) override;
  STDMETHOD(get_OutBufferSize)(LONG* pVal) override;
  STDMETHOD(put_OutBufferSize)(LONG newVal) override;
  STDMETHOD(get_QOSFlags)(LONG* pVal) override;
  STDMETHOD(put_QOSFlags)(LONG newVal) override;
  STDMETHOD(get_RemoteHost)(BSTR* pVal) override;
  STDMETHOD(put_RemoteHost)(BSTR newVal) override;
  STDMETHOD(get_RemotePort)(LONG* pVal) override;
  STDMETHOD(put_RemotePort)(LONG newVal) override;
  STDMETHOD(get_ShareLocalPort)(VARIANT_BOOL* pVal) override;
  STDMETHOD(put_ShareLocalPort)(VARIANT_BOOL newVal) override;
  STDMETHOD(get_SocketHandle)(LONG* pVal) override;
  STDMETHOD(put_SocketHandle)(LONG newVal) override;
  STDMETHOD(get_TimeToLive)(LONG* pVal) override;
  STDMETHOD(put_TimeToLive)(LONG newVal) override;
  STDMETHOD(get_UseConnection)(VARIANT_BOOL* pVal) override;
  STDMETHOD(put_UseConnection)(VARIANT_BOOL newVal) override;
  STDMETHOD(get_WinsockInfo)(BSTR* pVal) override;
  STDMETHOD(put_WinsockInfo)(BSTR newVal) override;
  STDMETHOD(get_WinsockLoaded)(VARIANT_BOOL* pVal) override;
  STDMETHOD(put_WinsockLoaded)(VARIANT_BOOL newVal) override;
  STDMETHOD(get_WinsockMaxDatagramSize)(LONG* pVal) override;
  STDMETHOD(put_WinsockMaxDatagramSize)(LONG newVal) override;
  STDMETHOD(get_WinsockMaxSockets)(LONG* pVal) override;
  STDMETHOD(put_WinsockMaxSockets)(LONG newVal) override;
  STDMETHOD(get_WinsockPath)(BSTR* pVal) override;
  STDMETHOD(put_WinsockPath)(BSTR newVal) override;
  STDMETHOD(get_WinsockStatus)(BSTR* pVal) override;
  STDMETHOD(put_WinsockStatus)(BSTR newVal) override;
  STDMETHOD(get_DataToSendB)(VARIANT* pVal) override;
  STDMETHOD(put_DataToSendB)(VARIANT newVal) override;
  STDMETHOD(get_DataInDatagramB)(VARIANT* pVal) override;
  STDMETHOD(put_DataInDatagramB)(VARIANT newVal) override;
  STDMETHOD(DoEvents)() override;
  STDMETHOD(Send)(BSTR Text) override;
  STDMETHOD(OnStartPage)(IUnknown* piUnk) override;
  STDMETHOD(OnEndPage)() override;
  STDMETHOD(get_CharsetMode)(LONG* pVal) override;
  STDMETHOD(put_CharsetMode)(LONG newVal) override;

  // IConnectionPointContainer
  STDMETHOD(EnumConnectionPoints)(IEnumConnectionPoints** ppEnum) override;
  STDMETHOD(FindConnectionPoint)(REFIID riid, IConnectionPoint** ppCP) override;

  // ISupportErrorInfo
  STDMETHOD(InterfaceSupportsErrorInfo)(REFIID riid) override;

  // IProvideClassInfo2
  STDMETHOD(GetClassInfo)(ITypeInfo** ppTI) override;
  STDMETHOD(GetGUID)(DWORD dwGuidKind, GUID* pGUID) override;

  // IOleObject
  STDMETHOD(SetClientSite)(IOleClientSite* pClientSite) override;
  STDMETHOD(GetClientSite)(IOleClientSite** ppClientSite) override;
  STDMETHOD(SetHostNames)(LPCOLESTR szContainerApp, LPCOLESTR szContainerObj) override;
  STDMETHOD(Close)(DWORD dwSaveOption) override;
  STDMETHOD(SetMoniker)(DWORD dwWhichMoniker, IMoniker* pmk) override;
  STDMETHOD(GetMoniker)(DWORD dwAssign, DWORD dwWhichMoniker, IMoniker** ppmk) override;
  STDMETHOD(InitFromData)(IDataObject* pDataObject, BOOL fCreation, DWORD dwReserved) override;
  STDMETHOD(GetClipboardData)(DWORD dwReserved, IDataObject** ppDataObject) override;
  STDMETHOD(DoVerb)
  (LONG iVerb, struct tagMSG* lpmsg, IOleClientSite* pActiveSite, LONG lindex, HWND hwndParent,
   LPCRECT lprcPosRect) override;
  STDMETHOD(EnumVerbs)(IEnumOLEVERB** ppEnumOleVerb) override;
  STDMETHOD(Update)() override;
  STDMETHOD(IsUpToDate)() override;
  STDMETHOD(GetUserClassID)(CLSID* pClsid) override;
  STDMETHOD(GetUserType)(DWORD dwFormOfType, LPOLESTR* pszUserType) override;
  STDMETHOD(SetExtent)(DWORD dwDrawAspect, SIZEL* psizel) override;
  STDMETHOD(GetExtent)(DWORD dwDrawAspect, SIZEL* psizel) override;
  STDMETHOD(Advise)(IAdviseSink* pAdvSink, DWORD* pdwConnection) override;
  STDMETHOD(Unadvise)(DWORD dwConnection) override;
  STDMETHOD(EnumAdvise)(IEnumSTATDATA** ppenumAdvise) override;
  STDMETHOD(GetMiscStatus)(DWORD dwAspect, DWORD* pdwStatus) override;
  STDMETHOD(SetColorScheme)(LOGPALETTE* pLogpal) override;

  // IOleWindow, IOleInPlaceObjectWindowless, IOleInPlaceActiveObject
  STDMETHOD(GetWindow)(HWND* phwnd) override;
  STDMETHOD(ContextSensitiveHelp)(BOOL fEnterMode) override;
  STDMETHOD(InPlaceDeactivate)() override;
  STDMETHOD(UIDeactivate)() override;
  STDMETHOD(SetObjectRects)(LPCRECT lprcPosRect, LPCRECT lprcClipRect) override;
  STDMETHOD(ReactivateAndUndo)() override;
  STDMETHOD(OnWindowMessage)(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* plResult) override;
  STDMETHOD(GetDropTarget)(IDropTarget** ppDropTarget) override;
  STDMETHOD(TranslateAccelerator)(struct tagMSG* lpmsg) override;
  STDMETHOD(OnFrameWindowActivate)(BOOL fActivate) override;
  STDMETHOD(OnDocWindowActivate)(BOOL fActivate) override;
  STDMETHOD(ResizeBorder)
  (LPCRECT prcBorder, IOleInPlaceUIWindow* pUIWindow, BOOL fFrameWindow) override;
  STDMETHOD(EnableModeless)(BOOL fEnable) override;

  // IOleControl
  STDMETHOD(GetControlInfo)(CONTROLINFO* pCI) override;
  STDMETHOD(OnMnemonic)(struct tagMSG* pMsg) override;
  STDMETHOD(OnAmbientPropertyChange)(DISPID dispID) override;
  STDMETHOD(FreezeEvents)(BOOL bFreeze) override;

  // IViewObject, IViewObject2, IViewObjectEx
  STDMETHOD(Draw)
  (DWORD dwDrawAspect, LONG lindex, void* pvAspect, DVTARGETDEVICE* ptd, HDC hdcTargetDev,
   HDC hdcDraw, LPCRECTL lprcBounds, LPCRECTL lprcWBounds,
   BOOL(STDMETHODCALLTYPE* pfnContinue)(ULONG_PTR dwContinue), ULONG_PTR dwContinue) override;
  STDMETHOD(GetColorSet)
  (DWORD dwDrawAspect, LONG lindex, void* pvAspect, DVTARGETDEVICE* ptd, HDC hicTargetDev,
   LOGPALETTE** ppColorSet) override;
  STDMETHOD(Freeze)(DWORD dwDrawAspect, LONG lindex, void* pvAspect, DWORD* pdwFreeze) override;
  STDMETHOD(Unfreeze)(DWORD dwFreeze) override;
  STDMETHOD(SetAdvise)(DWORD aspects, DWORD advf, IAdviseSink* pAdvSink) override;
  STDMETHOD(GetAdvise)(DWORD* pAspects, DWORD* pAdvf, IAdviseSink** ppAdvSink) override;
  STDMETHOD(GetExtent)
  (DWORD dwDrawAspect, LONG lindex, DVTARGETDEVICE* ptd, LPSIZEL lpsizel) override;
  STDMETHOD(GetRect)(DWORD dwAspect, LPRECTL pRect) override;
  STDMETHOD(GetViewStatus)(DWORD* pdwStatus) override;
  STDMETHOD(QueryHitPoint)
  (DWORD dwAspect, LPCRECT pRectBounds, POINT ptlLoc, LONG lCloseHint,
   DWORD* pHitResult) override;
  STDMETHOD(QueryHitRect)
  (DWORD dwAspect, LPCRECT pRectBounds, LPCRECT pRectLoc, LONG lCloseHint,
   DWORD* pHitResult) override;
  STDMETHOD(GetNaturalExtent)
  (DWORD dwAspect, LONG lindex, DVTARGETDEVICE* ptd, HDC hicTargetDev,
   DVEXTENTINFO* pExtentInfo, LPSIZEL pSizel) override;

  // IPersist, IPersistStreamInit, IPersistStorage, IPersistPropertyBag
  STDMETHOD(GetClassID)(CLSID* pClassID) override;
  STDMETHOD(IsDirty)() override;
  STDMETHOD(Load)(LPSTREAM pStm) override;
  STDMETHOD(Save)(LPSTREAM pStm, BOOL fClearDirty) override;
  STDMETHOD(GetSizeMax)(ULARGE_INTEGER* pCbSize) override;
  STDMETHOD(InitNew)() override;
  STDMETHOD(InitNew)(IStorage* pStg) override;
  STDMETHOD(Load)(IStorage* pStg) override;
  STDMETHOD(Save)(IStorage* pStgSave, BOOL fSameAsLoad) override;
  STDMETHOD(SaveCompleted)(IStorage* pStgNew) override;
  STDMETHOD(HandsOffStorage)() override;
  STDMETHOD(Load)(IPropertyBag* pPropBag, IErrorLog* pErrorLog) override;
  STDMETHOD(Save)(IPropertyBag* pPropBag, BOOL fClearDirty, BOOL fSaveAllProperties) override;

  // IQuickActivate
  STDMETHOD(QuickActivate)(QACONTAINER* pQaContainer, QACONTROL* pQaControl) override;
  STDMETHOD(SetContentExtent)(LPSIZEL pSizel) override;
  STDMETHOD(GetContentExtent)(LPSIZEL pSizel) override;

  // What a client sees of the control: status bits and view status.
  static constexpr DWORD kMiscStatus = OLEMISC_RECOMPOSEONRESIZE | OLEMISC_CANTLINKINSIDE |
                                       OLEMISC_INSIDEOUT | OLEMISC_ACTIVATEWHENVISIBLE |
                                       OLEMISC_INVISIBLEATRUNTIME | OLEMISC_SETCLIENTSITEFIRST;
  static constexpr DWORD kViewStatus = VIEWSTATUS_SOLIDBKGND | VIEWSTATUS_OPAQUE;

 private:
  // The object's own identity, which an aggregating outer object holds and which alone
  // owns the reference count.
  struct Inner final : IUnknown {
    STDMETHOD(QueryInterface)(REFIID riid, void** ppv) override;
    STDMETHOD_(ULONG, AddRef)() override;
    STDMETHOD_(ULONG, Release)() override;
    explicit Inner(MarletControl* o) : owner(o) {}
    MarletControl* owner;
  };
  HRESULT InnerQueryInterface(REFIID riid, void** ppv);

  // A reference held for the length of a call that may fire events.
  class Hold {
   public:
    explicit Hold(MarletControl* c) : c_(c) { c_->AddRef(); }
    ~Hold() { c_->Release(); }
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;

   private:
    MarletControl* c_;
  };

  // EventSink: the engine's three requests become the three events.
  void Deliver(const char* data, int length, const char* address, uint16_t port) override;
  void Error(Code code, const char* text) override;
  void ReadyToSend() override;

  // A non-zero engine code as the caller's automation error.
  HRESULT Result(Code code, uint32_t help_context);
  HRESULT Refuse(FrameworkError error, uint32_t help_context);
  // The host's ambient user-mode property reads False; no site or no ambient properties
  // is run mode.
  bool DesignMode();
  HRESULT RuntimeOnly(uint32_t help_context);
  HRESULT GetText(BSTR* out, const char* text);
  HRESULT SendText(BSTR text, uint32_t help_context);
  void SetDirty() { dirty_ = true; }
  HRESULT InPlaceActivate();

  Inner inner_;
  IUnknown* outer_;
  std::atomic<ULONG> refs_{0};
  DatagramEngine engine_;
  ole::ConnectionPoint events_;
  IOleClientSite* site_ = nullptr;
  AdviseHolder ole_advise_;
  ViewAdvise view_advise_;
  SIZEL extent_{};
  RECT position_{};
  bool in_place_active_ = false;
  bool dirty_ = false;
  int frozen_ = 0;
  // Only while DataIn is being fired: the datagram's bytes, borrowed from the engine.
  const char* datagram_ = nullptr;
  int datagram_length_ = 0;
};

}  // namespace marlet
