// VariantChangeType for the types that control properties use. Numbers pass through a
// long double, which holds every 64-bit integer exactly; conversion to an integer type
// rounds half to even, as Windows does, and fails with DISP_E_OVERFLOW out of range.
#include <cfenv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "guid_text.h"
#include "oleauto.h"
#include "text_fold.h"
#include "variant_types.h"

namespace {

bool IsNumericTarget(VARTYPE vt) {
  switch (vt) {
    case VT_I1:
    case VT_I2:
    case VT_I4:
    case VT_I8:
    case VT_INT:
    case VT_UI1:
    case VT_UI2:
    case VT_UI4:
    case VT_UI8:
    case VT_UINT:
    case VT_R4:
    case VT_R8:
    case VT_CY:
    case VT_DATE:
    case VT_BOOL:
      return true;
    default:
      return false;
  }
}

// Reads "  -1,234.5e3 ", "&HFF" or "&O17". Thousands separators only before the point.
HRESULT ParseNumber(std::u16string_view s, long double& out) {
  size_t b = 0, e = s.size();
  while (b < e && (s[b] == u' ' || s[b] == u'\t')) ++b;
  while (e > b && (s[e - 1] == u' ' || s[e - 1] == u'\t')) --e;
  s = s.substr(b, e - b);
  if (s.empty()) return DISP_E_TYPEMISMATCH;
  if (s.size() > 2 && s[0] == u'&' &&
      (s[1] == u'H' || s[1] == u'h' || s[1] == u'O' || s[1] == u'o')) {
    const unsigned base = (s[1] == u'H' || s[1] == u'h') ? 16 : 8;
    unsigned long long v = 0;
    for (size_t i = 2; i < s.size(); ++i) {
      char16_t c = s[i];
      unsigned d;
      if (c >= u'0' && c <= u'9') {
        d = c - u'0';
      } else if (base == 16 && c >= u'a' && c <= u'f') {
        d = c - u'a' + 10;
      } else if (base == 16 && c >= u'A' && c <= u'F') {
        d = c - u'A' + 10;
      } else {
        return DISP_E_TYPEMISMATCH;
      }
      if (d >= base) return DISP_E_TYPEMISMATCH;
      if (v > (~0ULL - d) / base) return DISP_E_OVERFLOW;
      v = v * base + d;
    }
    // Like Windows, a hexadecimal that fits 16 or 32 bits reads as a signed value.
    if (v <= 0xFFFF && s.size() - 2 <= 4) {
      out = static_cast<int16_t>(v);
    } else if (v <= 0xFFFFFFFFull) {
      out = static_cast<int32_t>(v);
    } else {
      out = static_cast<long double>(v);
    }
    return S_OK;
  }
  std::string ascii;
  bool digits = false, point = false, exponent = false;
  for (size_t i = 0; i < s.size(); ++i) {
    char16_t c = s[i];
    if (c >= u'0' && c <= u'9') {
      digits = true;
      ascii.push_back(static_cast<char>(c));
    } else if ((c == u'+' || c == u'-') && (i == 0 || s[i - 1] == u'e' || s[i - 1] == u'E' ||
                                            s[i - 1] == u'd' || s[i - 1] == u'D')) {
      ascii.push_back(static_cast<char>(c));
    } else if (c == u'.' && !point && !exponent) {
      point = true;
      ascii.push_back('.');
    } else if (c == u',' && !point && !exponent && digits) {
      continue;
    } else if ((c == u'e' || c == u'E' || c == u'd' || c == u'D') && digits && !exponent) {
      exponent = true;
      ascii.push_back('e');
    } else {
      return DISP_E_TYPEMISMATCH;
    }
  }
  if (!digits) return DISP_E_TYPEMISMATCH;
  char* end = nullptr;
  out = std::strtold(ascii.c_str(), &end);
  if (end != ascii.c_str() + ascii.size()) return DISP_E_TYPEMISMATCH;
  if (std::isinf(out)) return DISP_E_OVERFLOW;
  return S_OK;
}

// The numeric value of a scalar source.
HRESULT SourceNumber(const VARIANT& v, long double& out) {
  switch (v.vt) {
    case VT_EMPTY:
      out = 0;
      return S_OK;
    case VT_I1:
      out = v.cVal;
      return S_OK;
    case VT_I2:
      out = v.iVal;
      return S_OK;
    case VT_I4:
      out = v.lVal;
      return S_OK;
    case VT_INT:
      out = v.intVal;
      return S_OK;
    case VT_I8:
      out = v.llVal;
      return S_OK;
    case VT_UI1:
      out = v.bVal;
      return S_OK;
    case VT_UI2:
      out = v.uiVal;
      return S_OK;
    case VT_UI4:
      out = v.ulVal;
      return S_OK;
    case VT_UINT:
      out = v.uintVal;
      return S_OK;
    case VT_UI8:
      out = v.ullVal;
      return S_OK;
    case VT_R4:
      out = v.fltVal;
      return S_OK;
    case VT_R8:
      out = v.dblVal;
      return S_OK;
    case VT_DATE:
      out = v.date;
      return S_OK;
    case VT_CY:
      out = static_cast<long double>(v.cyVal.int64) / 10000;
      return S_OK;
    case VT_BOOL:
      out = v.boolVal ? -1 : 0;
      return S_OK;
    case VT_BSTR: {
      std::u16string_view text(v.bstrVal ? v.bstrVal : u"", SysStringLen(v.bstrVal));
      return ParseNumber(text, out);
    }
    default:
      return DISP_E_TYPEMISMATCH;
  }
}

template <typename T>
HRESULT ToInteger(long double x, long double lo, long double hi, T& out) {
  if (std::isnan(x)) return DISP_E_OVERFLOW;
  long double r = std::nearbyintl(x);  // the default mode rounds half to even
  if (r < lo || r > hi) return DISP_E_OVERFLOW;
  out = static_cast<T>(r);
  return S_OK;
}

HRESULT NumberTo(long double x, VARTYPE vt, VARIANT& out) {
  out.vt = vt;
  switch (vt) {
    case VT_I1:
      return ToInteger(x, -128.0L, 127.0L, out.cVal);
    case VT_I2:
      return ToInteger(x, -32768.0L, 32767.0L, out.iVal);
    case VT_I4:
      return ToInteger(x, -2147483648.0L, 2147483647.0L, out.lVal);
    case VT_INT:
      return ToInteger(x, -2147483648.0L, 2147483647.0L, out.intVal);
    case VT_I8:
      return ToInteger(x, -9223372036854775808.0L, 9223372036854775807.0L, out.llVal);
    case VT_UI1:
      return ToInteger(x, 0.0L, 255.0L, out.bVal);
    case VT_UI2:
      return ToInteger(x, 0.0L, 65535.0L, out.uiVal);
    case VT_UI4:
      return ToInteger(x, 0.0L, 4294967295.0L, out.ulVal);
    case VT_UINT:
      return ToInteger(x, 0.0L, 4294967295.0L, out.uintVal);
    case VT_UI8:
      return ToInteger(x, 0.0L, 18446744073709551615.0L, out.ullVal);
    case VT_CY:
      return ToInteger(x * 10000, -9223372036854775808.0L, 9223372036854775807.0L, out.cyVal.int64);
    case VT_R4:
      if (std::fabs(x) > 3.402823466e38L) return DISP_E_OVERFLOW;
      out.fltVal = static_cast<float>(x);
      return S_OK;
    case VT_R8:
      if (std::fabs(x) > 1.7976931348623157e308L) return DISP_E_OVERFLOW;
      out.dblVal = static_cast<double>(x);
      return S_OK;
    case VT_DATE:
      out.date = static_cast<double>(x);
      return S_OK;
    case VT_BOOL:
      out.boolVal = x != 0 ? VARIANT_TRUE : VARIANT_FALSE;
      return S_OK;
    default:
      return DISP_E_TYPEMISMATCH;
  }
}

// Shortest text with the given significant digits, exponent without leading zeros.
std::string FloatText(long double x, int digits) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*LG", digits, x);
  std::string s = buf;
  auto e = s.find('E');
  if (e != std::string::npos && e + 2 < s.size()) {
    size_t first = e + 2;
    while (first + 1 < s.size() && s[first] == '0') s.erase(first, 1);
  }
  return s;
}

