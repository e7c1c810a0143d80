// Type information built from a description: what it reports, and calls made through it
// into a dual interface's vtable with the arguments a script host passes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "ole/com_ptr.h"
#include "ole/type_library.h"
#include "ole2.h"
#include "support.h"

namespace {

using ole::ComPtr;
using oletest::Text;

constexpr IID kIidProbe = {0x6A000001, 0x1111, 0x2222, {1, 2, 3, 4, 5, 6, 7, 8}};
constexpr IID kIidProbeEvents = {0x6A000002, 0x1111, 0x2222, {1, 2, 3, 4, 5, 6, 7, 8}};
constexpr CLSID kClsidProbe = {0x6A000003, 0x1111, 0x2222, {1, 2, 3, 4, 5, 6, 7, 8}};
constexpr GUID kLibidProbe = {0x6A000004, 0x1111, 0x2222, {1, 2, 3, 4, 5, 6, 7, 8}};

struct IProbe : IDispatch {
  STDMETHOD(Mix)(SHORT a, BSTR b, VARIANT_BOOL c, double d, VARIANT v, LONG* result) PURE;
  STDMETHOD(get_Text)(BSTR* pVal) PURE;
  STDMETHOD(put_Text)(BSTR newVal) PURE;
  STDMETHOD(Twice)(LONG* value) PURE;
  STDMETHOD(Opt)(VARIANT maybe) PURE;
  STDMETHOD(get_Blob)(VARIANT* pVal) PURE;

 protected:
  ~IProbe() = default;
};

ole::TypeLibDef Definition() {
  ole::TypeLibDef lib;
  lib.libid = kLibidProbe;
  lib.major = 1;
  lib.minor = 2;
  lib.lcid = 0x409;
  lib.name = u"PROBELib";
  lib.help_file = u"probe.chm";
  lib.flags = LIBFLAG_FCONTROL;
  ole::InterfaceDef probe;
  probe.iid = kIidProbe;
  probe.name = u"IProbe";
  probe.doc = u"The probe";
  const USHORT out = PARAMFLAG_FOUT | PARAMFLAG_FRETVAL;
  probe.members = {
      {1,
       INVOKE_FUNC,
       u"Mix",
       {{u"a", VT_I2},
        {u"b", VT_BSTR},
        {u"c", VT_BOOL},
        {u"d", VT_R8},
        {u"v", VT_VARIANT},
        {u"result", VT_BYREF | VT_I4, out}},
       501,
       u"Mixes"},
      {2, INVOKE_PROPERTYGET, u"Text", {{u"pVal", VT_BYREF | VT_BSTR, out}}, 502},
      {2, INVOKE_PROPERTYPUT, u"Text", {{u"newVal", VT_BSTR}}, 502},
      {3, INVOKE_FUNC, u"Twice", {{u"value", VT_BYREF | VT_I4, PARAMFLAG_FIN | PARAMFLAG_FOUT}}},
      {4, INVOKE_FUNC, u"Opt", {{u"maybe", VT_VARIANT, PARAMFLAG_FIN | PARAMFLAG_FOPT}}},
      {5, INVOKE_PROPERTYGET, u"Blob", {{u"pVal", VT_BYREF | VT_VARIANT, out}}},
  };
  ole::InterfaceDef events;
  events.iid = kIidProbeEvents;
  events.name = u"_IProbeEvents";
  events.dual = false;
  events.members = {{1, INVOKE_FUNC, u"Ping", {}}};
  ole::CoclassDef coclass;
  coclass.clsid = kClsidProbe;
  coclass.name = u"Probe";
  coclass.interfaces = {{kIidProbe, IMPLTYPEFLAG_FDEFAULT},
                        {kIidProbeEvents, IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE}};
  lib.interfaces = {probe, events};
  lib.coclasses = {coclass};
  return lib;
}

// Records what each member received.
class Probe final : public IProbe {
 public:
  ~Probe() {
    SysFreeString(text);
    SysFreeString(b);
  }
  STDMETHODIMP QueryInterface(REFIID, void**) override { return E_NOTIMPL; }
  STDMETHODIMP_(ULONG) AddRef() override { return 1; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }
  STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                      UINT*) override {
    return E_NOTIMPL;
  }
  STDMETHODIMP Mix(SHORT a_, BSTR b_, VARIANT_BOOL c_, double d_, VARIANT v_,
                   LONG* result) override {
    a = a_;
    SysReAllocStringLen(&b, b_, SysStringLen(b_));
    c = c_;
    d = d_;
    v_type = v_.vt;
    v_array = v_.parray;
    *result = a_ + static_cast<LONG>(d_);
    return S_OK;
  }
  STDMETHODIMP get_Text(BSTR* pVal) override {
    if (refuse != S_OK) return refuse;  // leaves *pVal as it found it
    *pVal = SysAllocStringLen(text, SysStringLen(text));
    return S_OK;
  }
  STDMETHODIMP put_Text(BSTR newVal) override {
    SysReAllocStringLen(&text, newVal, SysStringLen(newVal));
    return S_OK;
  }
  STDMETHODIMP Twice(LONG* value) override {
    *value *= 2;
    return S_OK;
  }
  STDMETHODIMP Opt(VARIANT maybe) override {
    opt_type = maybe.vt;
    opt_code = maybe.scode;
    return S_OK;
  }

