// SAFEARRAY with Windows' descriptor layout. Every descriptor is allocated with 16 bytes in
// front of it: an interface array's element interface id there, any other array's VARTYPE
// in its last four bytes, where SafeArrayGetVartype reads it.
#include <cstdlib>
#include <cstring>
#include <limits>

#include "oleauto.h"
#include "variant_types.h"

namespace {

constexpr size_t kPrefix = 16;
constexpr USHORT kNotOwned = FADF_AUTO | FADF_STATIC | FADF_EMBEDDED;

size_t DescriptorSize(UINT dims) {
  return sizeof(SAFEARRAY) + (dims - 1) * sizeof(SAFEARRAYBOUND);
}

ULONG ElementSize(VARTYPE vt) {
  return static_cast<ULONG>(ole::ValueSize(vt));
}

USHORT FeaturesOf(VARTYPE vt) {
  switch (vt) {
    case VT_BSTR:
      return FADF_BSTR;
    case VT_UNKNOWN:
      return FADF_UNKNOWN | FADF_HAVEIID;
    case VT_DISPATCH:
      return FADF_DISPATCH | FADF_HAVEIID;
    case VT_VARIANT:
      return FADF_VARIANT;
    default:
      return 0;
  }
}

char* PrefixOf(SAFEARRAY* psa) {
  return reinterpret_cast<char*>(psa) - kPrefix;
}

void SetVartype(SAFEARRAY* psa, VARTYPE vt) {
  if (vt == VT_UNKNOWN) {
    std::memcpy(PrefixOf(psa), &IID_IUnknown, sizeof(IID));
  } else if (vt == VT_DISPATCH) {
    std::memcpy(PrefixOf(psa), &IID_IDispatch, sizeof(IID));
  } else {
    DWORD v = vt;
    std::memcpy(PrefixOf(psa) + kPrefix - sizeof(DWORD), &v, sizeof v);
  }
}

// Element count, or false when the product overflows.
bool CellCount(const SAFEARRAY* psa, size_t& cells) {
  cells = 1;
  for (USHORT i = 0; i < psa->cDims; ++i) {
    size_t n = psa->rgsabound[i].cElements;
    if (n != 0 && cells > std::numeric_limits<size_t>::max() / n) return false;
    cells *= n;
  }
  return true;
}

bool DataBytes(const SAFEARRAY* psa, size_t& bytes) {
  size_t cells = 0;
  if (!CellCount(psa, cells)) return false;
  if (psa->cbElements != 0 && cells > std::numeric_limits<size_t>::max() / psa->cbElements) {
    return false;
  }
  bytes = cells * psa->cbElements;
  return true;
}

// Releases what the elements own (strings, interfaces, variants), leaving zeros.
void ClearCells(SAFEARRAY* psa, size_t first, size_t count) {
  char* base = static_cast<char*>(psa->pvData);
  if (!base) return;
  for (size_t i = first; i < first + count; ++i) {
    void* cell = base + i * psa->cbElements;
    if (psa->fFeatures & FADF_BSTR) {
      SysFreeString(*static_cast<BSTR*>(cell));
    } else if (psa->fFeatures & (FADF_UNKNOWN | FADF_DISPATCH)) {
      if (auto* unk = *static_cast<IUnknown**>(cell)) unk->Release();
    } else if (psa->fFeatures & FADF_VARIANT) {
      VariantClear(static_cast<VARIANT*>(cell));
    }
  }
  std::memset(base + first * psa->cbElements, 0, count * psa->cbElements);
}

// Copies the cells of `src` into the zeroed cells of `dst` (same shape).
HRESULT CopyCells(SAFEARRAY* src, SAFEARRAY* dst, size_t cells) {
  char* from = static_cast<char*>(src->pvData);
  char* to = static_cast<char*>(dst->pvData);
  if (cells == 0) return S_OK;
  if (src->fFeatures & FADF_BSTR) {
    for (size_t i = 0; i < cells; ++i) {
      BSTR s = reinterpret_cast<BSTR*>(from)[i];
      if (!s) continue;
      BSTR copy = SysAllocStringByteLen(reinterpret_cast<LPCSTR>(s), SysStringByteLen(s));
      if (!copy) return E_OUTOFMEMORY;
      reinterpret_cast<BSTR*>(to)[i] = copy;
    }
  } else if (src->fFeatures & (FADF_UNKNOWN | FADF_DISPATCH)) {
    for (size_t i = 0; i < cells; ++i) {
      IUnknown* unk = reinterpret_cast<IUnknown**>(from)[i];
      if (unk) unk->AddRef();
      reinterpret_cast<IUnknown**>(to)[i] = unk;
    }
  } else if (src->fFeatures & FADF_VARIANT) {
    for (size_t i = 0; i < cells; ++i) {
      HRESULT hr =
          VariantCopy(reinterpret_cast<VARIANT*>(to) + i, reinterpret_cast<VARIANT*>(from) + i);
      if (FAILED(hr)) return hr;
    }
  } else {
    std::memcpy(to, from, cells * src->cbElements);
  }
  return S_OK;
}

// Offset of a cell; rgIndices[0] pairs with the first dimension, stored last.
bool CellOffset(const SAFEARRAY* psa, const LONG* rgIndices, size_t& offset) {
  size_t cell = 1;
  offset = 0;
  for (USHORT d = 0; d < psa->cDims; ++d) {
    const SAFEARRAYBOUND& b = psa->rgsabound[psa->cDims - 1 - d];
    long long rel = static_cast<long long>(rgIndices[d]) - b.lLbound;
    if (rel < 0 || rel >= static_cast<long long>(b.cElements)) return false;
    offset += static_cast<size_t>(rel) * cell;
    cell *= b.cElements;
  }
  return true;
}

}  // namespace

