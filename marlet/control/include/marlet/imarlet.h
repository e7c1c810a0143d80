// What other programs bind to: the identities of the Marlet control and its type library,
// the dispatch ids, and the IMarlet dual interface with its members in vtable order.
#pragma once

#include "marlet/identity.h"
#include "oaidl.h"

namespace marlet {

// {7E2A4C11-3B9D-4F21-A6C3-51D0E8B7F2A4}
inline constexpr IID kIidIMarlet = {
    0x7E2A4C11, 0x3B9D, 0x4F21, {0xA6, 0xC3, 0x51, 0xD0, 0xE8, 0xB7, 0xF2, 0xA4}};
// {7E2A4C12-3B9D-4F21-A6C3-51D0E8B7F2A4}
inline constexpr IID kIidIMarletEvents = {
    0x7E2A4C12, 0x3B9D, 0x4F21, {0xA6, 0xC3, 0x51, 0xD0, 0xE8, 0xB7, 0xF2, 0xA4}};
// {7E2A4C13-3B9D-4F21-A6C3-51D0E8B7F2A4}, version 1.0, locale 1033
inline constexpr GUID kLibidMarlet = {
    0x7E2A4C13, 0x3B9D, 0x4F21, {0xA6, 0xC3, 0x51, 0xD0, 0xE8, 0xB7, 0xF2, 0xA4}};
inline constexpr WORD kLibraryMajor = 1;
inline constexpr WORD kLibraryMinor = 0;
inline constexpr LCID kLibraryLocale = 1033;

enum Dispid : DISPID {
  kDispAcceptData = 1,
  kDispActive = 2,
  kDispDataToSend = 3,
  kDispDontRoute = 4,
  kDispInBufferSize = 5,
  kDispLocalHost = 6,
  kDispLocalPort = 7,
  kDispMaxPacketSize = 8,
  kDispOutBufferSize = 9,
  kDispQOSFlags = 10,
  kDispRemoteHost = 11,
  kDispRemotePort = 12,
  kDispShareLocalPort = 13,
  kDispSocketHandle = 14,
  kDispTimeToLive = 15,
  kDispUseConnection = 16,
  kDispWinsockInfo = 17,
  kDispWinsockLoaded = 18,
  kDispWinsockMaxDatagramSize = 19,
  kDispWinsockMaxSockets = 20,
  kDispWinsockPath = 21,
  kDispWinsockStatus = 22,
  kDispDataToSendB = 23,
  kDispDataInDatagramB = 24,
  kDispCharsetMode = 242,
  kDispDoEvents = 501,
  kDispSend = 502,
  // No id in the interface definition: numbered as a type library numbers such members,
  // 0x6002 for the second level of inheritance and the member's index in the interface.
  kDispOnStartPage = 0x60020032,
  kDispOnEndPage = 0x60020033,
};

enum EventDispid : DISPID {
  kDispDataIn = 1,
  kDispError = 2,
  kDispReadyToSend = 3,
};

// Booleans are automation booleans; a setter takes any non-zero value as True.
struct IMarlet : IDispatch {
  STDMETHOD(get_AcceptData)(VARIANT_BOOL* pVal) PURE;
  STDMETHOD(put_AcceptData)(VARIANT_BOOL newVal) PURE;
  STDMETHOD(get_Active)(VARIANT_BOOL* pVal) PURE;
  STDMETHOD(put_Active)(VARIANT_BOOL newVal) PURE;
  STDMETHOD(get_DataToSend)(BSTR* pVal) PURE;
  STDMETHOD(put_DataToSend)(BSTR newVal) PURE;
  STDMETHOD(get_DontRoute)(VARIANT_BOOL* pVal) PURE;
  STDMETHOD(put_DontRoute)(VARIANT_BOOL newVal) PURE;
  STDMETHOD(get_InBufferSize)(LONG* pVal) PURE;
  STDMETHOD(put_InBufferSize)(LONG newVal) PURE;
  STDMETHOD(get_LocalHost)(BSTR* pVal) PURE;
  STDMETHOD(put_LocalHost)(BSTR newVal) PURE;
  STDMETHOD(get_LocalPort)(LONG* pVal) PURE;
  STDMETHOD(put_LocalPort)(LONG newVal) PURE;
  STDMETHOD(get_MaxPacketSize)(LONG* pVal) PURE;
  STDMETHOD(put_MaxPacketSize)(LONG newVal) PURE;
  STDMETHOD(get_OutBufferSize)(LONG* pVal) PURE;
  STDMETHOD(put_OutBufferSize)(LONG newVal) PURE;
  STDMETHOD(get_QOSFlags)(LONG* pVal) PURE;
  STDMETHOD(put_QOSFlags)(LONG newVal) PURE;
  STDMETHOD(get_RemoteHost)(BSTR* pVal) PURE;
  STDMETHOD(put_RemoteHost)(BSTR newVal) PURE;
  STDMETHOD(get_RemotePort)(LONG* pVal) PURE;
  STDMETHOD(put_RemotePort)(LONG newVal) PURE;
  STDMETHOD(get_ShareLocalPort)(VARIANT_BOOL* pVal) PURE;
  STDMETHOD(put_ShareLocalPort)(VARIANT_BOOL newVal) PURE;
  STDMETHOD(get_SocketHandle)(LONG* pVal) PURE;
  STDMETHOD(put_SocketHandle)(LONG newVal) PURE;
  STDMETHOD(get_TimeToLive)(LONG* pVal) PURE;
  STDMETHOD(put_TimeToLive)(LONG newVal) PURE;
  STDMETHOD(get_UseConnection)(VARIANT_BOOL* pVal) PURE;
  STDMETHOD(put_UseConnection)(VARIANT_BOOL newVal) PURE;
  STDMETHOD(get_WinsockInfo)(BSTR* pVal) PURE;
  STDMETHOD(put_WinsockInfo)(BSTR newVal) PURE;
  STDMETHOD(get_WinsockLoaded)(VARIANT_BOOL* pVal) PURE;
  STDMETHOD(put_WinsockLoaded)(VARIANT_BOOL newVal) PURE;
  STDMETHOD(get_WinsockMaxDatagramSize)(LONG* pVal) PURE;
  STDMETHOD(put_WinsockMaxDatagramSize)(LONG newVal) PURE;
  STDMETHOD(get_WinsockMaxSockets)(LONG* pVal) PURE;
  STDMETHOD(put_WinsockMaxSockets)(LONG newVal) PURE;
  STDMETHOD(get_WinsockPath)(BSTR* pVal) PURE;
  STDMETHOD(put_WinsockPath)(BSTR newVal) PURE;
  STDMETHOD(get_WinsockStatus)(BSTR* pVal) PURE;
  STDMETHOD(put_WinsockStatus)(BSTR newVal) PURE;
  STDMETHOD(get_DataToSendB)(VARIANT* pVal) PURE;
  STDMETHOD(put_DataToSendB)(VARIANT newVal) PURE;
  STDMETHOD(get_DataInDatagramB)(VARIANT* pVal) PURE;
  STDMETHOD(put_DataInDatagramB)(VARIANT newVal) PURE;
  STDMETHOD(DoEvents)() PURE;
  STDMETHOD(Send)(BSTR Text) PURE;
  STDMETHOD(OnStartPage)(IUnknown* piUnk) PURE;
  STDMETHOD(OnEndPage)() PURE;
  STDMETHOD(get_CharsetMode)(LONG* pVal) PURE;
  STDMETHOD(put_CharsetMode)(LONG newVal) PURE;

 protected:
  ~IMarlet() = default;
};

}  // namespace marlet