HRESULT TextOf(const VARIANT& v, USHORT flags, std::string& out) {
  char buf[64];
  switch (v.vt) {
    case VT_EMPTY:
      out.clear();
      return S_OK;
    case VT_BOOL:
      if (flags & VARIANT_ALPHABOOL) {
        out = v.boolVal ? "True" : "False";
      } else {
        out = v.boolVal ? "-1" : "0";
      }
      return S_OK;
    case VT_R4:
      out = FloatText(v.fltVal, 7);
      return S_OK;
    case VT_R8:
      out = FloatText(v.dblVal, 15);
      return S_OK;
    case VT_CY: {
      long long whole = v.cyVal.int64 / 10000, frac = v.cyVal.int64 % 10000;
      std::snprintf(buf, sizeof buf, "%s%lld.%04lld", (v.cyVal.int64 < 0 && whole == 0) ? "-" : "",
                    whole, frac < 0 ? -frac : frac);
      out = buf;
      while (out.back() == '0') out.pop_back();
      if (out.back() == '.') out.pop_back();
      return S_OK;
    }
    case VT_I8:
      std::snprintf(buf, sizeof buf, "%lld", static_cast<long long>(v.llVal));
      break;
    case VT_UI8:
      std::snprintf(buf, sizeof buf, "%llu", static_cast<unsigned long long>(v.ullVal));
      break;
    case VT_I1:
    case VT_I2:
    case VT_I4:
    case VT_INT:
    case VT_UI1:
    case VT_UI2:
    case VT_UI4:
    case VT_UINT: {
      long double x = 0;
      SourceNumber(v, x);
      std::snprintf(buf, sizeof buf, "%lld", static_cast<long long>(x));
      break;
    }
    default:
      return DISP_E_TYPEMISMATCH;
  }
  out = buf;
  return S_OK;
}

