// Type information built from a module's own description instead of a type library file.
#include "type_library.h"

#include <new>

#include "objbase.h"
#include "oleauto.h"
#include "text_fold.h"

namespace ole {
namespace {

constexpr int kFirstDualSlot = 7;  // after IUnknown's three and IDispatch's four

bool IsRetval(const ParamDef& p) {
  return (p.flags & PARAMFLAG_FRETVAL) != 0;
}

void Set(BSTR* out, const std::u16string& s) {
  if (out) *out = AllocBstr(s);
}

}  // namespace

BSTR AllocBstr(const std::u16string& s) {
  return SysAllocStringLen(s.data(), static_cast<UINT>(s.size()));
}

// ---- TypeInfo -------------------------------------------------------------------------

TypeInfo::TypeInfo(TypeLib* lib, Kind kind, const InterfaceDef* iface, const CoclassDef* coclass,
                   UINT index)
    : lib_(lib), kind_(kind), iface_(iface), coclass_(coclass), index_(index) {
  const TypeLibDef& ls = lib->def();
  attr_.lcid = ls.lcid;
  attr_.memidConstructor = MEMBERID_NIL;
  attr_.memidDestructor = MEMBERID_NIL;
  attr_.cbSizeInstance = sizeof(void*);
  attr_.cbAlignment = sizeof(void*);
  attr_.wMajorVerNum = ls.major;
  attr_.wMinorVerNum = ls.minor;
  attr_.tdescAlias.vt = VT_EMPTY;
  if (kind == kCoclass) {
    attr_.guid = coclass->clsid;
    attr_.typekind = TKIND_COCLASS;
    attr_.wTypeFlags = coclass->flags;
    attr_.cImplTypes = static_cast<WORD>(coclass->interfaces.size());
    return;
  }
  attr_.guid = iface->iid;
  const bool vtable = kind == kInterface;
  attr_.typekind = vtable ? TKIND_INTERFACE : TKIND_DISPATCH;
  attr_.wTypeFlags =
      static_cast<WORD>(iface->flags | TYPEFLAG_FDISPATCHABLE |
                        (iface->dual ? TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION : 0));
  const WORD slots = static_cast<WORD>(kFirstDualSlot + (vtable ? iface->members.size() : 0));
  attr_.cbSizeVft = static_cast<WORD>(slots * sizeof(void*));
  members_.reserve(iface->members.size());
  for (size_t i = 0; i < iface->members.size(); ++i) {
    const MemberDef& ms = iface->members[i];
    MemberView mv{};
    mv.def = &ms;
    mv.slot = iface->dual ? kFirstDualSlot + static_cast<int>(i) : -1;
    VARTYPE result = VT_VOID;
    for (const ParamDef& p : ms.params) {
      if (!vtable && IsRetval(p)) {
        result = p.vt & ~VT_BYREF;
        continue;
      }
      ELEMDESC e{};
      e.tdesc = Describe(p.vt);
      e.paramdesc.wParamFlags = p.flags;
      mv.params.push_back(e);
    }
    FUNCDESC& d = mv.desc;
    d.memid = ms.dispid;
    d.funckind = vtable ? FUNC_PUREVIRTUAL : FUNC_DISPATCH;
    d.invkind = ms.kind;
    d.callconv = CC_STDCALL;
    d.cParams = static_cast<SHORT>(mv.params.size());
    for (const ParamDef& p : ms.params) {
      if (p.flags & PARAMFLAG_FOPT) ++d.cParamsOpt;
    }
    d.oVft = static_cast<SHORT>(mv.slot < 0 ? 0 : mv.slot * static_cast<int>(sizeof(void*)));
    d.elemdescFunc.tdesc = Describe(vtable ? static_cast<VARTYPE>(VT_HRESULT) : result);
    d.wFuncFlags = ms.flags;
    members_.push_back(std::move(mv));
  }
  for (MemberView& mv : members_)
    mv.desc.lprgelemdescParam = mv.params.empty() ? nullptr : mv.params.data();
  attr_.cFuncs = static_cast<WORD>(members_.size());
}

TYPEDESC TypeInfo::Describe(VARTYPE vt) {
  TYPEDESC t{};
  if (vt & VT_BYREF) {
    pointed_.push_back(Describe(vt & ~VT_BYREF));
    t.vt = VT_PTR;
    t.lptdesc = &pointed_.back();
  } else if (vt & VT_ARRAY) {
    pointed_.push_back(Describe(vt & ~VT_ARRAY));
    t.vt = VT_SAFEARRAY;
    t.lptdesc = &pointed_.back();
  } else {
    t.vt = vt;
  }
  return t;
}

void TypeInfo::Link() {
  if (kind_ != kCoclass) return;
  for (const ImplementedInterface& ii : coclass_->interfaces) {
    TypeInfo* target = lib_->ByGuid(ii.iid);
    impl_refs_.push_back(target ? target->href : 0);
  }
}

const std::u16string& TypeInfo::name() const {
  return kind_ == kCoclass ? coclass_->name : iface_->name;
}
const std::u16string& TypeInfo::doc() const {
  return kind_ == kCoclass ? coclass_->doc : iface_->doc;
}
DWORD TypeInfo::help_context() const {
  return kind_ == kCoclass ? coclass_->help_context : iface_->help_context;
}

const MemberView* TypeInfo::Find(MEMBERID memid, INVOKEKIND kind) const {
  for (const MemberView& m : members_) {
    if (m.def->dispid == memid && m.def->kind == kind) return &m;
  }
  return nullptr;
}

STDMETHODIMP TypeInfo::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_ITypeInfo) {
    *ppv = static_cast<ITypeInfo*>(this);
    AddRef();
    return S_OK;
  }
  *ppv = nullptr;
  return E_NOINTERFACE;
}
// Every info shares its library's count: they live and die together.
STDMETHODIMP_(ULONG) TypeInfo::AddRef() {
  return lib_->AddRef();
}
STDMETHODIMP_(ULONG) TypeInfo::Release() {
  return lib_->Release();
}