  STDMETHODIMP get_Blob(VARIANT* pVal) override {
    if (refuse != S_OK) return refuse;
    pVal->vt = VT_ARRAY | VT_UI1;
    pVal->parray = SafeArrayCreateVector(VT_UI1, 0, 2);
    static_cast<BYTE*>(pVal->parray->pvData)[1] = 0xAB;
    return S_OK;
  }

  SHORT a = 0;
  BSTR b = nullptr;
  VARIANT_BOOL c = 0;
  double d = 0;
  VARTYPE v_type = 0;
  SAFEARRAY* v_array = nullptr;
  BSTR text = nullptr;
  VARTYPE opt_type = 0;
  SCODE opt_code = 0;
  HRESULT refuse = S_OK;  // what the getters answer, when not S_OK
};

// Fills the stack beneath the caller with a pattern, so that a value read before it was ever
// written is a wild pointer rather than whatever an earlier call left there.
[[gnu::noinline]] void DirtyStack() {
  unsigned char pad[32768];
  std::memset(pad, 0xA5, sizeof pad);
  asm volatile("" : : "r"(pad) : "memory");
}

class TypeInfoTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(ole::CreateTypeLib(Definition(), lib_.put()), S_OK);
    ASSERT_EQ(lib_->GetTypeInfoOfGuid(kIidProbe, info_.put()), S_OK);
  }
  HRESULT Call(DISPID id, WORD flags, std::vector<VARIANT> args_in_order, VARIANT* result = nullptr,
               UINT* arg_err = nullptr, bool named_put = false, EXCEPINFO* excep = nullptr) {
    std::vector<VARIANT> reversed(args_in_order.rbegin(), args_in_order.rend());
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS params{reversed.data(), named_put ? &put : nullptr,
                      static_cast<UINT>(reversed.size()), named_put ? 1u : 0u};
    return DispInvoke(static_cast<IProbe*>(&probe_), info_.get(), id, flags, &params, result, excep,
                      arg_err);
  }
  static VARIANT I4(LONG v) {
    VARIANT x;
    x.vt = VT_I4;
    x.lVal = v;
    return x;
  }
  static VARIANT Str(const char16_t* s) {
    VARIANT x;
    x.vt = VT_BSTR;
    x.bstrVal = SysAllocString(s);
    return x;
  }

  ComPtr<ITypeLib> lib_;
  ComPtr<ITypeInfo> info_;
  Probe probe_;
};