STDAPI SafeArrayAllocDescriptor(UINT cDims, SAFEARRAY** ppsaOut) {
  if (!ppsaOut) return E_POINTER;
  *ppsaOut = nullptr;
  if (cDims == 0 || cDims > 0xFFFF) return E_INVALIDARG;
  auto* block = static_cast<char*>(std::calloc(1, kPrefix + DescriptorSize(cDims)));
  if (!block) return E_OUTOFMEMORY;
  auto* psa = reinterpret_cast<SAFEARRAY*>(block + kPrefix);
  psa->cDims = static_cast<USHORT>(cDims);
  *ppsaOut = psa;
  return S_OK;
}

STDAPI SafeArrayAllocDescriptorEx(VARTYPE vt, UINT cDims, SAFEARRAY** ppsaOut) {
  ULONG size = ElementSize(vt);
  if (size == 0) return E_INVALIDARG;
  HRESULT hr = SafeArrayAllocDescriptor(cDims, ppsaOut);
  if (FAILED(hr)) return hr;
  SAFEARRAY* psa = *ppsaOut;
  psa->cbElements = size;
  // An interface array keeps its interface id where the type would go, as on Windows: the
  // 16 bytes in front of the descriptor hold one or the other.
  const USHORT features = FeaturesOf(vt);
  psa->fFeatures =
      static_cast<USHORT>(features & FADF_HAVEIID ? features : features | FADF_HAVEVARTYPE);
  SetVartype(psa, vt);
  return S_OK;
}

STDAPI SafeArrayAllocData(SAFEARRAY* psa) {
  if (!psa) return E_INVALIDARG;
  size_t bytes = 0;
  if (!DataBytes(psa, bytes)) return E_OUTOFMEMORY;
  void* data = std::calloc(1, bytes == 0 ? 1 : bytes);
  if (!data) return E_OUTOFMEMORY;
  psa->pvData = data;
  return S_OK;
}

SAFEARRAY* STDAPICALLTYPE SafeArrayCreate(VARTYPE vt, UINT cDims, SAFEARRAYBOUND* rgsabound) {
  if (!rgsabound) return nullptr;
  SAFEARRAY* psa = nullptr;
  if (FAILED(SafeArrayAllocDescriptorEx(vt, cDims, &psa))) return nullptr;
  for (UINT i = 0; i < cDims; ++i) psa->rgsabound[i] = rgsabound[cDims - 1 - i];
  if (FAILED(SafeArrayAllocData(psa))) {
    SafeArrayDestroyDescriptor(psa);
    return nullptr;
  }
  return psa;
}