STDMETHODIMP TypeInfo::GetTypeAttr(TYPEATTR** ppTypeAttr) {
  if (!ppTypeAttr) return E_INVALIDARG;
  *ppTypeAttr = &attr_;  // owned by the info; ReleaseTypeAttr has nothing to free
  return S_OK;
}
STDMETHODIMP TypeInfo::GetTypeComp(ITypeComp** ppTComp) {
  if (ppTComp) *ppTComp = nullptr;
  return E_NOTIMPL;
}
STDMETHODIMP TypeInfo::GetFuncDesc(UINT index, FUNCDESC** ppFuncDesc) {
  if (!ppFuncDesc) return E_INVALIDARG;
  if (index >= members_.size()) return TYPE_E_ELEMENTNOTFOUND;
  *ppFuncDesc = &members_[index].desc;
  return S_OK;
}
STDMETHODIMP TypeInfo::GetVarDesc(UINT, VARDESC** ppVarDesc) {
  if (!ppVarDesc) return E_INVALIDARG;
  *ppVarDesc = nullptr;
  return TYPE_E_ELEMENTNOTFOUND;
}

STDMETHODIMP TypeInfo::GetNames(MEMBERID memid, BSTR* rgBstrNames, UINT cMaxNames, UINT* pcNames) {
  if (!rgBstrNames || !pcNames) return E_INVALIDARG;
  *pcNames = 0;
  for (const MemberView& m : members_) {
    if (m.def->dispid != memid) continue;
    UINT n = 0;
    if (n < cMaxNames) rgBstrNames[n++] = AllocBstr(m.def->name);
    for (const ParamDef& p : m.def->params) {
      if (n >= cMaxNames) break;
      if (kind_ == kDispatch && IsRetval(p)) continue;
      rgBstrNames[n++] = AllocBstr(p.name);
    }
    *pcNames = n;
    return S_OK;
  }
  return TYPE_E_ELEMENTNOTFOUND;
}

STDMETHODIMP TypeInfo::GetRefTypeOfImplType(UINT index, HREFTYPE* pRefType) {
  if (!pRefType) return E_INVALIDARG;
  // -1 on a dual interface's dispatch view gives its vtable view.
  if (index == static_cast<UINT>(-1) && interface_view) {
    *pRefType = interface_view;
    return S_OK;
  }
  if (kind_ != kCoclass || index >= impl_refs_.size() || impl_refs_[index] == 0) {
    return TYPE_E_ELEMENTNOTFOUND;
  }
  *pRefType = impl_refs_[index];
  return S_OK;
}

STDMETHODIMP TypeInfo::GetImplTypeFlags(UINT index, INT* pImplTypeFlags) {
  if (!pImplTypeFlags) return E_INVALIDARG;
  if (kind_ != kCoclass || index >= coclass_->interfaces.size()) return TYPE_E_ELEMENTNOTFOUND;
  *pImplTypeFlags = coclass_->interfaces[index].flags;
  return S_OK;
}

