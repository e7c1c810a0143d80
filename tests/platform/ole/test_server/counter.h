// The test server's identities and its dual interface, as a client declares them.
#pragma once

#include "ocidl.h"

// {5C1E2A40-7D3B-4E11-9A0F-3B6C2D8E1F01} and neighbours.
inline constexpr CLSID kClsidCounter = {
    0x5C1E2A40, 0x7D3B, 0x4E11, {0x9A, 0x0F, 0x3B, 0x6C, 0x2D, 0x8E, 0x1F, 0x01}};
inline constexpr IID kIidCounter = {
    0x5C1E2A41, 0x7D3B, 0x4E11, {0x9A, 0x0F, 0x3B, 0x6C, 0x2D, 0x8E, 0x1F, 0x01}};
inline constexpr IID kIidCounterEvents = {
    0x5C1E2A42, 0x7D3B, 0x4E11, {0x9A, 0x0F, 0x3B, 0x6C, 0x2D, 0x8E, 0x1F, 0x01}};
inline constexpr GUID kLibidCounter = {
    0x5C1E2A43, 0x7D3B, 0x4E11, {0x9A, 0x0F, 0x3B, 0x6C, 0x2D, 0x8E, 0x1F, 0x01}};

// Dispatch ids of ICounter.
enum : DISPID { kDispValue = 1, kDispName = 2, kDispFire = 3, kDispFail = 4, kDispData = 5 };
// Dispatch ids of the event interface: Changed(ByRef Text As String, ByRef Count As Integer)
// and Tick().
enum : DISPID { kEventChanged = 1, kEventTick = 2 };

struct ICounter : IDispatch {
  STDMETHOD(get_Value)(LONG* pVal) PURE;
  STDMETHOD(put_Value)(LONG newVal) PURE;
  STDMETHOD(get_Name)(BSTR* pVal) PURE;
  STDMETHOD(put_Name)(BSTR newVal) PURE;
  // Fires Changed(text, count of calls so far) and then Tick to every sink.
  STDMETHOD(Fire)(BSTR text) PURE;
  // Fails with the control error `number`, leaving error information behind.
  STDMETHOD(Fail)(LONG number) PURE;
  // Takes a byte array (or an array of variants) and sets Value to its element count.
  STDMETHOD(put_Data)(VARIANT newVal) PURE;

 protected:
  ~ICounter() = default;
};
