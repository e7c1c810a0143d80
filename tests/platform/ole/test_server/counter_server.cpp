// A small in-process server for the runtime's tests: one class with a dual interface, an
// event interface, error information and self-registration from a registry script.
#include <dlfcn.h>

#include <atomic>
#include <string>

#include "counter.h"
#include "ole/com_ptr.h"
#include "ole/connection_point.h"
#include "ole/type_library.h"
#include "ole2.h"
#include "registrar.h"

namespace {

std::atomic<long> objects{0};
std::atomic<long> locks{0};

constexpr char16_t kScript[] =
    uR"(
HKCR
{
  OleTest.Counter.1 = s 'Ole Test Counter'
  {
    CLSID = s '{5C1E2A40-7D3B-4E11-9A0F-3B6C2D8E1F01}'
  }
  OleTest.Counter = s 'Ole Test Counter'
  {
    CLSID = s '{5C1E2A40-7D3B-4E11-9A0F-3B6C2D8E1F01}'
    CurVer = s 'OleTest.Counter.1'
  }
  NoRemove CLSID
  {
    ForceRemove {5C1E2A40-7D3B-4E11-9A0F-3B6C2D8E1F01} = s 'Ole Test Counter'
    {
      ProgID = s 'OleTest.Counter.1'
      VersionIndependentProgID = s 'OleTest.Counter'
      InprocServer32 = s '%MODULE%'
      {
        val ThreadingModel = s 'Apartment'
      }
      'Implemented Categories'
      {
        {7DD95801-9882-11CF-9FA9-00AA006C42C4}
      }
    }
  }
}
)";

ole::TypeLibDef Library() {
  using ole::MemberDef;
  using ole::ParamDef;
  ole::TypeLibDef lib;
  lib.libid = kLibidCounter;
  lib.name = u"COUNTERLib";
  lib.doc = u"Ole Test Counter 1.0 Type Library";
  lib.help_file = u"counter.chm";
  ole::InterfaceDef counter;
  counter.iid = kIidCounter;
  counter.name = u"ICounter";
  counter.members = {
      {kDispValue,
       INVOKE_PROPERTYGET,
       u"Value",
       {{u"pVal", VT_BYREF | VT_I4, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL}},
       101},
      {kDispValue, INVOKE_PROPERTYPUT, u"Value", {{u"newVal", VT_I4}}, 101},
      {kDispName,
       INVOKE_PROPERTYGET,
       u"Name",
       {{u"pVal", VT_BYREF | VT_BSTR, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL}},
       102},
      {kDispName, INVOKE_PROPERTYPUT, u"Name", {{u"newVal", VT_BSTR}}, 102},
      {kDispFire, INVOKE_FUNC, u"Fire", {{u"Text", VT_BSTR}}, 103},
      {kDispFail, INVOKE_FUNC, u"Fail", {{u"Number", VT_I4}}, 104},
      {kDispData, INVOKE_PROPERTYPUT, u"Data", {{u"newVal", VT_VARIANT}}, 105},
  };
  ole::InterfaceDef events;
  events.iid = kIidCounterEvents;
  events.name = u"_ICounterEvents";
  events.dual = false;
  events.members = {
      {kEventChanged,
       INVOKE_FUNC,
       u"Changed",
       {{u"Text", VT_BYREF | VT_BSTR}, {u"Count", VT_BYREF | VT_I2}}},
      {kEventTick, INVOKE_FUNC, u"Tick", {}},
  };
  ole::CoclassDef coclass;
  coclass.clsid = kClsidCounter;
  coclass.name = u"Counter";
  coclass.interfaces = {{kIidCounter, IMPLTYPEFLAG_FDEFAULT},
                        {kIidCounterEvents, IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE}};
  lib.interfaces = {counter, events};
  lib.coclasses = {coclass};
  return lib;
}

// Built on first use, released when the module is unloaded.
ole::ComPtr<ITypeLib> type_lib;
HRESULT TypeLibrary(ITypeLib** out) {
  if (!type_lib) {
    HRESULT hr = ole::CreateTypeLib(Library(), type_lib.put());
    if (FAILED(hr)) return hr;
  }
  *out = type_lib.get();
  (*out)->AddRef();
  return S_OK;
}

