// Type information compiled into a module: a server describes its library, interfaces and
// classes with these records and gets an ITypeLib whose ITypeInfo objects answer the
// dispatch table (names, dispids, parameter types), class information and Invoke.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "oaidl.h"

#define OLE_CXX_API __attribute__((visibility("default")))

namespace ole {

struct ParamDef {
  ParamDef() = default;
  ParamDef(std::u16string n, VARTYPE t, USHORT f = PARAMFLAG_FIN)
      : name(std::move(n)), vt(t), flags(f) {}
  std::u16string name;
  VARTYPE vt = VT_EMPTY;         // VT_BYREF | t for a pointer to t
  USHORT flags = PARAMFLAG_FIN;  // PARAMFLAG_FOUT | PARAMFLAG_FRETVAL for a getter's value
};

struct MemberDef {
  MemberDef() = default;
  MemberDef(DISPID id, INVOKEKIND k, std::u16string n, std::vector<ParamDef> p = {},
             DWORD help = 0, std::u16string d = {}, WORD f = 0)
      : dispid(id),
        kind(k),
        name(std::move(n)),
        params(std::move(p)),
        help_context(help),
        doc(std::move(d)),
        flags(f) {}
  DISPID dispid = 0;
  INVOKEKIND kind = INVOKE_FUNC;
  std::u16string name;
  std::vector<ParamDef> params;  // declaration order; a getter's last one is its retval
  DWORD help_context = 0;
  std::u16string doc;
  WORD flags = 0;  // FUNCFLAG_*
};

struct InterfaceDef {
  IID iid{};
  std::u16string name;
  // A dual interface's members occupy the vtable slots after IDispatch's, one member per
  // slot in the order given; a pure dispatch interface (events) has no vtable members.
  bool dual = true;
  std::vector<MemberDef> members;
  DWORD help_context = 0;
  std::u16string doc;
  WORD flags = 0;  // TYPEFLAG_* added to the ones implied by `dual`
};

struct ImplementedInterface {
  IID iid{};
  INT flags = 0;  // IMPLTYPEFLAG_*
};

struct CoclassDef {
  CLSID clsid{};
  std::u16string name;
  std::vector<ImplementedInterface> interfaces;  // each must be described in the library
  DWORD help_context = 0;
  std::u16string doc;
  WORD flags = TYPEFLAG_FCANCREATE;
};

struct TypeLibDef {
  GUID libid{};
  WORD major = 1;
  WORD minor = 0;
  LCID lcid = 0;
  std::u16string name;
  std::u16string doc;
  std::u16string help_file;
  DWORD help_context = 0;
  WORD flags = 0;  // LIBFLAG_*
  std::vector<InterfaceDef> interfaces;
  std::vector<CoclassDef> coclasses;
};

// Builds the library; its type information objects live as long as the library or any of
// them is referenced. E_INVALIDARG when a class names an interface the library lacks.
OLE_CXX_API HRESULT CreateTypeLib(const TypeLibDef& def, ITypeLib** out);

}  // namespace ole
