// IUnknown and IClassFactory. Interfaces are pure virtual classes without a virtual
// destructor, members in Windows' slot order, so a vtable is laid out as on Windows x64.
// Their destructors are protected: an object is destroyed by its last Release, never
// through an interface pointer.
#pragma once

#include "wtypes.h"

OLE_DATA const IID IID_IUnknown;
OLE_DATA const IID IID_IClassFactory;

struct IUnknown {
  STDMETHOD(QueryInterface)(REFIID riid, void** ppvObject) PURE;
  STDMETHOD_(ULONG, AddRef)() PURE;
  STDMETHOD_(ULONG, Release)() PURE;

 protected:
  ~IUnknown() = default;
};
typedef IUnknown* LPUNKNOWN;

struct IClassFactory : IUnknown {
  STDMETHOD(CreateInstance)(IUnknown* pUnkOuter, REFIID riid, void** ppvObject) PURE;
  STDMETHOD(LockServer)(BOOL fLock) PURE;

 protected:
  ~IClassFactory() = default;
};
typedef IClassFactory* LPCLASSFACTORY;