SAFEARRAY* STDAPICALLTYPE SafeArrayCreateVector(VARTYPE vt, LONG lLbound, ULONG cElements) {
  SAFEARRAYBOUND bound{cElements, lLbound};
  return SafeArrayCreate(vt, 1, &bound);
}

STDAPI SafeArrayDestroyData(SAFEARRAY* psa) {
  if (!psa) return E_INVALIDARG;
  if (psa->cLocks > 0) return DISP_E_ARRAYISLOCKED;
  size_t cells = 0;
  if (psa->pvData && CellCount(psa, cells)) ClearCells(psa, 0, cells);
  if (!(psa->fFeatures & kNotOwned)) {
    std::free(psa->pvData);
    psa->pvData = nullptr;
  }
  return S_OK;
}

STDAPI SafeArrayDestroyDescriptor(SAFEARRAY* psa) {
  if (!psa) return E_INVALIDARG;
  if (psa->cLocks > 0) return DISP_E_ARRAYISLOCKED;
  if (!(psa->fFeatures & kNotOwned)) std::free(PrefixOf(psa));
  return S_OK;
}

STDAPI SafeArrayDestroy(SAFEARRAY* psa) {
  if (!psa) return S_OK;
  if (psa->cLocks > 0) return DISP_E_ARRAYISLOCKED;
  HRESULT hr = SafeArrayDestroyData(psa);
  if (FAILED(hr)) return hr;
  return SafeArrayDestroyDescriptor(psa);
}

STDAPI SafeArrayRedim(SAFEARRAY* psa, SAFEARRAYBOUND* psaboundNew) {
  if (!psa || !psaboundNew) return E_INVALIDARG;
  if (psa->cLocks > 0 || (psa->fFeatures & FADF_FIXEDSIZE)) return DISP_E_ARRAYISLOCKED;
  size_t old_cells = 0;
  if (!CellCount(psa, old_cells)) return E_UNEXPECTED;
  const SAFEARRAYBOUND old_last = psa->rgsabound[0];
  psa->rgsabound[0] = *psaboundNew;
  size_t new_cells = 0, new_bytes = 0;
  if (!CellCount(psa, new_cells) || !DataBytes(psa, new_bytes)) {
    psa->rgsabound[0] = old_last;
    return E_OUTOFMEMORY;
  }
  if (new_cells < old_cells) ClearCells(psa, new_cells, old_cells - new_cells);
  void* data = std::realloc(psa->pvData, new_bytes == 0 ? 1 : new_bytes);
  if (!data) {
    psa->rgsabound[0] = old_last;
    return E_OUTOFMEMORY;
  }
  psa->pvData = data;
  if (new_cells > old_cells) {
    std::memset(static_cast<char*>(data) + old_cells * psa->cbElements, 0,
                (new_cells - old_cells) * psa->cbElements);
  }
  return S_OK;
}

UINT STDAPICALLTYPE SafeArrayGetDim(SAFEARRAY* psa) {
  return psa ? psa->cDims : 0;
}

UINT STDAPICALLTYPE SafeArrayGetElemsize(SAFEARRAY* psa) {
  return psa ? psa->cbElements : 0;
}

STDAPI SafeArrayGetLBound(SAFEARRAY* psa, UINT nDim, LONG* plLbound) {
  if (!psa || !plLbound) return E_INVALIDARG;
  if (nDim == 0 || nDim > psa->cDims) return DISP_E_BADINDEX;
  *plLbound = psa->rgsabound[psa->cDims - nDim].lLbound;
  return S_OK;
}

STDAPI SafeArrayGetUBound(SAFEARRAY* psa, UINT nDim, LONG* plUbound) {
  if (!psa || !plUbound) return E_INVALIDARG;
  if (nDim == 0 || nDim > psa->cDims) return DISP_E_BADINDEX;
  const SAFEARRAYBOUND& b = psa->rgsabound[psa->cDims - nDim];
  *plUbound = static_cast<LONG>(static_cast<long long>(b.lLbound) + b.cElements - 1);
  return S_OK;
}

STDAPI SafeArrayLock(SAFEARRAY* psa) {
  if (!psa) return E_INVALIDARG;
  if (psa->cLocks >= 0xFFFF) return E_UNEXPECTED;
  ++psa->cLocks;
  return S_OK;
}

