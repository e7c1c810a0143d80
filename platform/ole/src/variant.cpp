// VARIANT lifetime: init, clear and the two copies.
#include <cstring>

#include "oleauto.h"
#include "variant_types.h"

namespace ole {

bool IsScalarType(VARTYPE vt) {
  switch (vt) {
    case VT_EMPTY:
    case VT_NULL:
    case VT_I2:
    case VT_I4:
    case VT_R4:
    case VT_R8:
    case VT_CY:
    case VT_DATE:
    case VT_ERROR:
    case VT_BOOL:
    case VT_DECIMAL:
    case VT_I1:
    case VT_UI1:
    case VT_UI2:
    case VT_UI4:
    case VT_I8:
    case VT_UI8:
    case VT_INT:
    case VT_UINT:
      return true;
    default:
      return false;
  }
}

bool IsValidVariantType(VARTYPE vt) {
  if (vt & VT_VECTOR) return false;
  VARTYPE base = vt & VT_TYPEMASK;
  if ((vt & VT_RESERVED) || (vt & ~(VT_TYPEMASK | VT_ARRAY | VT_BYREF))) return false;
  bool element = IsScalarType(base) || base == VT_BSTR || base == VT_DISPATCH ||
                 base == VT_UNKNOWN || base == VT_VARIANT;
  if (vt & (VT_ARRAY | VT_BYREF)) {
    if (base == VT_EMPTY || base == VT_NULL) return false;
    return element;
  }
  return element && base != VT_VARIANT;
}

size_t ValueSize(VARTYPE vt) {
  switch (vt) {
    case VT_I1:
    case VT_UI1:
      return 1;
    case VT_I2:
    case VT_UI2:
    case VT_BOOL:
      return 2;
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_R4:
    case VT_ERROR:
      return 4;
    case VT_I8:
    case VT_UI8:
    case VT_R8:
    case VT_CY:
    case VT_DATE:
    case VT_INT_PTR:
    case VT_UINT_PTR:
      return 8;
    case VT_BSTR:
    case VT_UNKNOWN:
    case VT_DISPATCH:
      return sizeof(void*);
    case VT_DECIMAL:
      return sizeof(DECIMAL);
    case VT_VARIANT:
      return sizeof(VARIANT);
    default:
      return 0;  // not a value type (VT_EMPTY, VT_NULL, VT_RECORD ...)
  }
}

}  // namespace ole

void STDAPICALLTYPE VariantInit(VARIANTARG* pvarg) {
  if (!pvarg) return;
  pvarg->vt = VT_EMPTY;
  pvarg->wReserved1 = pvarg->wReserved2 = pvarg->wReserved3 = 0;
}

STDAPI VariantClear(VARIANTARG* pvarg) {
  if (!pvarg) return E_INVALIDARG;
  const VARTYPE vt = pvarg->vt;
  if (!ole::IsValidVariantType(vt)) return DISP_E_BADVARTYPE;
  if (!(vt & VT_BYREF)) {
    if (vt & VT_ARRAY) {
      HRESULT hr = SafeArrayDestroy(pvarg->parray);
      if (FAILED(hr)) return hr;
    } else if (vt == VT_BSTR) {
      SysFreeString(pvarg->bstrVal);
    } else if (vt == VT_DISPATCH || vt == VT_UNKNOWN) {
      if (pvarg->punkVal) pvarg->punkVal->Release();
    }
  }
  pvarg->vt = VT_EMPTY;
  return S_OK;
}

STDAPI VariantCopy(VARIANTARG* pvargDest, const VARIANTARG* pvargSrc) {
  if (!pvargDest || !pvargSrc) return E_INVALIDARG;
  if (pvargDest == pvargSrc) return S_OK;
  const VARTYPE vt = pvargSrc->vt;
  if (!ole::IsValidVariantType(vt)) return DISP_E_BADVARTYPE;
  HRESULT hr = VariantClear(pvargDest);
  if (FAILED(hr)) return hr;
  VARIANT copy;
  std::memcpy(&copy, pvargSrc, sizeof copy);
  if (!(vt & VT_BYREF)) {
    if (vt & VT_ARRAY) {
      hr = SafeArrayCopy(pvargSrc->parray, &copy.parray);
      if (FAILED(hr)) return hr;
    } else if (vt == VT_BSTR && pvargSrc->bstrVal) {
      copy.bstrVal = SysAllocStringByteLen(reinterpret_cast<LPCSTR>(pvargSrc->bstrVal),
                                           SysStringByteLen(pvargSrc->bstrVal));
      if (!copy.bstrVal) return E_OUTOFMEMORY;
    } else if ((vt == VT_DISPATCH || vt == VT_UNKNOWN) && copy.punkVal) {
      copy.punkVal->AddRef();
    }
  }
  std::memcpy(pvargDest, &copy, sizeof copy);
  return S_OK;
}

STDAPI VariantCopyInd(VARIANT* pvarDest, const VARIANTARG* pvargSrc) {
  if (!pvarDest || !pvargSrc) return E_INVALIDARG;
  const VARTYPE vt = pvargSrc->vt;
  if (!(vt & VT_BYREF)) return VariantCopy(pvarDest, pvargSrc);
  if (!ole::IsValidVariantType(vt)) return DISP_E_BADVARTYPE;
  if (!pvargSrc->byref) return E_INVALIDARG;
  // Build the value the reference points at, then deep-copy it.
  VARIANT view;
  VariantInit(&view);
  const VARTYPE base = vt & ~VT_BYREF;
  if (base == VT_VARIANT) {
    const VARIANT* target = pvargSrc->pvarVal;
    if (target->vt & VT_BYREF) return E_INVALIDARG;
    std::memcpy(&view, target, sizeof view);
  } else {
    view.vt = base;
    std::memcpy(&view.llVal, pvargSrc->byref,
                (base & VT_ARRAY) ? sizeof(void*) : ole::ValueSize(base));
    if (base == VT_DECIMAL) {
      std::memcpy(&view.decVal, pvargSrc->byref, sizeof(DECIMAL));
      view.vt = VT_DECIMAL;
    }
  }
  VARIANT result;
  VariantInit(&result);
  HRESULT hr = VariantCopy(&result, &view);
  if (FAILED(hr)) return hr;
  if (pvarDest != pvargSrc) {
    hr = VariantClear(pvarDest);
    if (FAILED(hr)) {
      VariantClear(&result);
      return hr;
    }
  }
  std::memcpy(pvarDest, &result, sizeof result);
  return S_OK;
}
