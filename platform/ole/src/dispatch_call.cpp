// ITypeInfo::Invoke for dual interfaces: the dispatch arguments are coerced to the
// member's parameter types and the vtable slot is called through libffi, which knows the
// host's calling convention (a VARIANT by value, for one, travels in memory).
#include <ffi.h>

#include <cstring>
#include <vector>

#include "oleauto.h"
#include "type_library.h"

namespace ole {
namespace {

ffi_type* variant_elements[] = {&ffi_type_uint16, &ffi_type_uint16, &ffi_type_uint16,
                                &ffi_type_uint16, &ffi_type_uint64, &ffi_type_uint64,
                                nullptr};
ffi_type variant_type = {sizeof(VARIANT), alignof(VARIANT), FFI_TYPE_STRUCT, variant_elements};

ffi_type* FfiType(VARTYPE vt) {
  if (vt & (VT_BYREF | VT_ARRAY)) return &ffi_type_pointer;
  switch (vt) {
    case VT_I1:
      return &ffi_type_sint8;
    case VT_UI1:
      return &ffi_type_uint8;
    case VT_I2:
    case VT_BOOL:
      return &ffi_type_sint16;
    case VT_UI2:
      return &ffi_type_uint16;
    case VT_I4:
    case VT_INT:
    case VT_ERROR:
    case VT_HRESULT:
      return &ffi_type_sint32;
    case VT_UI4:
    case VT_UINT:
      return &ffi_type_uint32;
    case VT_I8:
    case VT_CY:
      return &ffi_type_sint64;
    case VT_UI8:
      return &ffi_type_uint64;
    case VT_R4:
      return &ffi_type_float;
    case VT_R8:
    case VT_DATE:
      return &ffi_type_double;
    case VT_BSTR:
    case VT_DISPATCH:
    case VT_UNKNOWN:
    case VT_PTR:
      return &ffi_type_pointer;
    case VT_VARIANT:
      return &variant_type;
    default:
      return nullptr;
  }
}

// Storage for one argument: a coerced copy (owned) or what the caller passed (borrowed).
struct Arg {
  VARIANT owned;
  VARIANT value;  // passed by value for VARIANT parameters
  void* pointer = nullptr;
  bool own = false;
};

void FillException(HRESULT hr, EXCEPINFO* excep) {
  std::memset(excep, 0, sizeof *excep);
  excep->scode = hr;
  IErrorInfo* info = nullptr;
  if (GetErrorInfo(0, &info) == S_OK && info) {
    info->GetSource(&excep->bstrSource);
    info->GetDescription(&excep->bstrDescription);
    info->GetHelpFile(&excep->bstrHelpFile);
    info->GetHelpContext(&excep->dwHelpContext);
    info->Release();
  }
}

}  // namespace

HRESULT InvokeVtable(void* instance, const MemberView& m, WORD flags, DISPPARAMS* params,
                     VARIANT* result, EXCEPINFO* excep, UINT* arg_err) {
  const auto& defs = m.def->params;
  const bool put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
  // Named arguments: only the value of a property put.
  if (params->cNamedArgs > 1 ||
      (params->cNamedArgs == 1 && (!put || params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT))) {
    return DISP_E_NONAMEDARGS;
  }
  size_t inputs = defs.size();
  const bool has_retval = !defs.empty() && (defs.back().flags & PARAMFLAG_FRETVAL);
  if (has_retval) --inputs;
  if (params->cArgs > inputs) return DISP_E_BADPARAMCOUNT;

  std::vector<Arg> args(defs.size());
  std::vector<ffi_type*> types{&ffi_type_pointer};
  std::vector<void*> values{&instance};
  HRESULT hr = S_OK;
  auto cleanup = [&] {
    for (Arg& a : args) {
      if (a.own) VariantClear(&a.owned);
    }
  };
  // Zeroed, so a callee that fails before writing its result leaves nothing to free.
  VARIANT out;
  std::memset(&out, 0, sizeof out);

  for (size_t i = 0; i < defs.size() && SUCCEEDED(hr); ++i) {
    const ParamDef& p = defs[i];
    Arg& a = args[i];
    VariantInit(&a.owned);
    ffi_type* type = FfiType(p.vt);
    if (!type) {
      hr = DISP_E_BADVARTYPE;
      break;
    }
    types.push_back(type);
    if (has_retval && i == inputs) {
      // [out, retval]: the callee writes into `out` (or into its value field).
      const VARTYPE base = p.vt & ~VT_BYREF;
      a.pointer = base == VT_VARIANT ? static_cast<void*>(&out) : static_cast<void*>(&out.llVal);
      out.vt = base == VT_VARIANT ? static_cast<VARTYPE>(VT_EMPTY) : base;
      values.push_back(&a.pointer);
      break;
    }
    const UINT position = static_cast<UINT>(i);
    if (position >= params->cArgs) {
      if (!(p.flags & PARAMFLAG_FOPT) || p.vt != VT_VARIANT) {
        hr = DISP_E_PARAMNOTOPTIONAL;
        break;
      }
      a.value.vt = VT_ERROR;
      a.value.scode = DISP_E_PARAMNOTFOUND;
      values.push_back(&a.value);
      continue;
    }
    const UINT slot = params->cArgs - 1 - position;  // arguments come in reverse order
    VARIANT* given = &params->rgvarg[slot];
    if (p.vt & VT_BYREF) {
      const VARTYPE base = p.vt & ~VT_BYREF;
      if (given->vt == p.vt) {
        a.pointer = given->byref;
      } else if (base == VT_VARIANT) {
        a.pointer = given;
      } else {
        hr = DISP_E_TYPEMISMATCH;
        if (arg_err) *arg_err = slot;
        break;
      }
      values.push_back(&a.pointer);
    } else if (p.vt == VT_VARIANT) {
      a.value = given->vt == (VT_BYREF | VT_VARIANT) ? *given->pvarVal : *given;
      values.push_back(&a.value);
    } else {
      hr = VariantChangeType(&a.owned, given, 0, p.vt);
      if (FAILED(hr)) {
        if (arg_err) *arg_err = slot;
        break;
      }
      a.own = true;
      values.push_back(&a.owned.llVal);  // every scalar and pointer starts there
    }
  }
  if (FAILED(hr)) {
    cleanup();
    return hr;
  }

  ffi_cif cif;
  if (ffi_prep_cif(&cif, FFI_DEFAULT_ABI, static_cast<unsigned>(types.size()), &ffi_type_sint32,
                   types.data()) != FFI_OK) {
    cleanup();
    return DISP_E_BADCALLEE;
  }
  void** vtable = *static_cast<void***>(instance);
  ffi_arg rc = 0;
  ffi_call(&cif, reinterpret_cast<void (*)()>(vtable[m.slot]), &rc, values.data());
  hr = static_cast<HRESULT>(static_cast<int32_t>(rc));
  cleanup();

  if (FAILED(hr)) {
    // A failing callee owns nothing in the result slot: what it may have left there is
    // neither freed nor passed on.
    if (!excep) return hr;
    FillException(hr, excep);
    return DISP_E_EXCEPTION;
  }
  if (result) {
    VariantClear(result);
    std::memcpy(result, &out, sizeof out);
  } else {
    VariantClear(&out);
  }
  return hr;
}

}  // namespace ole