HRESULT TypeInfoOf(REFGUID guid, ITypeInfo** out) {
  ole::ComPtr<ITypeLib> lib;
  HRESULT hr = TypeLibrary(lib.put());
  if (FAILED(hr)) return hr;
  return lib->GetTypeInfoOfGuid(guid, out);
}

std::u16string ModulePath() {
  Dl_info info{};
  dladdr(reinterpret_cast<void*>(&TypeLibrary), &info);
  std::string path = info.dli_fname ? info.dli_fname : "";
  return std::u16string(path.begin(), path.end());  // the test paths are ASCII
}

class Counter final : public ICounter,
                      public IConnectionPointContainer,
                      public ISupportErrorInfo,
                      public IProvideClassInfo2 {
 public:
  Counter() : events_(this, kIidCounterEvents) { ++objects; }
  ~Counter() {
    SysFreeString(name_);
    --objects;
  }
  Counter(const Counter&) = delete;
  Counter& operator=(const Counter&) = delete;

  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == kIidCounter) {
      *ppv = static_cast<ICounter*>(this);
    } else if (riid == IID_IConnectionPointContainer) {
      *ppv = static_cast<IConnectionPointContainer*>(this);
    } else if (riid == IID_ISupportErrorInfo) {
      *ppv = static_cast<ISupportErrorInfo*>(this);
    } else if (riid == IID_IProvideClassInfo || riid == IID_IProvideClassInfo2) {
      *ppv = static_cast<IProvideClassInfo2*>(this);
    } else {
      *ppv = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
  STDMETHODIMP_(ULONG) Release() override {
    ULONG n = --refs_;
    if (n == 0) delete this;
    return n;
  }

  STDMETHODIMP GetTypeInfoCount(UINT* pctinfo) override {
    if (!pctinfo) return E_POINTER;
    *pctinfo = 1;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT index, LCID, ITypeInfo** ppTInfo) override {
    if (!ppTInfo) return E_POINTER;
    *ppTInfo = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    return TypeInfoOf(kIidCounter, ppTInfo);
  }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    ole::ComPtr<ITypeInfo> info;
    HRESULT hr = TypeInfoOf(kIidCounter, info.put());
    if (FAILED(hr)) return hr;
    return DispGetIDsOfNames(info.get(), names, count, ids);
  }
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                      EXCEPINFO* excep, UINT* arg_err) override {
    ole::ComPtr<ITypeInfo> info;
    HRESULT hr = TypeInfoOf(kIidCounter, info.put());
    if (FAILED(hr)) return hr;
    return DispInvoke(static_cast<ICounter*>(this), info.get(), id, flags, params, result, excep,
                      arg_err);
  }

  STDMETHODIMP get_Value(LONG* pVal) override {
    if (!pVal) return E_POINTER;
    *pVal = value_;
    return S_OK;
  }
  STDMETHODIMP put_Value(LONG v) override {
    value_ = v;
    return S_OK;
  }
  STDMETHODIMP get_Name(BSTR* pVal) override {
    if (!pVal) return E_POINTER;
    *pVal = SysAllocStringLen(name_, SysStringLen(name_));
    return *pVal ? S_OK : E_OUTOFMEMORY;
  }
  STDMETHODIMP put_Name(BSTR v) override {
    return SysReAllocStringLen(&name_, v, SysStringLen(v)) ? S_OK : E_OUTOFMEMORY;
  }
  STDMETHODIMP Fire(BSTR text) override {
    ++fired_;
    BSTR arg = SysAllocStringLen(text, SysStringLen(text));
    SHORT count = fired_;
    VARIANT args[2];
    args[0].vt = VT_BYREF | VT_I2;  // reverse order: the last parameter first
    args[0].piVal = &count;
    args[1].vt = VT_BYREF | VT_BSTR;
    args[1].pbstrVal = &arg;
    DISPPARAMS params{args, nullptr, 2, 0};
    events_.Fire(kEventChanged, &params);
    events_.Fire(kEventTick, nullptr);
    SysFreeString(arg);
    return S_OK;
  }
  STDMETHODIMP Fail(LONG number) override {
    ole::ComPtr<ICreateErrorInfo> create;
    if (SUCCEEDED(CreateErrorInfo(create.put()))) {
      create->SetGUID(kIidCounter);
      create->SetSource(const_cast<LPOLESTR>(u"OleTest.Counter.1"));
      std::u16string text =
          u"Counter failed with " + std::u16string(1, u'0' + (number % 10)) + u".";
      create->SetDescription(text.data());
      create->SetHelpFile(const_cast<LPOLESTR>(u"counter.chm"));
      create->SetHelpContext(104);
      ole::ComPtr<IErrorInfo> info;
      if (SUCCEEDED(create.As(IID_IErrorInfo, info))) SetErrorInfo(0, info.get());
    }
    return static_cast<HRESULT>(0x800A0000u | static_cast<unsigned>(number));
  }
  STDMETHODIMP put_Data(VARIANT v) override {
    if (!(v.vt & VT_ARRAY) || !v.parray || SafeArrayGetDim(v.parray) != 1) return E_INVALIDARG;
    value_ = static_cast<LONG>(v.parray->rgsabound[0].cElements);
    return S_OK;
  }

  STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** ppEnum) override {
    return ole::CreateConnectionPointEnum(static_cast<ICounter*>(this), {&events_}, ppEnum);
  }
  STDMETHODIMP FindConnectionPoint(REFIID riid, IConnectionPoint** ppCP) override {
    if (!ppCP) return E_POINTER;
    *ppCP = nullptr;
    if (riid != kIidCounterEvents) return CONNECT_E_NOCONNECTION;
    *ppCP = &events_;
    events_.AddRef();
    return S_OK;
  }

  STDMETHODIMP InterfaceSupportsErrorInfo(REFIID riid) override {
    return riid == kIidCounter ? S_OK : S_FALSE;
  }

  STDMETHODIMP GetClassInfo(ITypeInfo** ppTI) override {
    if (!ppTI) return E_POINTER;
    return TypeInfoOf(kClsidCounter, ppTI);
  }
  STDMETHODIMP GetGUID(DWORD kind, GUID* pGUID) override {
    if (!pGUID) return E_POINTER;
    if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) return E_INVALIDARG;
    *pGUID = kIidCounterEvents;
    return S_OK;
  }

 private:
  std::atomic<ULONG> refs_{1};
  LONG value_ = 0;
  BSTR name_ = nullptr;
  SHORT fired_ = 0;
  ole::ConnectionPoint events_;
};

