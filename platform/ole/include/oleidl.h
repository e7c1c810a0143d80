// Compound document interfaces of oleidl.h that a windowless control answers, with their
// constants (OLEMISC_*, OLEIVERB_*, DVASPECT_*).
#pragma once

#include "objidl.h"

OLE_DATA const IID IID_IOleWindow;
OLE_DATA const IID IID_IOleObject;
OLE_DATA const IID IID_IOleClientSite;
OLE_DATA const IID IID_IOleContainer;
OLE_DATA const IID IID_IOleInPlaceObject;
OLE_DATA const IID IID_IOleInPlaceActiveObject;
OLE_DATA const IID IID_IOleInPlaceUIWindow;
OLE_DATA const IID IID_IOleInPlaceFrame;
OLE_DATA const IID IID_IOleInPlaceSite;
OLE_DATA const IID IID_IOleAdviseHolder;
OLE_DATA const IID IID_IEnumOLEVERB;
OLE_DATA const IID IID_IViewObject;
OLE_DATA const IID IID_IViewObject2;
OLE_DATA const IID IID_IDropTarget;

// Known by name only.
struct IOleContainer;
struct IOleInPlaceUIWindow;
struct IEnumOLEVERB;
struct IDropTarget;
struct tagMSG;
struct tagLOGPALETTE;
typedef struct tagLOGPALETTE LOGPALETTE;

typedef struct tagDVTARGETDEVICE {
  DWORD tdSize;
  WORD tdDriverNameOffset;
  WORD tdDeviceNameOffset;
  WORD tdPortNameOffset;
  WORD tdExtDevmodeOffset;
  BYTE tdData[1];
} DVTARGETDEVICE;

typedef struct tagOLEVERB {
  LONG lVerb;
  LPOLESTR lpszVerbName;
  DWORD fuFlags;
  DWORD grfAttribs;
} OLEVERB, *LPOLEVERB;

enum OLEMISC {
  OLEMISC_RECOMPOSEONRESIZE = 0x1,
  OLEMISC_ONLYICONIC = 0x2,
  OLEMISC_INSERTNOTREPLACE = 0x4,
  OLEMISC_STATIC = 0x8,
  OLEMISC_CANTLINKINSIDE = 0x10,
  OLEMISC_CANLINKBYOLE1 = 0x20,
  OLEMISC_ISLINKOBJECT = 0x40,
  OLEMISC_INSIDEOUT = 0x80,
  OLEMISC_ACTIVATEWHENVISIBLE = 0x100,
  OLEMISC_RENDERINGISDEVICEINDEPENDENT = 0x200,
  OLEMISC_INVISIBLEATRUNTIME = 0x400,
  OLEMISC_ALWAYSRUN = 0x800,
  OLEMISC_ACTSLIKEBUTTON = 0x1000,
  OLEMISC_ACTSLIKELABEL = 0x2000,
  OLEMISC_NOUIACTIVATE = 0x4000,
  OLEMISC_ALIGNABLE = 0x8000,
  OLEMISC_SIMPLEFRAME = 0x10000,
  OLEMISC_SETCLIENTSITEFIRST = 0x20000,
  OLEMISC_IMEMODE = 0x40000,
  OLEMISC_IGNOREACTIVATEWHENVISIBLE = 0x80000,
  OLEMISC_WANTSTOMENUMERGE = 0x100000,
  OLEMISC_SUPPORTSMULTILEVELUNDO = 0x200000
};

#define OLEIVERB_PRIMARY (0L)
#define OLEIVERB_SHOW (-1L)
#define OLEIVERB_OPEN (-2L)
#define OLEIVERB_HIDE (-3L)
#define OLEIVERB_UIACTIVATE (-4L)
#define OLEIVERB_INPLACEACTIVATE (-5L)
#define OLEIVERB_DISCARDUNDOSTATE (-6L)

enum DVASPECT {
  DVASPECT_CONTENT = 1,
  DVASPECT_THUMBNAIL = 2,
  DVASPECT_ICON = 4,
  DVASPECT_DOCPRINT = 8
};
enum USERCLASSTYPE { USERCLASSTYPE_FULL = 1, USERCLASSTYPE_SHORT = 2, USERCLASSTYPE_APPNAME = 3 };
enum OLECLOSE { OLECLOSE_SAVEIFDIRTY = 0, OLECLOSE_NOSAVE = 1, OLECLOSE_PROMPTSAVE = 2 };
enum OLEGETMONIKER {
  OLEGETMONIKER_ONLYIFTHERE = 1,
  OLEGETMONIKER_FORCEASSIGN = 2,
  OLEGETMONIKER_UNASSIGN = 3,
  OLEGETMONIKER_TEMPFORUSER = 4
};
enum OLEWHICHMK { OLEWHICHMK_CONTAINER = 1, OLEWHICHMK_OBJREL = 2, OLEWHICHMK_OBJFULL = 3 };

struct IOleWindow : IUnknown {
  STDMETHOD(GetWindow)(HWND* phwnd) PURE;
  STDMETHOD(ContextSensitiveHelp)(BOOL fEnterMode) PURE;

 protected:
  ~IOleWindow() = default;
};

