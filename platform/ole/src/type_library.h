// The type library built from a TypeLibDef, and the calls through a dual interface's
// vtable that ITypeInfo::Invoke makes.
#pragma once

#include <atomic>
#include <deque>
#include <memory>
#include <vector>

#include "ole/type_library.h"

namespace ole {

class TypeLib;

// One member as a vtable or dispatch view presents it.
struct MemberView {
  const MemberDef* def;
  int slot;  // vtable slot of a dual interface's member, -1 for dispatch-only members
  FUNCDESC desc;
  std::vector<ELEMDESC> params;
};

class TypeInfo final : public ITypeInfo {
 public:
  enum Kind { kDispatch, kInterface, kCoclass };
  TypeInfo(TypeLib* lib, Kind kind, const InterfaceDef* iface, const CoclassDef* coclass,
           UINT index);

  void Link();  // fills the reference types once every info of the library exists
  HREFTYPE href = 0;
  HREFTYPE interface_view = 0;  // the vtable view of a dual interface's dispatch view

  STDMETHOD(QueryInterface)(REFIID riid, void** ppv) override;
  STDMETHOD_(ULONG, AddRef)() override;
  STDMETHOD_(ULONG, Release)() override;
  STDMETHOD(GetTypeAttr)(TYPEATTR** ppTypeAttr) override;
  STDMETHOD(GetTypeComp)(ITypeComp** ppTComp) override;
  STDMETHOD(GetFuncDesc)(UINT index, FUNCDESC** ppFuncDesc) override;
  STDMETHOD(GetVarDesc)(UINT index, VARDESC** ppVarDesc) override;
  STDMETHOD(GetNames)(MEMBERID memid, BSTR* rgBstrNames, UINT cMaxNames, UINT* pcNames) override;
  STDMETHOD(GetRefTypeOfImplType)(UINT index, HREFTYPE* pRefType) override;
  STDMETHOD(GetImplTypeFlags)(UINT index, INT* pImplTypeFlags) override;
  STDMETHOD(GetIDsOfNames)(LPOLESTR* rgszNames, UINT cNames, MEMBERID* pMemId) override;
  STDMETHOD(Invoke)
  (PVOID pvInstance, MEMBERID memid, WORD wFlags, DISPPARAMS* pDispParams, VARIANT* pVarResult,
   EXCEPINFO* pExcepInfo, UINT* puArgErr) override;
  STDMETHOD(GetDocumentation)
  (MEMBERID memid, BSTR* pBstrName, BSTR* pBstrDocString, DWORD* pdwHelpContext,
   BSTR* pBstrHelpFile) override;
  STDMETHOD(GetDllEntry)
  (MEMBERID memid, INVOKEKIND invKind, BSTR* pBstrDllName, BSTR* pBstrName,
   WORD* pwOrdinal) override;
  STDMETHOD(GetRefTypeInfo)(HREFTYPE hRefType, ITypeInfo** ppTInfo) override;
  STDMETHOD(AddressOfMember)(MEMBERID memid, INVOKEKIND invKind, PVOID* ppv) override;
  STDMETHOD(CreateInstance)(IUnknown* pUnkOuter, REFIID riid, PVOID* ppvObj) override;
  STDMETHOD(GetMops)(MEMBERID memid, BSTR* pBstrMops) override;
  STDMETHOD(GetContainingTypeLib)(ITypeLib** ppTLib, UINT* pIndex) override;
  STDMETHOD_(void, ReleaseTypeAttr)(TYPEATTR* pTypeAttr) override;
  STDMETHOD_(void, ReleaseFuncDesc)(FUNCDESC* pFuncDesc) override;
  STDMETHOD_(void, ReleaseVarDesc)(VARDESC* pVarDesc) override;

  const std::u16string& name() const;
  const std::u16string& doc() const;
  DWORD help_context() const;
  const GUID& guid() const { return attr_.guid; }
  TYPEKIND typekind() const { return attr_.typekind; }
  const std::vector<MemberView>& members() const { return members_; }
  // A member of this view, found by dispid and invoke kind; null when there is none.
  const MemberView* Find(MEMBERID memid, INVOKEKIND kind) const;

 private:
  TYPEDESC Describe(VARTYPE vt);

  TypeLib* lib_;
  Kind kind_;
  const InterfaceDef* iface_;
  const CoclassDef* coclass_;
  UINT index_;
  TYPEATTR attr_{};
  std::vector<MemberView> members_;
  std::deque<TYPEDESC> pointed_;  // targets of VT_PTR and VT_SAFEARRAY descriptions
  std::vector<HREFTYPE> impl_refs_;
};

class TypeLib final : public ITypeLib {
 public:
  explicit TypeLib(const TypeLibDef& def);
  HRESULT Build();

  STDMETHOD(QueryInterface)(REFIID riid, void** ppv) override;
  STDMETHOD_(ULONG, AddRef)() override;
  STDMETHOD_(ULONG, Release)() override;
  STDMETHOD_(UINT, GetTypeInfoCount)() override;
  STDMETHOD(GetTypeInfo)(UINT index, ITypeInfo** ppTInfo) override;
  STDMETHOD(GetTypeInfoType)(UINT index, TYPEKIND* pTKind) override;
  STDMETHOD(GetTypeInfoOfGuid)(REFGUID guid, ITypeInfo** ppTinfo) override;
  STDMETHOD(GetLibAttr)(TLIBATTR** ppTLibAttr) override;
  STDMETHOD(GetTypeComp)(ITypeComp** ppTComp) override;
  STDMETHOD(GetDocumentation)
  (INT index, BSTR* pBstrName, BSTR* pBstrDocString, DWORD* pdwHelpContext,
   BSTR* pBstrHelpFile) override;
  STDMETHOD(IsName)(LPOLESTR szNameBuf, ULONG lHashVal, BOOL* pfName) override;
  STDMETHOD(FindName)
  (LPOLESTR szNameBuf, ULONG lHashVal, ITypeInfo** ppTInfo, MEMBERID* rgMemId,
   USHORT* pcFound) override;
  STDMETHOD_(void, ReleaseTLibAttr)(TLIBATTR* pTLibAttr) override;

  const TypeLibDef& def() const { return def_; }
  TypeInfo* ByRef(HREFTYPE href) const;
  TypeInfo* ByGuid(const GUID& guid) const;  // the visible info of an interface or class

 private:
  TypeLibDef def_;
  TLIBATTR attr_{};
  std::atomic<ULONG> refs_{1};
  std::vector<std::unique_ptr<TypeInfo>> infos_;  // visible ones first, then vtable views
  UINT visible_ = 0;
};

// Calls the vtable member `m` of `instance` with the dispatch arguments (ITypeInfo::Invoke).
HRESULT InvokeVtable(void* instance, const MemberView& m, WORD flags, DISPPARAMS* params,
                     VARIANT* result, EXCEPINFO* excep, UINT* arg_err);

BSTR AllocBstr(const std::u16string& s);

}  // namespace ole