class Factory final : public IClassFactory {
 public:
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IClassFactory) {
      *ppv = static_cast<IClassFactory*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  // The factory is static; it is the locks, not its references, that keep the module.
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }
  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    auto* counter = new Counter();
    HRESULT hr = counter->QueryInterface(riid, ppv);
    counter->Release();
    return hr;
  }
  STDMETHODIMP LockServer(BOOL lock) override {
    locks += lock ? 1 : -1;
    return S_OK;
  }
};

Factory factory;

HRESULT RunScript(bool do_register) {
  ole::ComPtr<IRegistrar> registrar;
  HRESULT hr = CoCreateInstance(CLSID_Registrar, nullptr, CLSCTX_INPROC_SERVER, IID_IRegistrar,
                                registrar.put_void());
  if (FAILED(hr)) return hr;
  std::u16string module;
  for (char16_t c : ModulePath()) {
    module.push_back(c);
    if (c == u'\'') module.push_back(c);  // apostrophes doubled inside the script's quotes
  }
  registrar->AddReplacement(u"MODULE", module.c_str());
  return do_register ? registrar->StringRegister(kScript) : registrar->StringUnregister(kScript);
}

}  // namespace

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (rclsid != kClsidCounter) return CLASS_E_CLASSNOTAVAILABLE;
  return factory.QueryInterface(riid, ppv);
}

STDAPI DllCanUnloadNow(void) {
  return objects == 0 && locks == 0 ? S_OK : S_FALSE;
}

STDAPI DllRegisterServer(void) {
  HRESULT hr = RunScript(true);
  if (FAILED(hr)) return hr;
  ole::ComPtr<ITypeLib> lib;
  hr = TypeLibrary(lib.put());
  if (FAILED(hr)) return hr;
  return RegisterTypeLib(lib.get(), ModulePath().c_str(), nullptr);
}

STDAPI DllUnregisterServer(void) {
  HRESULT hr = RunScript(false);
  if (FAILED(hr)) return hr;
  return UnRegisterTypeLib(kLibidCounter, 1, 0, 0, SYS_WIN64);
}