TEST_F(TypeInfoTest, DescribesDispatchAndVtableViews) {
  TYPEATTR* attr = nullptr;
  ASSERT_EQ(info_->GetTypeAttr(&attr), S_OK);
  EXPECT_EQ(attr->typekind, TKIND_DISPATCH);
  EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FDUAL);
  EXPECT_EQ(attr->cFuncs, 6);
  EXPECT_EQ(attr->wMajorVerNum, 1);
  EXPECT_EQ(attr->wMinorVerNum, 2);
  info_->ReleaseTypeAttr(attr);

  FUNCDESC* fd = nullptr;
  ASSERT_EQ(info_->GetFuncDesc(0, &fd), S_OK);
  EXPECT_EQ(fd->memid, 1);
  EXPECT_EQ(fd->funckind, FUNC_DISPATCH);
  EXPECT_EQ(fd->cParams, 5) << "the retval becomes the result";
  EXPECT_EQ(fd->elemdescFunc.tdesc.vt, VT_I4);
  EXPECT_EQ(fd->lprgelemdescParam[4].tdesc.vt, VT_VARIANT);
  info_->ReleaseFuncDesc(fd);

  HREFTYPE href = 0;
  ASSERT_EQ(info_->GetRefTypeOfImplType(static_cast<UINT>(-1), &href), S_OK);
  ComPtr<ITypeInfo> vtable;
  ASSERT_EQ(info_->GetRefTypeInfo(href, vtable.put()), S_OK);
  vtable->GetTypeAttr(&attr);
  EXPECT_EQ(attr->typekind, TKIND_INTERFACE);
  EXPECT_EQ(attr->cbSizeVft, 13 * sizeof(void*));
  vtable->GetFuncDesc(0, &fd);
  EXPECT_EQ(fd->cParams, 6);
  EXPECT_EQ(fd->oVft, 7 * static_cast<SHORT>(sizeof(void*)));
  EXPECT_EQ(fd->elemdescFunc.tdesc.vt, VT_HRESULT);
  EXPECT_EQ(fd->lprgelemdescParam[5].tdesc.vt, VT_PTR);
  EXPECT_EQ(fd->lprgelemdescParam[5].tdesc.lptdesc->vt, VT_I4);
  EXPECT_EQ(fd->lprgelemdescParam[5].paramdesc.wParamFlags, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL);

  LPOLESTR names[] = {const_cast<LPOLESTR>(u"MIX"), const_cast<LPOLESTR>(u"B")};
  MEMBERID ids[2];
  ASSERT_EQ(info_->GetIDsOfNames(names, 2, ids), S_OK);
  EXPECT_EQ(ids[0], 1);
  EXPECT_EQ(ids[1], 1) << "the position of parameter b";
  names[0] = const_cast<LPOLESTR>(u"Nothing");
  EXPECT_EQ(info_->GetIDsOfNames(names, 1, ids), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(ids[0], MEMBERID_NIL);

  BSTR got[4];
  UINT count = 0;
  ASSERT_EQ(info_->GetNames(2, got, 4, &count), S_OK);
  ASSERT_EQ(count, 1u) << "a getter's retval has no name in the dispatch view";
  EXPECT_EQ(Text(got[0]), u"Text");
  SysFreeString(got[0]);

  BSTR name = nullptr, doc = nullptr, file = nullptr;
  DWORD context = 0;
  ASSERT_EQ(info_->GetDocumentation(1, &name, &doc, &context, &file), S_OK);
  EXPECT_EQ(Text(name), u"Mix");
  EXPECT_EQ(Text(doc), u"Mixes");
  EXPECT_EQ(context, 501u);
  EXPECT_EQ(Text(file), u"probe.chm");
  SysFreeString(name);
  SysFreeString(doc);
  SysFreeString(file);
}

TEST_F(TypeInfoTest, ClassAndLibrary) {
  ComPtr<ITypeInfo> coclass;
  ASSERT_EQ(lib_->GetTypeInfoOfGuid(kClsidProbe, coclass.put()), S_OK);
  INT flags = 0;
  ASSERT_EQ(coclass->GetImplTypeFlags(1, &flags), S_OK);
  EXPECT_EQ(flags, IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE);
  HREFTYPE href = 0;
  ASSERT_EQ(coclass->GetRefTypeOfImplType(1, &href), S_OK);
  ComPtr<ITypeInfo> source;
  ASSERT_EQ(coclass->GetRefTypeInfo(href, source.put()), S_OK);
  TYPEATTR* attr = nullptr;
  source->GetTypeAttr(&attr);
  EXPECT_TRUE(attr->guid == kIidProbeEvents);
  EXPECT_EQ(attr->typekind, TKIND_DISPATCH);
  EXPECT_FALSE(attr->wTypeFlags & TYPEFLAG_FDUAL);

  EXPECT_EQ(lib_->GetTypeInfoCount(), 3u);
  TLIBATTR* la = nullptr;
  ASSERT_EQ(lib_->GetLibAttr(&la), S_OK);
  EXPECT_TRUE(la->guid == kLibidProbe);
  EXPECT_EQ(la->lcid, 0x409u);
  EXPECT_EQ(la->syskind, SYS_WIN64);
  lib_->ReleaseTLibAttr(la);
  ComPtr<ITypeLib> containing;
  UINT index = 99;
  ASSERT_EQ(coclass->GetContainingTypeLib(containing.put(), &index), S_OK);
  EXPECT_EQ(containing.get(), lib_.get());
  EXPECT_EQ(index, 2u);

  OLECHAR buf[] = u"twice";
  BOOL found = FALSE;
  ASSERT_EQ(lib_->IsName(buf, 0, &found), S_OK);
  EXPECT_TRUE(found);
  EXPECT_EQ(std::u16string(buf), u"Twice") << "the library's spelling";

  ole::TypeLibDef broken = Definition();
  broken.coclasses[0].interfaces.push_back({kClsidProbe, 0});
  ComPtr<ITypeLib> none;
  EXPECT_EQ(ole::CreateTypeLib(broken, none.put()), E_INVALIDARG);
}