STDMETHODIMP TypeInfo::GetIDsOfNames(LPOLESTR* rgszNames, UINT cNames, MEMBERID* pMemId) {
  if (!rgszNames || !pMemId || cNames == 0) return E_INVALIDARG;
  for (UINT i = 0; i < cNames; ++i) pMemId[i] = MEMBERID_NIL;
  const MemberView* found = nullptr;
  for (const MemberView& m : members_) {
    if (rgszNames[0] && EqualNoCase(m.def->name, rgszNames[0])) {
      found = &m;
      break;
    }
  }
  if (!found) return DISP_E_UNKNOWNNAME;
  pMemId[0] = found->def->dispid;
  HRESULT hr = S_OK;
  for (UINT i = 1; i < cNames; ++i) {
    // Parameter names map to their position, as Windows numbers them.
    const auto& params = found->def->params;
    for (size_t k = 0; k < params.size(); ++k) {
      if (rgszNames[i] && EqualNoCase(params[k].name, rgszNames[i])) {
        pMemId[i] = static_cast<MEMBERID>(k);
      }
    }
    if (pMemId[i] == MEMBERID_NIL) hr = DISP_E_UNKNOWNNAME;
  }
  return hr;
}

STDMETHODIMP TypeInfo::Invoke(PVOID pvInstance, MEMBERID memid, WORD wFlags,
                              DISPPARAMS* pDispParams, VARIANT* pVarResult, EXCEPINFO* pExcepInfo,
                              UINT* puArgErr) {
  if (!pvInstance || !pDispParams) return E_INVALIDARG;
  if (kind_ == kCoclass || !iface_->dual) return TYPE_E_WRONGTYPEKIND;
  TypeInfo* vtable = kind_ == kInterface ? this : lib_->ByRef(interface_view);
  const MemberView* m = nullptr;
  if (wFlags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
    m = vtable->Find(
        memid, (wFlags & DISPATCH_PROPERTYPUTREF) ? INVOKE_PROPERTYPUTREF : INVOKE_PROPERTYPUT);
  } else {
    if (wFlags & DISPATCH_METHOD) m = vtable->Find(memid, INVOKE_FUNC);
    if (!m && (wFlags & DISPATCH_PROPERTYGET)) m = vtable->Find(memid, INVOKE_PROPERTYGET);
  }
  if (!m) return DISP_E_MEMBERNOTFOUND;
  return InvokeVtable(pvInstance, *m, wFlags, pDispParams, pVarResult, pExcepInfo, puArgErr);
}

STDMETHODIMP TypeInfo::GetDocumentation(MEMBERID memid, BSTR* pBstrName, BSTR* pBstrDocString,
                                        DWORD* pdwHelpContext, BSTR* pBstrHelpFile) {
  const std::u16string* n = nullptr;
  const std::u16string* d = nullptr;
  DWORD ctx = 0;
  if (memid == MEMBERID_NIL) {
    n = &name();
    d = &doc();
    ctx = help_context();
  } else {
    for (const MemberView& m : members_) {
      if (m.def->dispid == memid) {
        n = &m.def->name;
        d = &m.def->doc;
        ctx = m.def->help_context;
        break;
      }
    }
    if (!n) return TYPE_E_ELEMENTNOTFOUND;
  }
  Set(pBstrName, *n);
  Set(pBstrDocString, *d);
  if (pdwHelpContext) *pdwHelpContext = ctx;
  Set(pBstrHelpFile, lib_->def().help_file);
  return S_OK;
}

STDMETHODIMP TypeInfo::GetDllEntry(MEMBERID, INVOKEKIND, BSTR*, BSTR*, WORD*) {
  return TYPE_E_WRONGTYPEKIND;  // only modules have entry points
}
STDMETHODIMP TypeInfo::GetRefTypeInfo(HREFTYPE hRefType, ITypeInfo** ppTInfo) {
  if (!ppTInfo) return E_INVALIDARG;
  *ppTInfo = lib_->ByRef(hRefType);
  if (!*ppTInfo) return TYPE_E_ELEMENTNOTFOUND;
  (*ppTInfo)->AddRef();
  return S_OK;
}
STDMETHODIMP TypeInfo::AddressOfMember(MEMBERID, INVOKEKIND, PVOID* ppv) {
  if (ppv) *ppv = nullptr;
  return TYPE_E_WRONGTYPEKIND;
}
STDMETHODIMP TypeInfo::CreateInstance(IUnknown* pUnkOuter, REFIID riid, PVOID* ppvObj) {
  if (!ppvObj) return E_INVALIDARG;
  *ppvObj = nullptr;
  if (kind_ != kCoclass) return TYPE_E_WRONGTYPEKIND;
  return CoCreateInstance(coclass_->clsid, pUnkOuter, CLSCTX_INPROC_SERVER, riid, ppvObj);
}
STDMETHODIMP TypeInfo::GetMops(MEMBERID, BSTR* pBstrMops) {
  if (!pBstrMops) return E_INVALIDARG;
  *pBstrMops = nullptr;
  return S_OK;
}
STDMETHODIMP TypeInfo::GetContainingTypeLib(ITypeLib** ppTLib, UINT* pIndex) {
  if (ppTLib) {
    *ppTLib = lib_;
    lib_->AddRef();
  }
  if (pIndex) *pIndex = index_;
  return S_OK;
}
STDMETHODIMP_(void) TypeInfo::ReleaseTypeAttr(TYPEATTR*) {}
STDMETHODIMP_(void) TypeInfo::ReleaseFuncDesc(FUNCDESC*) {}
STDMETHODIMP_(void) TypeInfo::ReleaseVarDesc(VARDESC*) {}