struct IOleClientSite : IUnknown {
  STDMETHOD(SaveObject)() PURE;
  STDMETHOD(GetMoniker)(DWORD dwAssign, DWORD dwWhichMoniker, IMoniker** ppmk) PURE;
  STDMETHOD(GetContainer)(IOleContainer** ppContainer) PURE;
  STDMETHOD(ShowObject)() PURE;
  STDMETHOD(OnShowWindow)(BOOL fShow) PURE;
  STDMETHOD(RequestNewObjectLayout)() PURE;

 protected:
  ~IOleClientSite() = default;
};
typedef IOleClientSite* LPOLECLIENTSITE;

struct IOleObject : IUnknown {
  STDMETHOD(SetClientSite)(IOleClientSite* pClientSite) PURE;
  STDMETHOD(GetClientSite)(IOleClientSite** ppClientSite) PURE;
  STDMETHOD(SetHostNames)(LPCOLESTR szContainerApp, LPCOLESTR szContainerObj) PURE;
  STDMETHOD(Close)(DWORD dwSaveOption) PURE;
  STDMETHOD(SetMoniker)(DWORD dwWhichMoniker, IMoniker* pmk) PURE;
  STDMETHOD(GetMoniker)(DWORD dwAssign, DWORD dwWhichMoniker, IMoniker** ppmk) PURE;
  STDMETHOD(InitFromData)(IDataObject* pDataObject, BOOL fCreation, DWORD dwReserved) PURE;
  STDMETHOD(GetClipboardData)(DWORD dwReserved, IDataObject** ppDataObject) PURE;
  STDMETHOD(DoVerb)
  (LONG iVerb, struct tagMSG* lpmsg, IOleClientSite* pActiveSite, LONG lindex, HWND hwndParent,
   LPCRECT lprcPosRect) PURE;
  STDMETHOD(EnumVerbs)(IEnumOLEVERB** ppEnumOleVerb) PURE;
  STDMETHOD(Update)() PURE;
  STDMETHOD(IsUpToDate)() PURE;
  STDMETHOD(GetUserClassID)(CLSID* pClsid) PURE;
  STDMETHOD(GetUserType)(DWORD dwFormOfType, LPOLESTR* pszUserType) PURE;
  STDMETHOD(SetExtent)(DWORD dwDrawAspect, SIZEL* psizel) PURE;
  STDMETHOD(GetExtent)(DWORD dwDrawAspect, SIZEL* psizel) PURE;
  STDMETHOD(Advise)(IAdviseSink* pAdvSink, DWORD* pdwConnection) PURE;
  STDMETHOD(Unadvise)(DWORD dwConnection) PURE;
  STDMETHOD(EnumAdvise)(IEnumSTATDATA** ppenumAdvise) PURE;
  STDMETHOD(GetMiscStatus)(DWORD dwAspect, DWORD* pdwStatus) PURE;
  STDMETHOD(SetColorScheme)(LOGPALETTE* pLogpal) PURE;

 protected:
  ~IOleObject() = default;
};

struct IOleInPlaceObject : IOleWindow {
  STDMETHOD(InPlaceDeactivate)() PURE;
  STDMETHOD(UIDeactivate)() PURE;
  STDMETHOD(SetObjectRects)(LPCRECT lprcPosRect, LPCRECT lprcClipRect) PURE;
  STDMETHOD(ReactivateAndUndo)() PURE;

 protected:
  ~IOleInPlaceObject() = default;
};

struct IOleInPlaceActiveObject : IOleWindow {
  STDMETHOD(TranslateAccelerator)(struct tagMSG* lpmsg) PURE;
  STDMETHOD(OnFrameWindowActivate)(BOOL fActivate) PURE;
  STDMETHOD(OnDocWindowActivate)(BOOL fActivate) PURE;
  STDMETHOD(ResizeBorder)
  (LPCRECT prcBorder, IOleInPlaceUIWindow* pUIWindow, BOOL fFrameWindow) PURE;
  STDMETHOD(EnableModeless)(BOOL fEnable) PURE;

 protected:
  ~IOleInPlaceActiveObject() = default;
};

struct IViewObject : IUnknown {
  STDMETHOD(Draw)
  (DWORD dwDrawAspect, LONG lindex, void* pvAspect, DVTARGETDEVICE* ptd, HDC hdcTargetDev,
   HDC hdcDraw, LPCRECTL lprcBounds, LPCRECTL lprcWBounds,
   BOOL(STDMETHODCALLTYPE* pfnContinue)(ULONG_PTR dwContinue), ULONG_PTR dwContinue) PURE;
  STDMETHOD(GetColorSet)
  (DWORD dwDrawAspect, LONG lindex, void* pvAspect, DVTARGETDEVICE* ptd, HDC hicTargetDev,
   LOGPALETTE** ppColorSet) PURE;
  STDMETHOD(Freeze)(DWORD dwDrawAspect, LONG lindex, void* pvAspect, DWORD* pdwFreeze) PURE;
  STDMETHOD(Unfreeze)(DWORD dwFreeze) PURE;
  STDMETHOD(SetAdvise)(DWORD aspects, DWORD advf, IAdviseSink* pAdvSink) PURE;
  STDMETHOD(GetAdvise)(DWORD* pAspects, DWORD* pAdvf, IAdviseSink** ppAdvSink) PURE;

 protected:
  ~IViewObject() = default;
};

struct IViewObject2 : IViewObject {
  STDMETHOD(GetExtent)(DWORD dwDrawAspect, LONG lindex, DVTARGETDEVICE* ptd, LPSIZEL lpsizel) PURE;

 protected:
  ~IViewObject2() = default;
};