TEST_F(TypeInfoTest, InvokeCoercesArgumentsIntoTheVtableCall) {
  VARIANT bytes;
  bytes.vt = VT_ARRAY | VT_UI1;
  bytes.parray = SafeArrayCreateVector(VT_UI1, 0, 3);
  VARIANT s7 = Str(u"7"), yes = Str(u"True");
  VARIANT three;
  three.vt = VT_I2;
  three.iVal = 3;
  VARIANT result;
  VariantInit(&result);
  ASSERT_EQ(Call(1, DISPATCH_METHOD, {s7, I4(12), yes, three, bytes}, &result), S_OK);
  EXPECT_EQ(probe_.a, 7);
  EXPECT_EQ(Text(probe_.b), u"12");
  EXPECT_EQ(probe_.c, VARIANT_TRUE);
  EXPECT_EQ(probe_.d, 3.0);
  EXPECT_EQ(probe_.v_type, VT_ARRAY | VT_UI1);
  EXPECT_EQ(probe_.v_array, bytes.parray) << "a VARIANT parameter gets the caller's value";
  EXPECT_EQ(result.vt, VT_I4);
  EXPECT_EQ(result.lVal, 10);
  VariantClear(&s7);
  VariantClear(&yes);

  UINT arg_err = 99;
  VARIANT big = I4(70000);
  EXPECT_EQ(Call(1, DISPATCH_METHOD, {big, I4(1), I4(0), I4(0), bytes}, &result, &arg_err),
            DISP_E_OVERFLOW);
  EXPECT_EQ(arg_err, 4u) << "index into rgvarg, which runs backwards";
  EXPECT_EQ(Call(1, DISPATCH_METHOD, {I4(1), I4(1), I4(0), I4(0), bytes, I4(0)}, &result),
            DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(Call(1, DISPATCH_METHOD, {I4(1)}, &result), DISP_E_PARAMNOTOPTIONAL);
  VariantClear(&bytes);

  ASSERT_EQ(Call(4, DISPATCH_METHOD, {}), S_OK);
  EXPECT_EQ(probe_.opt_type, VT_ERROR);
  EXPECT_EQ(probe_.opt_code, DISP_E_PARAMNOTFOUND);
  EXPECT_EQ(Call(99, DISPATCH_METHOD, {}), DISP_E_MEMBERNOTFOUND);
}

TEST_F(TypeInfoTest, PropertiesAndReferences) {
  VARIANT text = Str(u"hello");
  ASSERT_EQ(Call(2, DISPATCH_PROPERTYPUT, {text}, nullptr, nullptr, true), S_OK);
  VariantClear(&text);
  EXPECT_EQ(Text(probe_.text), u"hello");
  VARIANT result;
  VariantInit(&result);
  ASSERT_EQ(Call(2, DISPATCH_PROPERTYGET, {}, &result), S_OK);
  EXPECT_EQ(result.vt, VT_BSTR);
  EXPECT_EQ(Text(result.bstrVal), u"hello");
  VariantClear(&result);
  ASSERT_EQ(Call(2, DISPATCH_PROPERTYGET, {}), S_OK) << "a result nobody asked for is freed";
  ASSERT_EQ(Call(5, DISPATCH_PROPERTYGET, {}, &result), S_OK);
  ASSERT_EQ(result.vt, VT_ARRAY | VT_UI1) << "a VARIANT result is the callee's own";
  EXPECT_EQ(result.parray->rgsabound[0].cElements, 2u);
  EXPECT_EQ(static_cast<BYTE*>(result.parray->pvData)[1], 0xAB);
  VariantClear(&result);
  ASSERT_EQ(Call(5, DISPATCH_PROPERTYGET, {}), S_OK);

  LONG n = 21;
  VARIANT ref;
  ref.vt = VT_BYREF | VT_I4;
  ref.plVal = &n;
  ASSERT_EQ(Call(3, DISPATCH_METHOD, {ref}), S_OK);
  EXPECT_EQ(n, 42);
  UINT arg_err = 99;
  EXPECT_EQ(Call(3, DISPATCH_METHOD, {I4(21)}, nullptr, &arg_err), DISP_E_TYPEMISMATCH)
      << "a by-reference parameter needs a reference";
  EXPECT_EQ(arg_err, 0u);

  VARIANT value = I4(1);
  DISPID named = 0;
  DISPPARAMS params{&value, &named, 1, 1};
  EXPECT_EQ(DispInvoke(static_cast<IProbe*>(&probe_), info_.get(), 3, DISPATCH_METHOD, &params,
                       nullptr, nullptr, nullptr),
            DISP_E_NONAMEDARGS);
}

TEST_F(TypeInfoTest, RefusedGetterLeavesNothingToFree) {
  const VARIANT untouched = I4(-1);
  const struct {
    DISPID id;
    HRESULT refusal;
    bool with_excep;
  } cases[] = {
      {2, E_ACCESSDENIED, false},
      {2, E_ACCESSDENIED, true},
      {2, E_POINTER, true},
      {5, E_FAIL, false},
      {5, CTL_E_ILLEGALFUNCTIONCALL, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "member " << c.id << " refusal " << std::hex << c.refusal);
    probe_.refuse = c.refusal;
    VARIANT result = untouched;
    EXCEPINFO excep;
    std::memset(&excep, 0xEE, sizeof excep);
    DirtyStack();
    const HRESULT hr = Call(c.id, DISPATCH_PROPERTYGET, {}, &result, nullptr, false,
                            c.with_excep ? &excep : nullptr);
    EXPECT_EQ(hr, c.with_excep ? DISP_E_EXCEPTION : c.refusal);
    if (c.with_excep) {
      EXPECT_EQ(excep.scode, c.refusal);
    }
    EXPECT_EQ(result.vt, untouched.vt) << "a refused get leaves the caller's result alone";
    EXPECT_EQ(result.lVal, untouched.lVal);
    EXPECT_EQ(Call(c.id, DISPATCH_PROPERTYGET, {}), c.refusal) << "and needs no result slot";
  }
}

TEST_F(TypeInfoTest, RegisterAndUnregisterTheLibrary) {
  oletest::ScratchRegistry scratch;
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, "Interface\\{foreign}\\TypeLib", 0, nullptr, 0,
                            KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>("{other-lib}"), 12);
  RegCloseKey(key);

  ASSERT_EQ(RegisterTypeLib(lib_.get(), u"/opt/probe/libprobe.so", nullptr), S_OK);
  const std::string base = "TypeLib\\{6A000004-1111-2222-0102-030405060708}\\1.2";
  std::string value;
  EXPECT_TRUE(oletest::ClassesValue(base, nullptr, &value));
  EXPECT_EQ(value, "PROBELib");
  EXPECT_TRUE(oletest::ClassesValue(base + "\\409\\win64", nullptr, &value));
  EXPECT_EQ(value, "/opt/probe/libprobe.so");
  EXPECT_TRUE(oletest::ClassesValue(base + "\\FLAGS", nullptr, &value));
  EXPECT_EQ(value, "2");
  EXPECT_TRUE(oletest::ClassesValue(base + "\\HELPDIR", nullptr, &value));
  EXPECT_EQ(value, "/opt/probe");
  const std::string dual = "Interface\\{6A000001-1111-2222-0102-030405060708}";
  const std::string events = "Interface\\{6A000002-1111-2222-0102-030405060708}";
  EXPECT_TRUE(oletest::ClassesValue(dual, nullptr, &value));
  EXPECT_EQ(value, "IProbe");
  EXPECT_TRUE(oletest::ClassesValue(dual + "\\ProxyStubClsid32", nullptr, &value));
  EXPECT_EQ(value, "{00020424-0000-0000-C000-000000000046}");
  EXPECT_TRUE(oletest::ClassesValue(events + "\\ProxyStubClsid32", nullptr, &value));
  EXPECT_EQ(value, "{00020420-0000-0000-C000-000000000046}");
  EXPECT_TRUE(oletest::ClassesValue(dual + "\\TypeLib", "Version", &value));
  EXPECT_EQ(value, "1.2");

  ASSERT_EQ(UnRegisterTypeLib(kLibidProbe, 1, 2, 0x409, SYS_WIN64), S_OK);
  EXPECT_FALSE(oletest::ClassesValue(base, nullptr));
  EXPECT_FALSE(oletest::ClassesValue(dual, nullptr));
  EXPECT_FALSE(oletest::ClassesValue(events, nullptr));
  EXPECT_TRUE(oletest::ClassesValue("Interface\\{foreign}\\TypeLib", nullptr, &value));
  EXPECT_EQ(UnRegisterTypeLib(kLibidProbe, 1, 2, 0x409, SYS_WIN64), TYPE_E_REGISTRYACCESS);
}

}  // namespace
