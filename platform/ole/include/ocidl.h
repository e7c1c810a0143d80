// Control interfaces of ocidl.h: connection points, persistence, class information,
// windowless activation and views.
#pragma once

#include "oaidl.h"
#include "oleidl.h"

OLE_DATA const IID IID_IConnectionPointContainer;
OLE_DATA const IID IID_IConnectionPoint;
OLE_DATA const IID IID_IEnumConnections;
OLE_DATA const IID IID_IEnumConnectionPoints;
OLE_DATA const IID IID_IPersistStreamInit;
OLE_DATA const IID IID_IPersistPropertyBag;
OLE_DATA const IID IID_IPropertyNotifySink;
OLE_DATA const IID IID_IProvideClassInfo;
OLE_DATA const IID IID_IProvideClassInfo2;
OLE_DATA const IID IID_IOleControl;
OLE_DATA const IID IID_IOleControlSite;
OLE_DATA const IID IID_IOleInPlaceObjectWindowless;
OLE_DATA const IID IID_IViewObjectEx;
OLE_DATA const IID IID_IQuickActivate;
OLE_DATA const IID IID_IAdviseSinkEx;
OLE_DATA const IID IID_IFont;

struct IConnectionPoint;
struct IConnectionPointContainer;
// Known by name only.
struct IAdviseSinkEx;
struct IFont;
struct IOleUndoManager;
struct IBindHost;
struct IOleControlSite;
struct IServiceProvider;

typedef struct tagCONNECTDATA {
  IUnknown* pUnk;
  DWORD dwCookie;
} CONNECTDATA, *LPCONNECTDATA;

struct IEnumConnections : IUnknown {
  STDMETHOD(Next)(ULONG cConnections, CONNECTDATA* rgcd, ULONG* pcFetched) PURE;
  STDMETHOD(Skip)(ULONG cConnections) PURE;
  STDMETHOD(Reset)() PURE;
  STDMETHOD(Clone)(IEnumConnections** ppEnum) PURE;

 protected:
  ~IEnumConnections() = default;
};

struct IConnectionPoint : IUnknown {
  STDMETHOD(GetConnectionInterface)(IID* pIID) PURE;
  STDMETHOD(GetConnectionPointContainer)(IConnectionPointContainer** ppCPC) PURE;
  STDMETHOD(Advise)(IUnknown* pUnkSink, DWORD* pdwCookie) PURE;
  STDMETHOD(Unadvise)(DWORD dwCookie) PURE;
  STDMETHOD(EnumConnections)(IEnumConnections** ppEnum) PURE;

 protected:
  ~IConnectionPoint() = default;
};

struct IEnumConnectionPoints : IUnknown {
  STDMETHOD(Next)(ULONG cConnections, IConnectionPoint** ppCP, ULONG* pcFetched) PURE;
  STDMETHOD(Skip)(ULONG cConnections) PURE;
  STDMETHOD(Reset)() PURE;
  STDMETHOD(Clone)(IEnumConnectionPoints** ppEnum) PURE;

 protected:
  ~IEnumConnectionPoints() = default;
};

struct IConnectionPointContainer : IUnknown {
  STDMETHOD(EnumConnectionPoints)(IEnumConnectionPoints** ppEnum) PURE;
  STDMETHOD(FindConnectionPoint)(REFIID riid, IConnectionPoint** ppCP) PURE;

 protected:
  ~IConnectionPointContainer() = default;
};

struct IPersistStreamInit : IPersist {
  STDMETHOD(IsDirty)() PURE;
  STDMETHOD(Load)(LPSTREAM pStm) PURE;
  STDMETHOD(Save)(LPSTREAM pStm, BOOL fClearDirty) PURE;
  STDMETHOD(GetSizeMax)(ULARGE_INTEGER* pCbSize) PURE;
  STDMETHOD(InitNew)() PURE;

 protected:
  ~IPersistStreamInit() = default;
};

struct IPersistPropertyBag : IPersist {
  STDMETHOD(InitNew)() PURE;
  STDMETHOD(Load)(IPropertyBag* pPropBag, IErrorLog* pErrorLog) PURE;
  STDMETHOD(Save)(IPropertyBag* pPropBag, BOOL fClearDirty, BOOL fSaveAllProperties) PURE;

 protected:
  ~IPersistPropertyBag() = default;
};

struct IPropertyNotifySink : IUnknown {
  STDMETHOD(OnChanged)(DISPID dispID) PURE;
  STDMETHOD(OnRequestEdit)(DISPID dispID) PURE;

 protected:
  ~IPropertyNotifySink() = default;
};

struct IProvideClassInfo : IUnknown {
  STDMETHOD(GetClassInfo)(ITypeInfo** ppTI) PURE;

 protected:
  ~IProvideClassInfo() = default;
};

enum GUIDKIND { GUIDKIND_DEFAULT_SOURCE_DISP_IID = 1 };

struct IProvideClassInfo2 : IProvideClassInfo {
  STDMETHOD(GetGUID)(DWORD dwGuidKind, GUID* pGUID) PURE;