STDAPI SafeArrayUnlock(SAFEARRAY* psa) {
  if (!psa) return E_INVALIDARG;
  if (psa->cLocks == 0) return E_UNEXPECTED;
  --psa->cLocks;
  return S_OK;
}

STDAPI SafeArrayAccessData(SAFEARRAY* psa, void** ppvData) {
  if (!psa || !ppvData) return E_INVALIDARG;
  HRESULT hr = SafeArrayLock(psa);
  if (FAILED(hr)) return hr;
  *ppvData = psa->pvData;
  return S_OK;
}

STDAPI SafeArrayUnaccessData(SAFEARRAY* psa) {
  return SafeArrayUnlock(psa);
}

STDAPI SafeArrayPtrOfIndex(SAFEARRAY* psa, LONG* rgIndices, void** ppvData) {
  if (!psa || !rgIndices || !ppvData) return E_INVALIDARG;
  size_t offset = 0;
  if (!CellOffset(psa, rgIndices, offset)) return DISP_E_BADINDEX;
  *ppvData = static_cast<char*>(psa->pvData) + offset * psa->cbElements;
  return S_OK;
}

STDAPI SafeArrayGetElement(SAFEARRAY* psa, LONG* rgIndices, void* pv) {
  if (!psa || !rgIndices || !pv) return E_INVALIDARG;
  void* cell = nullptr;
  HRESULT hr = SafeArrayPtrOfIndex(psa, rgIndices, &cell);
  if (FAILED(hr)) return hr;
  if (psa->fFeatures & FADF_BSTR) {
    BSTR s = *static_cast<BSTR*>(cell);
    BSTR copy = nullptr;
    if (s) {
      copy = SysAllocStringByteLen(reinterpret_cast<LPCSTR>(s), SysStringByteLen(s));
      if (!copy) return E_OUTOFMEMORY;
    }
    *static_cast<BSTR*>(pv) = copy;
  } else if (psa->fFeatures & (FADF_UNKNOWN | FADF_DISPATCH)) {
    IUnknown* unk = *static_cast<IUnknown**>(cell);
    if (unk) unk->AddRef();
    *static_cast<IUnknown**>(pv) = unk;
  } else if (psa->fFeatures & FADF_VARIANT) {
    // The destination is taken as uninitialized, as Windows does.
    VariantInit(static_cast<VARIANT*>(pv));
    return VariantCopy(static_cast<VARIANT*>(pv), static_cast<VARIANT*>(cell));
  } else {
    std::memcpy(pv, cell, psa->cbElements);
  }
  return S_OK;
}

STDAPI SafeArrayPutElement(SAFEARRAY* psa, LONG* rgIndices, void* pv) {
  if (!psa || !rgIndices) return E_INVALIDARG;
  void* cell = nullptr;
  HRESULT hr = SafeArrayPtrOfIndex(psa, rgIndices, &cell);
  if (FAILED(hr)) return hr;
  if (psa->fFeatures & FADF_BSTR) {
    // The string itself is passed, not a pointer to it.
    auto s = static_cast<BSTR>(pv);
    BSTR copy = nullptr;
    if (s) {
      copy = SysAllocStringByteLen(reinterpret_cast<LPCSTR>(s), SysStringByteLen(s));
      if (!copy) return E_OUTOFMEMORY;
    }
    SysFreeString(*static_cast<BSTR*>(cell));
    *static_cast<BSTR*>(cell) = copy;
  } else if (psa->fFeatures & (FADF_UNKNOWN | FADF_DISPATCH)) {
    auto* unk = static_cast<IUnknown*>(pv);
    if (unk) unk->AddRef();
    if (auto* old = *static_cast<IUnknown**>(cell)) old->Release();
    *static_cast<IUnknown**>(cell) = unk;
  } else if (psa->fFeatures & FADF_VARIANT) {
    if (!pv) return E_INVALIDARG;
    return VariantCopy(static_cast<VARIANT*>(cell), static_cast<VARIANT*>(pv));
  } else {
    if (!pv) return E_INVALIDARG;
    std::memcpy(cell, pv, psa->cbElements);
  }
  return S_OK;
}

