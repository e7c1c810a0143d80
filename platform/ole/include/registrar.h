// The registrar that runs registry scripts (the IRegistrar of ATL's atliface.h), created
// with CoCreateInstance(CLSID_Registrar, ...): it is built into the runtime and needs no
// registration.
//
// Script language: root keys (HKCR, HKEY_CLASSES_ROOT, HKCU, HKLM) each with a block of
// keys; a key is [NoRemove | ForceRemove | Delete] name [= s 'text' | = d 'number'] with an
// optional { block } of subkeys and "val Name = s 'text'" values. Names and texts are bare
// words or quoted with apostrophes ('' stands for one); %NAME% is replaced with the text of
// AddReplacement, %% with one percent sign. A script is checked whole before the registry
// is touched, and applied in one registry transaction.
#pragma once

#include "unknwn.h"

OLE_DATA const IID IID_IRegistrar;
OLE_DATA const CLSID CLSID_Registrar;

struct IRegistrar : IUnknown {
  STDMETHOD(AddReplacement)(LPCOLESTR key, LPCOLESTR item) PURE;
  STDMETHOD(ClearReplacements)() PURE;
  // Resources are a Windows module format; these four answer E_NOTIMPL.
  STDMETHOD(ResourceRegisterSz)(LPCOLESTR resFileName, LPCOLESTR szID, LPCOLESTR szType) PURE;
  STDMETHOD(ResourceUnregisterSz)(LPCOLESTR resFileName, LPCOLESTR szID, LPCOLESTR szType) PURE;
  STDMETHOD(FileRegister)(LPCOLESTR fileName) PURE;
  STDMETHOD(FileUnregister)(LPCOLESTR fileName) PURE;
  STDMETHOD(StringRegister)(LPCOLESTR data) PURE;
  STDMETHOD(StringUnregister)(LPCOLESTR data) PURE;
  STDMETHOD(ResourceRegister)(LPCOLESTR resFileName, UINT nID, LPCOLESTR szType) PURE;
  STDMETHOD(ResourceUnregister)(LPCOLESTR resFileName, UINT nID, LPCOLESTR szType) PURE;

 protected:
  ~IRegistrar() = default;
};