// ---- TypeLib --------------------------------------------------------------------------

TypeLib::TypeLib(const TypeLibDef& def) : def_(def) {
  attr_.guid = def_.libid;
  attr_.lcid = def_.lcid;
  attr_.syskind = SYS_WIN64;
  attr_.wMajorVerNum = def_.major;
  attr_.wMinorVerNum = def_.minor;
  attr_.wLibFlags = def_.flags;
}

HRESULT TypeLib::Build() {
  UINT index = 0;
  for (const InterfaceDef& i : def_.interfaces) {
    infos_.push_back(std::make_unique<TypeInfo>(this, TypeInfo::kDispatch, &i, nullptr, index++));
  }
  for (const CoclassDef& c : def_.coclasses) {
    infos_.push_back(std::make_unique<TypeInfo>(this, TypeInfo::kCoclass, nullptr, &c, index++));
  }
  visible_ = index;
  for (size_t k = 0; k < def_.interfaces.size(); ++k) {
    if (!def_.interfaces[k].dual) continue;
    infos_.push_back(std::make_unique<TypeInfo>(this, TypeInfo::kInterface, &def_.interfaces[k],
                                                nullptr, static_cast<UINT>(k)));
    infos_[k]->interface_view = static_cast<HREFTYPE>(infos_.size());
  }
  for (size_t k = 0; k < infos_.size(); ++k) infos_[k]->href = static_cast<HREFTYPE>(k + 1);
  for (auto& info : infos_) info->Link();
  for (const CoclassDef& c : def_.coclasses) {
    for (const ImplementedInterface& ii : c.interfaces) {
      const TypeInfo* target = ByGuid(ii.iid);
      if (!target || target->typekind() == TKIND_COCLASS) return E_INVALIDARG;
    }
  }
  return S_OK;
}

TypeInfo* TypeLib::ByRef(HREFTYPE href) const {
  if (href == 0 || href > infos_.size()) return nullptr;
  return infos_[href - 1].get();
}

TypeInfo* TypeLib::ByGuid(const GUID& guid) const {
  for (UINT i = 0; i < visible_; ++i) {
    if (infos_[i]->guid() == guid) return infos_[i].get();
  }
  return nullptr;
}