 protected:
  ~IProvideClassInfo2() = default;
};

typedef struct tagCONTROLINFO {
  ULONG cb;
  HACCEL hAccel;
  USHORT cAccel;
  DWORD dwFlags;
} CONTROLINFO, *LPCONTROLINFO;

enum CTRLINFO { CTRLINFO_EATS_RETURN = 1, CTRLINFO_EATS_ESCAPE = 2 };

struct IOleControl : IUnknown {
  STDMETHOD(GetControlInfo)(CONTROLINFO* pCI) PURE;
  STDMETHOD(OnMnemonic)(struct tagMSG* pMsg) PURE;
  STDMETHOD(OnAmbientPropertyChange)(DISPID dispID) PURE;
  STDMETHOD(FreezeEvents)(BOOL bFreeze) PURE;

 protected:
  ~IOleControl() = default;
};

struct IOleInPlaceObjectWindowless : IOleInPlaceObject {
  STDMETHOD(OnWindowMessage)(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* plResult) PURE;
  STDMETHOD(GetDropTarget)(IDropTarget** ppDropTarget) PURE;

 protected:
  ~IOleInPlaceObjectWindowless() = default;
};

enum VIEWSTATUS {
  VIEWSTATUS_OPAQUE = 1,
  VIEWSTATUS_SOLIDBKGND = 2,
  VIEWSTATUS_DVASPECTOPAQUE = 4,
  VIEWSTATUS_DVASPECTTRANSPARENT = 8,
  VIEWSTATUS_SURFACE = 16,
  VIEWSTATUS_3DSURFACE = 32
};
enum HITRESULT {
  HITRESULT_OUTSIDE = 0,
  HITRESULT_TRANSPARENT = 1,
  HITRESULT_CLOSE = 2,
  HITRESULT_HIT = 3
};
enum DVASPECT2 { DVASPECT_OPAQUE = 16, DVASPECT_TRANSPARENT = 32 };
enum DVEXTENTMODE { DVEXTENT_CONTENT = 0, DVEXTENT_INTEGRAL = 1 };

typedef struct tagExtentInfo {
  ULONG cb;
  DWORD dwExtentMode;
  SIZEL sizelProposed;
} DVEXTENTINFO;

struct IViewObjectEx : IViewObject2 {
  STDMETHOD(GetRect)(DWORD dwAspect, LPRECTL pRect) PURE;
  STDMETHOD(GetViewStatus)(DWORD* pdwStatus) PURE;
  STDMETHOD(QueryHitPoint)
  (DWORD dwAspect, LPCRECT pRectBounds, POINT ptlLoc, LONG lCloseHint, DWORD* pHitResult) PURE;
  STDMETHOD(QueryHitRect)
  (DWORD dwAspect, LPCRECT pRectBounds, LPCRECT pRectLoc, LONG lCloseHint, DWORD* pHitResult) PURE;
  STDMETHOD(GetNaturalExtent)
  (DWORD dwAspect, LONG lindex, DVTARGETDEVICE* ptd, HDC hicTargetDev, DVEXTENTINFO* pExtentInfo,
   LPSIZEL pSizel) PURE;

 protected:
  ~IViewObjectEx() = default;
};

enum QACONTAINERFLAGS {
  QACONTAINER_SHOWHATCHING = 0x1,
  QACONTAINER_SHOWGRABHANDLES = 0x2,
  QACONTAINER_USERMODE = 0x4,
  QACONTAINER_DISPLAYASDEFAULT = 0x8,
  QACONTAINER_UIDEAD = 0x10,
  QACONTAINER_AUTOCLIP = 0x20,
  QACONTAINER_MESSAGEREFLECT = 0x40,
  QACONTAINER_SUPPORTSMNEMONICS = 0x80
};

typedef struct tagQACONTAINER {
  ULONG cbSize;
  IOleClientSite* pClientSite;
  IAdviseSinkEx* pAdviseSink;
  IPropertyNotifySink* pPropertyNotifySink;
  IUnknown* pUnkEventSink;
  DWORD dwAmbientFlags;
  OLE_COLOR colorFore;
  OLE_COLOR colorBack;
  IFont* pFont;
  IOleUndoManager* pUndoMgr;
  DWORD dwAppearance;
  LONG lcid;
  HPALETTE hpal;
  IBindHost* pBindHost;
  IOleControlSite* pOleControlSite;
  IServiceProvider* pServiceProvider;
} QACONTAINER;

typedef struct tagQACONTROL {
  ULONG cbSize;
  DWORD dwMiscStatus;
  DWORD dwViewStatus;
  DWORD dwEventCookie;
  DWORD dwPropNotifyCookie;
  DWORD dwPointerActivationPolicy;
} QACONTROL;

struct IQuickActivate : IUnknown {
  STDMETHOD(QuickActivate)(QACONTAINER* pQaContainer, QACONTROL* pQaControl) PURE;
  STDMETHOD(SetContentExtent)(LPSIZEL pSizel) PURE;
  STDMETHOD(GetContentExtent)(LPSIZEL pSizel) PURE;

 protected:
  ~IQuickActivate() = default;
};
