// SAFEARRAY copies of arrays built from the input: any element type the runtime keeps, one
// to three dimensions with any lower bounds, strings and variants nested inside variants.
// A copy holds what the original holds, element by element, and owns it separately.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <vector>

#include "fuzz_input.h"
#include "oleauto.h"

namespace {

constexpr VARTYPE kElementTypes[] = {VT_UI1,   VT_I2,       VT_I4,    VT_R8, VT_BOOL,
                                     VT_BSTR,  VT_VARIANT,  VT_ERROR, VT_I8, VT_DECIMAL,
                                     VT_EMPTY, VT_DISPATCH, 0x7FFF};

SAFEARRAY* MakeArray(fuzz::Input& in, int depth);

// A variant element: a number, a string or (not too deep) an array of its own.
void MakeVariant(fuzz::Input& in, VARIANT& v, int depth) {
  VariantInit(&v);
  switch (in.Pick(4)) {
    case 0:
      v.vt = VT_I4;
      v.lVal = in.Number<LONG>();
      break;
    case 1: {
      std::u16string s = in.Text(16);
      v.vt = VT_BSTR;
      v.bstrVal = SysAllocStringLen(s.data(), static_cast<UINT>(s.size()));
      break;
    }
    case 2:
      if (depth < 3) {
        if (SAFEARRAY* inner = MakeArray(in, depth + 1)) {
          VARTYPE vt = VT_EMPTY;
          SafeArrayGetVartype(inner, &vt);
          v.vt = VT_ARRAY | vt;
          v.parray = inner;
        }
      }
      break;
    default:
      break;  // empty
  }
}

SAFEARRAY* MakeArray(fuzz::Input& in, int depth) {
  const VARTYPE vt = kElementTypes[in.Pick(std::size(kElementTypes))];
  const UINT dims = 1 + static_cast<UINT>(in.Pick(3));
  SAFEARRAYBOUND bounds[3];
  ULONG total = 1;
  for (UINT d = 0; d < dims; ++d) {
    bounds[d].cElements = static_cast<ULONG>(in.Pick(4));
    bounds[d].lLbound = static_cast<int8_t>(in.Byte());
    total *= bounds[d].cElements;
  }
  SAFEARRAY* psa = SafeArrayCreate(vt, dims, bounds);
  if (!psa) return nullptr;
  std::vector<LONG> index(dims);
  for (ULONG n = 0; n < total; ++n) {
    ULONG rest = n;
    for (UINT d = 0; d < dims; ++d) {
      index[d] = bounds[d].lLbound + static_cast<LONG>(rest % bounds[d].cElements);
      rest /= bounds[d].cElements;
    }
    if (vt == VT_BSTR) {
      std::u16string s = in.Text(16);
      BSTR b = SysAllocStringLen(s.data(), static_cast<UINT>(s.size()));
      SafeArrayPutElement(psa, index.data(), b);  // copies the string
      SysFreeString(b);
    } else if (vt == VT_VARIANT) {
      VARIANT v;
      MakeVariant(in, v, depth);
      SafeArrayPutElement(psa, index.data(), &v);  // copies the variant
      VariantClear(&v);
    } else if (vt == VT_DISPATCH) {
      SafeArrayPutElement(psa, index.data(), nullptr);  // no object: a pointer is not data
    } else {
      BYTE raw[16] = {};
      for (UINT i = 0; i < SafeArrayGetElemsize(psa) && i < sizeof raw; ++i) raw[i] = in.Byte();
      SafeArrayPutElement(psa, index.data(), raw);
    }
  }
  return psa;
}

bool SameVariant(const VARIANT& a, const VARIANT& b);

bool SameArray(SAFEARRAY* a, SAFEARRAY* b) {
  if (!a || !b) return a == b;
  if (a == b) return false;  // a copy never shares the descriptor
  const UINT dims = SafeArrayGetDim(a);
  VARTYPE va = 0, vb = 0;
  if (dims != SafeArrayGetDim(b) || SafeArrayGetVartype(a, &va) != S_OK ||
      SafeArrayGetVartype(b, &vb) != S_OK || va != vb ||
      SafeArrayGetElemsize(a) != SafeArrayGetElemsize(b)) {
    return false;
  }
  ULONG total = 1;
  for (UINT d = 0; d < dims; ++d) {
    if (a->rgsabound[d].cElements != b->rgsabound[d].cElements ||
        a->rgsabound[d].lLbound != b->rgsabound[d].lLbound) {
      return false;
    }
    total *= a->rgsabound[d].cElements;
  }
  if (total && a->pvData == b->pvData) return false;
  const UINT size = SafeArrayGetElemsize(a);
  for (ULONG n = 0; n < total; ++n) {
    const BYTE* x = static_cast<const BYTE*>(a->pvData) + n * size;
    const BYTE* y = static_cast<const BYTE*>(b->pvData) + n * size;
    if (va == VT_BSTR) {
      BSTR s, t;
      std::memcpy(&s, x, sizeof s);
      std::memcpy(&t, y, sizeof t);
      if (SysStringByteLen(s) != SysStringByteLen(t) || (s && s == t) ||
          (s && std::memcmp(s, t, SysStringByteLen(s)) != 0)) {
        return false;
      }
    } else if (va == VT_VARIANT) {
      if (!SameVariant(*reinterpret_cast<const VARIANT*>(x),
                       *reinterpret_cast<const VARIANT*>(y))) {
        return false;
      }
    } else if (std::memcmp(x, y, size) != 0) {
      return false;
    }
  }
  return true;
}

bool SameVariant(const VARIANT& a, const VARIANT& b) {
  if (a.vt != b.vt) return false;
  if (a.vt & VT_ARRAY) return SameArray(a.parray, b.parray);
  if (a.vt == VT_BSTR) {
    const UINT n = SysStringByteLen(a.bstrVal);
    return n == SysStringByteLen(b.bstrVal) && (!a.bstrVal || a.bstrVal != b.bstrVal) &&
           (n == 0 || std::memcmp(a.bstrVal, b.bstrVal, n) == 0);
  }
  return a.vt != VT_I4 || a.lVal == b.lVal;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in(data, size);
  SAFEARRAY* original = MakeArray(in, 0);
  if (!original) return 0;

  SAFEARRAY* copy = nullptr;
  const HRESULT copied = SafeArrayCopy(original, &copy);
  if (copied == S_OK && !SameArray(original, copy)) std::abort();
  if (copied != S_OK && copy) std::abort();  // a failed copy hands nothing back

  // Copying the data into an array of the same shape, then into one of another shape.
  if (copy) {
    if (SafeArrayCopyData(original, copy) != S_OK || !SameArray(original, copy)) std::abort();
    SAFEARRAYBOUND other{static_cast<ULONG>(in.Pick(4)), 0};
    VARTYPE vt = VT_EMPTY;
    SafeArrayGetVartype(original, &vt);
    if (SAFEARRAY* target = SafeArrayCreate(vt, 1, &other)) {
      SafeArrayCopyData(original, target);
      SafeArrayDestroy(target);
    }
  }

  // The same array inside a variant, copied as a variant, and refused while locked.
  VARIANT v, w;
  VariantInit(&v);
  VariantInit(&w);
  VARTYPE vt = VT_EMPTY;
  SafeArrayGetVartype(original, &vt);
  v.vt = VT_ARRAY | vt;
  v.parray = original;
  if (VariantCopy(&w, &v) == S_OK && !SameVariant(v, w)) std::abort();
  VariantClear(&w);
  if (in.Bool() && SafeArrayLock(original) == S_OK) {
    if (SafeArrayDestroy(original) != DISP_E_ARRAYISLOCKED) std::abort();
    SafeArrayUnlock(original);
  }
  SafeArrayDestroy(copy);
  if (VariantClear(&v) != S_OK) std::abort();  // destroys the original
  return 0;
}