STDAPI SafeArrayGetVartype(SAFEARRAY* psa, VARTYPE* pvt) {
  if (!psa || !pvt) return E_INVALIDARG;
  if (psa->fFeatures & FADF_HAVEIID) {
    *pvt = psa->fFeatures & FADF_DISPATCH ? VT_DISPATCH : VT_UNKNOWN;
  } else if (psa->fFeatures & FADF_HAVEVARTYPE) {
    DWORD v;
    std::memcpy(&v, PrefixOf(psa) + kPrefix - sizeof(DWORD), sizeof v);
    *pvt = static_cast<VARTYPE>(v);
  } else if (psa->fFeatures & FADF_BSTR) {
    *pvt = VT_BSTR;
  } else if (psa->fFeatures & FADF_UNKNOWN) {
    *pvt = VT_UNKNOWN;
  } else if (psa->fFeatures & FADF_DISPATCH) {
    *pvt = VT_DISPATCH;
  } else if (psa->fFeatures & FADF_VARIANT) {
    *pvt = VT_VARIANT;
  } else if (psa->fFeatures & FADF_RECORD) {
    *pvt = VT_RECORD;
  } else {
    return E_INVALIDARG;
  }
  return S_OK;
}

STDAPI SafeArrayCopyData(SAFEARRAY* psaSource, SAFEARRAY* psaTarget) {
  if (!psaSource || !psaTarget) return E_INVALIDARG;
  if (psaSource->cDims != psaTarget->cDims || psaSource->cbElements != psaTarget->cbElements) {
    return E_INVALIDARG;
  }
  for (USHORT i = 0; i < psaSource->cDims; ++i) {
    if (psaSource->rgsabound[i].cElements != psaTarget->rgsabound[i].cElements) {
      return E_INVALIDARG;
    }
  }
  size_t cells = 0;
  if (!CellCount(psaSource, cells)) return E_UNEXPECTED;
  ClearCells(psaTarget, 0, cells);
  return CopyCells(psaSource, psaTarget, cells);
}

STDAPI SafeArrayCopy(SAFEARRAY* psa, SAFEARRAY** ppsaOut) {
  if (!ppsaOut) return E_INVALIDARG;
  *ppsaOut = nullptr;
  if (!psa) return S_OK;
  SAFEARRAY* copy = nullptr;
  HRESULT hr = SafeArrayAllocDescriptor(psa->cDims, &copy);
  if (FAILED(hr)) return hr;
  std::memcpy(PrefixOf(copy), PrefixOf(psa), kPrefix);
  copy->fFeatures = static_cast<USHORT>(psa->fFeatures & ~kNotOwned);
  copy->cbElements = psa->cbElements;
  std::memcpy(copy->rgsabound, psa->rgsabound, psa->cDims * sizeof(SAFEARRAYBOUND));
  hr = SafeArrayAllocData(copy);
  size_t cells = 0;
  if (SUCCEEDED(hr) && !CellCount(psa, cells)) hr = E_UNEXPECTED;
  if (SUCCEEDED(hr) && psa->pvData) hr = CopyCells(psa, copy, cells);
  if (FAILED(hr)) {
    SafeArrayDestroy(copy);
    return hr;
  }
  *ppsaOut = copy;
  return S_OK;
}

STDAPI VectorFromBstr(BSTR bstr, SAFEARRAY** ppsa) {
  if (!ppsa) return E_INVALIDARG;
  UINT bytes = SysStringByteLen(bstr);
  SAFEARRAY* psa = SafeArrayCreateVector(VT_UI1, 0, bytes);
  *ppsa = psa;
  if (!psa) return E_OUTOFMEMORY;
  if (bytes) std::memcpy(psa->pvData, bstr, bytes);
  return S_OK;
}

STDAPI BstrFromVector(SAFEARRAY* psa, BSTR* pbstr) {
  if (!pbstr) return E_INVALIDARG;
  *pbstr = nullptr;
  VARTYPE vt = VT_EMPTY;
  if (!psa || psa->cDims != 1 || FAILED(SafeArrayGetVartype(psa, &vt)) || vt != VT_UI1) {
    return E_INVALIDARG;
  }
  *pbstr = SysAllocStringByteLen(static_cast<LPCSTR>(psa->pvData), psa->rgsabound[0].cElements);
  return *pbstr ? S_OK : E_OUTOFMEMORY;
}