HRESULT ValueProperty(IDispatch* disp, VARIANT& out) {
  if (!disp) return DISP_E_TYPEMISMATCH;
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  VariantInit(&out);
  return disp->Invoke(DISPID_VALUE, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none,
                      &out, nullptr, nullptr);
}

HRESULT Convert(const VARIANT& src, USHORT flags, VARTYPE vt, VARIANT& out);

HRESULT ConvertObject(const VARIANT& src, USHORT flags, VARTYPE vt, VARIANT& out) {
  IUnknown* unk = src.punkVal;
  if (vt == VT_UNKNOWN || vt == VT_DISPATCH) {
    if (!unk) {
      out.vt = vt;
      out.punkVal = nullptr;
      return S_OK;
    }
    void* p = nullptr;
    if (FAILED(unk->QueryInterface(vt == VT_UNKNOWN ? IID_IUnknown : IID_IDispatch, &p))) {
      return DISP_E_TYPEMISMATCH;
    }
    out.vt = vt;
    out.punkVal = static_cast<IUnknown*>(p);
    return S_OK;
  }
  if (flags & VARIANT_NOVALUEPROP) return DISP_E_TYPEMISMATCH;
  IDispatch* disp = nullptr;
  if (!unk || FAILED(unk->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&disp)))) {
    return DISP_E_TYPEMISMATCH;
  }
  VARIANT value;
  HRESULT hr = ValueProperty(disp, value);
  disp->Release();
  if (FAILED(hr)) return DISP_E_TYPEMISMATCH;
  // A value that is itself an object would recurse without end.
  if (value.vt == VT_DISPATCH || value.vt == VT_UNKNOWN) {
    VariantClear(&value);
    return DISP_E_TYPEMISMATCH;
  }
  hr = value.vt == vt ? VariantCopy(&out, &value) : Convert(value, flags, vt, out);
  VariantClear(&value);
  return hr;
}

