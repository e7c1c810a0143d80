// VariantChangeType on any source value and any target type, into a fresh variant and in
// place. A conversion that succeeds gives the type asked for, and an integer written as text
// reads back as the same integer.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "fuzz_input.h"
#include "oleauto.h"

namespace {

constexpr VARTYPE kTypes[] = {VT_EMPTY,
                              VT_NULL,
                              VT_I2,
                              VT_I4,
                              VT_R4,
                              VT_R8,
                              VT_CY,
                              VT_DATE,
                              VT_BSTR,
                              VT_ERROR,
                              VT_BOOL,
                              VT_VARIANT,
                              VT_DECIMAL,
                              VT_I1,
                              VT_UI1,
                              VT_UI2,
                              VT_UI4,
                              VT_I8,
                              VT_UI8,
                              VT_INT,
                              VT_UINT,
                              VT_DISPATCH,
                              VT_UNKNOWN,
                              VT_ARRAY | VT_UI1,
                              VT_ARRAY | VT_VARIANT,
                              VT_ARRAY | VT_BSTR,
                              VT_BYREF | VT_I4,
                              VT_BYREF | VT_BSTR,
                              VT_BYREF | VT_VARIANT,
                              0x7FFF,
                              VT_VECTOR | VT_I4};

// The size of an integer type's value, or 0 for any other type.
size_t IntegerSize(VARTYPE vt) {
  switch (vt) {
    case VT_I1:
    case VT_UI1:
      return 1;
    case VT_I2:
    case VT_UI2:
      return 2;
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
      return 4;
    case VT_I8:
    case VT_UI8:
      return 8;
    default:
      return 0;
  }
}

// A source value of a chosen type; by-reference sources point into `store`.
void MakeSource(fuzz::Input& in, VARIANT& v, VARIANT& store, LONG& number, BSTR& text) {
  std::memset(&v, 0, sizeof v);
  const VARTYPE vt = kTypes[in.Pick(std::size(kTypes))];
  switch (vt) {
    case VT_BSTR:
    case VT_BYREF | VT_BSTR: {
      std::u16string s = in.Text(64);
      text = SysAllocStringLen(s.data(), static_cast<UINT>(s.size()));
      v.vt = VT_BSTR;
      v.bstrVal = text;
      if (vt & VT_BYREF) {
        v.vt = vt;
        v.pbstrVal = &text;
      }
      return;
    }
    case VT_ARRAY | VT_UI1:
    case VT_ARRAY | VT_BSTR:
    case VT_ARRAY | VT_VARIANT: {
      const ULONG n = in.Pick(5);
      v.vt = vt;
      v.parray = SafeArrayCreateVector(vt & VT_TYPEMASK, static_cast<LONG>(in.Byte()) - 128, n);
      if (v.parray && (vt & VT_TYPEMASK) == VT_UI1 && n) {
        for (ULONG i = 0; i < n; ++i) static_cast<BYTE*>(v.parray->pvData)[i] = in.Byte();
      }
      return;
    }
    case VT_BYREF | VT_I4:
      number = in.Number<LONG>();
      v.vt = vt;
      v.plVal = &number;
      return;
    case VT_BYREF | VT_VARIANT:
      store.vt = VT_I2;
      store.iVal = in.Number<SHORT>();
      v.vt = vt;
      v.pvarVal = &store;
      return;
    case VT_DISPATCH:
    case VT_UNKNOWN:
      v.vt = vt;  // a null object: no value property to read
      return;
    default:
      v.vt = vt;
      v.ullVal = in.Number<ULONGLONG>();
      if (vt == VT_DECIMAL) v.decVal.scale = in.Byte();
      return;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in(data, size);
  VARIANT src, store;
  VariantInit(&store);
  LONG number = 0;
  BSTR text = nullptr;  // owned here when the source refers to it, else by the source
  MakeSource(in, src, store, number, text);
  const VARTYPE target = kTypes[in.Pick(std::size(kTypes))];
  const USHORT flags = in.Byte() & 0x0F;

  VARIANT dest;
  std::memset(&dest, 0, sizeof dest);
  HRESULT hr = VariantChangeType(&dest, &src, flags, target);
  if (SUCCEEDED(hr) && dest.vt != target) std::abort();
  if (SUCCEEDED(hr) && IntegerSize(target)) {
    VARIANT as_text, back;
    std::memset(&as_text, 0, sizeof as_text);
    std::memset(&back, 0, sizeof back);
    if (VariantChangeType(&as_text, &dest, 0, VT_BSTR) != S_OK) std::abort();
    if (VariantChangeType(&back, &as_text, 0, target) != S_OK) std::abort();
    if (std::memcmp(&back.llVal, &dest.llVal, IntegerSize(target)) != 0) std::abort();
    VariantClear(&as_text);
  }
  VariantClear(&dest);

  // In place, on a copy: it becomes the result, or stays as it was on failure.
  VARIANT copy;
  VariantInit(&copy);
  if (VariantCopy(&copy, &src) == S_OK) {
    const VARTYPE before = copy.vt;
    hr = VariantChangeType(&copy, &copy, flags, target);
    if (SUCCEEDED(hr) ? copy.vt != target : copy.vt != before) std::abort();
    VariantClear(&copy);
  }
  if (src.vt & VT_BYREF) {
    SysFreeString(text);
  } else {
    VariantClear(&src);
  }
  return 0;
}