STDMETHODIMP TypeLib::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_ITypeLib) {
    *ppv = static_cast<ITypeLib*>(this);
    AddRef();
    return S_OK;
  }
  *ppv = nullptr;
  return E_NOINTERFACE;
}
STDMETHODIMP_(ULONG) TypeLib::AddRef() {
  return ++refs_;
}
STDMETHODIMP_(ULONG) TypeLib::Release() {
  ULONG n = --refs_;
  if (n == 0) delete this;
  return n;
}
STDMETHODIMP_(UINT) TypeLib::GetTypeInfoCount() {
  return visible_;
}
STDMETHODIMP TypeLib::GetTypeInfo(UINT index, ITypeInfo** ppTInfo) {
  if (!ppTInfo) return E_INVALIDARG;
  *ppTInfo = nullptr;
  if (index >= visible_) return TYPE_E_ELEMENTNOTFOUND;
  *ppTInfo = infos_[index].get();
  AddRef();
  return S_OK;
}
STDMETHODIMP TypeLib::GetTypeInfoType(UINT index, TYPEKIND* pTKind) {
  if (!pTKind) return E_INVALIDARG;
  if (index >= visible_) return TYPE_E_ELEMENTNOTFOUND;
  *pTKind = infos_[index]->typekind();
  return S_OK;
}
STDMETHODIMP TypeLib::GetTypeInfoOfGuid(REFGUID guid, ITypeInfo** ppTinfo) {
  if (!ppTinfo) return E_INVALIDARG;
  *ppTinfo = ByGuid(guid);
  if (!*ppTinfo) return TYPE_E_ELEMENTNOTFOUND;
  AddRef();
  return S_OK;
}
STDMETHODIMP TypeLib::GetLibAttr(TLIBATTR** ppTLibAttr) {
  if (!ppTLibAttr) return E_INVALIDARG;
  *ppTLibAttr = &attr_;
  return S_OK;
}
STDMETHODIMP TypeLib::GetTypeComp(ITypeComp** ppTComp) {
  if (ppTComp) *ppTComp = nullptr;
  return E_NOTIMPL;
}
STDMETHODIMP TypeLib::GetDocumentation(INT index, BSTR* pBstrName, BSTR* pBstrDocString,
                                       DWORD* pdwHelpContext, BSTR* pBstrHelpFile) {
  if (index == -1) {
    Set(pBstrName, def_.name);
    Set(pBstrDocString, def_.doc);
    if (pdwHelpContext) *pdwHelpContext = def_.help_context;
    Set(pBstrHelpFile, def_.help_file);
    return S_OK;
  }
  if (index < 0 || static_cast<UINT>(index) >= visible_) return TYPE_E_ELEMENTNOTFOUND;
  return infos_[static_cast<size_t>(index)]->GetDocumentation(
      MEMBERID_NIL, pBstrName, pBstrDocString, pdwHelpContext, pBstrHelpFile);
}
STDMETHODIMP TypeLib::IsName(LPOLESTR szNameBuf, ULONG, BOOL* pfName) {
  if (!szNameBuf || !pfName) return E_INVALIDARG;
  *pfName = FALSE;
  auto match = [&](const std::u16string& candidate) {
    if (!EqualNoCase(candidate, szNameBuf)) return false;
    candidate.copy(szNameBuf, candidate.size());  // the library's spelling, as Windows returns
    *pfName = TRUE;
    return true;
  };
  for (UINT i = 0; i < visible_; ++i) {
    if (match(infos_[i]->name())) return S_OK;
    for (const MemberView& m : infos_[i]->members()) {
      if (match(m.def->name)) return S_OK;
    }
  }
  return S_OK;
}
STDMETHODIMP TypeLib::FindName(LPOLESTR szNameBuf, ULONG, ITypeInfo** ppTInfo, MEMBERID* rgMemId,
                               USHORT* pcFound) {
  if (!szNameBuf || !ppTInfo || !rgMemId || !pcFound) return E_INVALIDARG;
  USHORT found = 0;
  for (UINT i = 0; i < visible_ && found < *pcFound; ++i) {
    MEMBERID id = MEMBERID_NIL;
    bool hit = EqualNoCase(infos_[i]->name(), szNameBuf);
    for (const MemberView& m : infos_[i]->members()) {
      if (!hit && EqualNoCase(m.def->name, szNameBuf)) {
        hit = true;
        id = m.def->dispid;
      }
    }
    if (!hit) continue;
    ppTInfo[found] = infos_[i].get();
    AddRef();
    rgMemId[found++] = id;
  }
  *pcFound = found;
  return S_OK;
}
STDMETHODIMP_(void) TypeLib::ReleaseTLibAttr(TLIBATTR*) {}

HRESULT CreateTypeLib(const TypeLibDef& def, ITypeLib** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  auto* lib = new (std::nothrow) TypeLib(def);
  if (!lib) return E_OUTOFMEMORY;
  HRESULT hr = lib->Build();
  if (FAILED(hr)) {
    lib->Release();
    return hr;
  }
  *out = lib;
  return S_OK;
}

}  // namespace ole

STDAPI DispGetIDsOfNames(ITypeInfo* ptinfo, OLECHAR** rgszNames, UINT cNames, DISPID* rgdispid) {
  if (!ptinfo) return E_INVALIDARG;
  return ptinfo->GetIDsOfNames(rgszNames, cNames, rgdispid);
}

STDAPI DispInvoke(void* _this, ITypeInfo* ptinfo, DISPID dispidMember, WORD wFlags,
                  DISPPARAMS* pparams, VARIANT* pvarResult, EXCEPINFO* pexcepinfo, UINT* puArgErr) {
  if (!ptinfo) return E_INVALIDARG;
  return ptinfo->Invoke(_this, dispidMember, wFlags, pparams, pvarResult, pexcepinfo, puArgErr);
}