HRESULT Convert(const VARIANT& src, USHORT flags, VARTYPE vt, VARIANT& out) {
  if (src.vt == VT_DISPATCH || src.vt == VT_UNKNOWN) return ConvertObject(src, flags, vt, out);
  if (vt == VT_EMPTY) return S_OK;
  if (src.vt == VT_NULL) return DISP_E_TYPEMISMATCH;
  if (vt == VT_NULL) {
    if (src.vt != VT_EMPTY) return DISP_E_TYPEMISMATCH;
    out.vt = VT_NULL;
    return S_OK;
  }
  if (vt == VT_BSTR) {
    if (src.vt == (VT_ARRAY | VT_UI1)) {
      out.vt = VT_BSTR;
      return BstrFromVector(src.parray, &out.bstrVal);
    }
    std::string text;
    HRESULT hr = TextOf(src, flags, text);
    if (FAILED(hr)) return hr;
    std::u16string wide = ole::Widen(text);
    out.bstrVal = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    if (!out.bstrVal) return E_OUTOFMEMORY;
    out.vt = VT_BSTR;
    return S_OK;
  }
  if (vt == (VT_ARRAY | VT_UI1) && src.vt == VT_BSTR) {
    out.vt = vt;
    return VectorFromBstr(src.bstrVal, &out.parray);
  }
  if ((vt & VT_ARRAY) || (src.vt & VT_ARRAY)) return DISP_E_TYPEMISMATCH;
  if (!IsNumericTarget(vt)) return DISP_E_TYPEMISMATCH;
  if (vt == VT_BOOL && src.vt == VT_BSTR) {
    std::u16string_view text(src.bstrVal ? src.bstrVal : u"", SysStringLen(src.bstrVal));
    size_t b = text.find_first_not_of(u" \t"), e = text.find_last_not_of(u" \t");
    std::u16string_view word = b == std::u16string_view::npos ? u"" : text.substr(b, e - b + 1);
    if (ole::EqualNoCase(word, u"True") || ole::EqualNoCase(word, u"#TRUE#")) {
      out.vt = VT_BOOL;
      out.boolVal = VARIANT_TRUE;
      return S_OK;
    }
    if (ole::EqualNoCase(word, u"False") || ole::EqualNoCase(word, u"#FALSE#")) {
      out.vt = VT_BOOL;
      out.boolVal = VARIANT_FALSE;
      return S_OK;
    }
  }
  long double x = 0;
  HRESULT hr = SourceNumber(src, x);
  if (FAILED(hr)) return hr;
  return NumberTo(x, vt, out);
}

}  // namespace

STDAPI VariantChangeTypeEx(VARIANTARG* pvargDest, const VARIANTARG* pvarSrc, LCID, USHORT wFlags,
                           VARTYPE vt) {
  return VariantChangeType(pvargDest, pvarSrc, wFlags, vt);
}

STDAPI VariantChangeType(VARIANTARG* pvargDest, const VARIANTARG* pvarSrc, USHORT wFlags,
                         VARTYPE vt) {
  if (!pvargDest || !pvarSrc) return E_INVALIDARG;
  if (!ole::IsValidVariantType(pvarSrc->vt)) return DISP_E_BADVARTYPE;
  if ((vt & VT_BYREF) || (vt != VT_EMPTY && vt != VT_NULL && !ole::IsValidVariantType(vt))) {
    return DISP_E_BADVARTYPE;
  }
  // A reference is read through first; the source itself is left as it is.
  VARIANT source;
  VariantInit(&source);
  HRESULT hr = VariantCopyInd(&source, pvarSrc);
  if (FAILED(hr)) return hr;
  VARIANT result;
  VariantInit(&result);
  hr = source.vt == vt ? VariantCopy(&result, &source) : Convert(source, wFlags, vt, result);
  VariantClear(&source);
  if (FAILED(hr)) {
    VariantClear(&result);
    return hr;
  }
  hr = VariantClear(pvargDest);
  if (FAILED(hr)) {
    VariantClear(&result);
    return hr;
  }
  std::memcpy(pvargDest, &result, sizeof result);
  return S_OK;
}
