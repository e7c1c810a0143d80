// The test server registered with regsvr into a scratch registry, then created and used as
// a host uses a control: by CLSID and ProgID, through its vtable and through IDispatch,
// with events, error information and unloading.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "counter.h"
#include "ole/com_ptr.h"
#include "ole2.h"
#include "registrar.h"
#include "support.h"
#include "win32/module.h"

namespace {

using ole::ComPtr;
using oletest::ClassesValue;
using oletest::Text;

// An event sink that records what reached it, in order, into a log shared between sinks.
class Sink final : public IDispatch {
 public:
  Sink(std::string name, std::vector<std::string>& log) : name_(std::move(name)), log_(log) {}
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == kIidCounterEvents) {
      *ppv = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
  STDMETHODIMP_(ULONG) Release() override { return --refs; }  // lives on the test's stack
  STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT*,
                      EXCEPINFO*, UINT*) override {
    EXPECT_TRUE(riid == IID_NULL);
    EXPECT_EQ(lcid, 0x0400u);
    EXPECT_EQ(flags, DISPATCH_METHOD);
    if (id == kEventChanged) {
      EXPECT_EQ(params->cArgs, 2u);
      EXPECT_EQ(params->rgvarg[0].vt, VT_BYREF | VT_I2);
      EXPECT_EQ(params->rgvarg[1].vt, VT_BYREF | VT_BSTR);
      std::u16string text = Text(*params->rgvarg[1].pbstrVal);
      log_.push_back(name_ + ":Changed(" + std::string(text.begin(), text.end()) + "," +
                     std::to_string(*params->rgvarg[0].piVal) + ")");
      *params->rgvarg[0].piVal = 999;  // what a handler writes back is ignored
    } else if (id == kEventTick) {
      EXPECT_EQ(params->cArgs, 0u);
      log_.push_back(name_ + ":Tick");
    }
    return S_OK;
  }
  ULONG refs = 0;

 private:
  std::string name_;
  std::vector<std::string>& log_;
};

class Server : public testing::Test {
 protected:
  void SetUp() override {
    module_ = SERVER_PATH;
    Register(module_);
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
  }
  void TearDown() override { CoUninitialize(); }

  void Register(const std::string& module) {
    oletest::Run run = oletest::RunProgram({REGSVR_PATH, module});
    ASSERT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(run.out, "DllRegisterServer in " + module + " succeeded.\n");
  }

  ComPtr<ICounter> Create() {
    ComPtr<ICounter> counter;
    EXPECT_EQ(CoCreateInstance(kClsidCounter, nullptr, CLSCTX_INPROC_SERVER, kIidCounter,
                               counter.put_void()),
              S_OK);
    return counter;
  }

  // Whether the process has the server loaded now.
  bool Loaded() const {
    void* h = dlopen(module_.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (h) dlclose(h);
    return h != nullptr;
  }

  oletest::ScratchRegistry scratch_;
  std::string module_;
};

TEST_F(Server, RegisteredThenCreatedByClsidAndProgId) {
  std::string path, model;
  ASSERT_TRUE(ClassesValue("CLSID\\{5C1E2A40-7D3B-4E11-9A0F-3B6C2D8E1F01}\\InprocServer32", nullptr,
                           &path));
  EXPECT_EQ(path, module_);
  ClassesValue("CLSID\\{5C1E2A40-7D3B-4E11-9A0F-3B6C2D8E1F01}\\InprocServer32", "ThreadingModel",
               &model);
  EXPECT_EQ(model, "Apartment");
  std::string typelib, proxy;
  ASSERT_TRUE(ClassesValue("TypeLib\\{5C1E2A43-7D3B-4E11-9A0F-3B6C2D8E1F01}\\1.0\\0\\win64",
                           nullptr, &typelib));
  EXPECT_EQ(typelib, module_);
  ClassesValue("Interface\\{5C1E2A41-7D3B-4E11-9A0F-3B6C2D8E1F01}\\ProxyStubClsid32", nullptr,
               &proxy);
  EXPECT_EQ(proxy, "{00020424-0000-0000-C000-000000000046}");

  CLSID clsid{};
  ASSERT_EQ(CLSIDFromProgID(u"OleTest.Counter", &clsid), S_OK) << "through CurVer";
  EXPECT_TRUE(clsid == kClsidCounter);
  ASSERT_EQ(CLSIDFromString(u"OleTest.Counter.1", &clsid), S_OK);
  EXPECT_TRUE(clsid == kClsidCounter);
  LPOLESTR progid = nullptr;
  ASSERT_EQ(ProgIDFromCLSID(kClsidCounter, &progid), S_OK);
  EXPECT_EQ(std::u16string(progid), u"OleTest.Counter.1");
  CoTaskMemFree(progid);
  EXPECT_EQ(CLSIDFromProgID(u"No.Such.Class", &clsid), CO_E_CLASSSTRING);
  EXPECT_TRUE(clsid == CLSID_NULL);

  ComPtr<IUnknown> unknown;
  ASSERT_EQ(CoCreateInstance(kClsidCounter, nullptr, CLSCTX_ALL, IID_IUnknown, unknown.put_void()),
            S_OK);
  ComPtr<ICounter> counter;
  ASSERT_EQ(unknown.As(kIidCounter, counter), S_OK);
  ASSERT_EQ(counter->put_Value(41), S_OK);
  LONG value = 0;
  counter->get_Value(&value);
  EXPECT_EQ(value, 41);

  const CLSID unknown_clsid = {0x1, 0x2, 0x3, {4, 5, 6, 7, 8, 9, 10, 11}};
  ComPtr<IUnknown> none;
  EXPECT_EQ(
      CoCreateInstance(unknown_clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, none.put_void()),
      REGDB_E_CLASSNOTREG);
}

TEST_F(Server, DispatchThroughTypeInformation) {
  ComPtr<ICounter> counter = Create();
  ComPtr<IDispatch> disp;
  ASSERT_EQ(counter.As(IID_IDispatch, disp), S_OK);
  LPOLESTR names[] = {const_cast<LPOLESTR>(u"value")};
  DISPID id = 0;
  ASSERT_EQ(disp->GetIDsOfNames(IID_NULL, names, 1, 0x0400, &id), S_OK);
  EXPECT_EQ(id, kDispValue);

  // Put with a string that converts to the Long parameter, as a script host would pass it.
  VARIANT arg;
  arg.vt = VT_BSTR;
  arg.bstrVal = SysAllocString(u"1234");
  DISPID put_id = DISPID_PROPERTYPUT;
  DISPPARAMS put{&arg, &put_id, 1, 1};
  ASSERT_EQ(disp->Invoke(kDispValue, IID_NULL, 0x0400, DISPATCH_PROPERTYPUT, &put, nullptr, nullptr,
                         nullptr),
            S_OK);
  VariantClear(&arg);
  VARIANT result;
  VariantInit(&result);
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  ASSERT_EQ(disp->Invoke(kDispValue, IID_NULL, 0x0400, DISPATCH_PROPERTYGET | DISPATCH_METHOD,
                         &none, &result, nullptr, nullptr),
            S_OK);
  EXPECT_EQ(result.vt, VT_I4);
  EXPECT_EQ(result.lVal, 1234);

  // A VARIANT parameter by value: a byte array of five.
  arg.vt = VT_ARRAY | VT_UI1;
  arg.parray = SafeArrayCreateVector(VT_UI1, 0, 5);
  ASSERT_EQ(disp->Invoke(kDispData, IID_NULL, 0x0400, DISPATCH_PROPERTYPUT, &put, nullptr, nullptr,
                         nullptr),
            S_OK);
  VariantClear(&arg);
  LONG value = 0;
  counter->get_Value(&value);
  EXPECT_EQ(value, 5);

  arg.vt = VT_BSTR;
  arg.bstrVal = SysAllocString(u"not a number");
  UINT bad = 99;
  EXPECT_EQ(disp->Invoke(kDispValue, IID_NULL, 0x0400, DISPATCH_PROPERTYPUT, &put, nullptr, nullptr,
                         &bad),
            DISP_E_TYPEMISMATCH);
  EXPECT_EQ(bad, 0u);
  VariantClear(&arg);

  // Name round trip with an embedded NUL.
  const std::u16string name(u"a\0b", 3);
  BSTR given = SysAllocStringLen(name.data(), 3);
  ASSERT_EQ(counter->put_Name(given), S_OK);
  SysFreeString(given);
  ASSERT_EQ(disp->Invoke(kDispName, IID_NULL, 0x0400, DISPATCH_PROPERTYGET, &none, &result, nullptr,
                         nullptr),
            S_OK);
  EXPECT_EQ(result.vt, VT_BSTR);
  EXPECT_EQ(Text(result.bstrVal), name);
  VariantClear(&result);
}

TEST_F(Server, EventsReachSinksInOrderUntilUnadvised) {
  ComPtr<ICounter> counter = Create();
  ComPtr<IConnectionPointContainer> container;
  ASSERT_EQ(counter.As(IID_IConnectionPointContainer, container), S_OK);
  ComPtr<IConnectionPoint> point;
  ASSERT_EQ(container->FindConnectionPoint(kIidCounterEvents, point.put()), S_OK);
  IID iid{};
  point->GetConnectionInterface(&iid);
  EXPECT_TRUE(iid == kIidCounterEvents);
  EXPECT_EQ(container->FindConnectionPoint(IID_IDispatch, point.put()), CONNECT_E_NOCONNECTION);
  ASSERT_EQ(container->FindConnectionPoint(kIidCounterEvents, point.put()), S_OK);

  std::vector<std::string> log;
  Sink first("first", log), second("second", log);
  DWORD c1 = 0, c2 = 0;
  ASSERT_EQ(point->Advise(&first, &c1), S_OK);
  ASSERT_EQ(point->Advise(&second, &c2), S_OK);
  EXPECT_NE(c1, 0u);
  EXPECT_NE(c1, c2);

  BSTR text = SysAllocString(u"hello");
  ASSERT_EQ(counter->Fire(text), S_OK);
  EXPECT_EQ(log, (std::vector<std::string>{"first:Changed(hello,1)", "second:Changed(hello,1)",
                                           "first:Tick", "second:Tick"}));
  ComPtr<IEnumConnections> connections;
  ASSERT_EQ(point->EnumConnections(connections.put()), S_OK);
  CONNECTDATA data[3];
  ULONG fetched = 0;
  EXPECT_EQ(connections->Next(3, data, &fetched), S_FALSE);
  ASSERT_EQ(fetched, 2u);
  EXPECT_EQ(data[0].dwCookie, c1);
  EXPECT_EQ(data[1].dwCookie, c2);
  for (ULONG i = 0; i < fetched; ++i) data[i].pUnk->Release();
  connections.reset();

  log.clear();
  ASSERT_EQ(point->Unadvise(c1), S_OK);
  EXPECT_EQ(point->Unadvise(c1), CONNECT_E_NOCONNECTION);
  counter->Fire(text);
  EXPECT_EQ(log, (std::vector<std::string>{"second:Changed(hello,2)", "second:Tick"}));
  ASSERT_EQ(point->Unadvise(c2), S_OK);
  log.clear();
  counter->Fire(text);
  EXPECT_TRUE(log.empty());
  SysFreeString(text);
  EXPECT_EQ(first.refs, 0u) << "the server let go of every sink";
  EXPECT_EQ(second.refs, 0u);
}

TEST_F(Server, ErrorInformationReachesTheCaller) {
  ComPtr<ICounter> counter = Create();
  ComPtr<ISupportErrorInfo> support;
  ASSERT_EQ(counter.As(IID_ISupportErrorInfo, support), S_OK);
  EXPECT_EQ(support->InterfaceSupportsErrorInfo(kIidCounter), S_OK);

  EXPECT_EQ(counter->Fail(5), static_cast<HRESULT>(0x800A0005));
  ComPtr<IErrorInfo> info;
  ASSERT_EQ(GetErrorInfo(0, info.put()), S_OK);
  BSTR source = nullptr, description = nullptr, file = nullptr;
  DWORD context = 0;
  info->GetSource(&source);
  info->GetDescription(&description);
  info->GetHelpFile(&file);
  info->GetHelpContext(&context);
  EXPECT_EQ(Text(source), u"OleTest.Counter.1");
  EXPECT_EQ(Text(description), u"Counter failed with 5.");
  EXPECT_EQ(Text(file), u"counter.chm");
  EXPECT_EQ(context, 104u);
  SysFreeString(source);
  SysFreeString(description);
  SysFreeString(file);

  // Through IDispatch the same failure arrives as an exception.
  ComPtr<IDispatch> disp;
  counter.As(IID_IDispatch, disp);
  VARIANT arg;
  arg.vt = VT_I4;
  arg.lVal = 7;
  DISPPARAMS params{&arg, nullptr, 1, 0};
  EXCEPINFO excep{};
  ASSERT_EQ(
      disp->Invoke(kDispFail, IID_NULL, 0x0400, DISPATCH_METHOD, &params, nullptr, &excep, nullptr),
      DISP_E_EXCEPTION);
  EXPECT_EQ(excep.scode, static_cast<SCODE>(0x800A0007));
  EXPECT_EQ(Text(excep.bstrDescription), u"Counter failed with 7.");
  EXPECT_EQ(Text(excep.bstrSource), u"OleTest.Counter.1");
  EXPECT_EQ(excep.dwHelpContext, 104u);
  SysFreeString(excep.bstrSource);
  SysFreeString(excep.bstrDescription);
  SysFreeString(excep.bstrHelpFile);
}

TEST_F(Server, LibraryStaysLoadedWhileAnythingHoldsIt) {
  ComPtr<ICounter> counter = Create();
  ASSERT_TRUE(Loaded());
  CoFreeUnusedLibraries();
  EXPECT_TRUE(Loaded()) << "an object lives";
  LONG value = 0;
  EXPECT_EQ(counter->get_Value(&value), S_OK);
  counter.reset();

  ComPtr<IClassFactory> factory;
  ASSERT_EQ(CoGetClassObject(kClsidCounter, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                             factory.put_void()),
            S_OK);
  factory->LockServer(TRUE);
  factory.reset();
  CoFreeUnusedLibraries();
  EXPECT_TRUE(Loaded()) << "the server is locked";
  ASSERT_EQ(CoGetClassObject(kClsidCounter, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                             factory.put_void()),
            S_OK);
  factory->LockServer(FALSE);
  factory.reset();
  CoFreeUnusedLibraries();
  EXPECT_FALSE(Loaded());

  // Loaded again on the next creation.
  counter = Create();
  EXPECT_TRUE(counter);
  EXPECT_TRUE(Loaded());
  counter.reset();
  CoFreeUnusedLibraries();
}

TEST_F(Server, UnregisterRemovesWhatTheScriptAdded) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, "CLSID\\{00000000-1111-2222-3333-444444444444}", 0,
                            nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(key);
  oletest::Run run = oletest::RunProgram({REGSVR_PATH, "-u", module_});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(run.out, "DllUnregisterServer in " + module_ + " succeeded.\n");
  EXPECT_FALSE(ClassesValue("OleTest.Counter", nullptr));
  EXPECT_FALSE(ClassesValue("OleTest.Counter.1", nullptr));
  EXPECT_FALSE(ClassesValue("CLSID\\{5C1E2A40-7D3B-4E11-9A0F-3B6C2D8E1F01}", nullptr));
  EXPECT_FALSE(ClassesValue("TypeLib\\{5C1E2A43-7D3B-4E11-9A0F-3B6C2D8E1F01}\\1.0", nullptr));
  ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "CLSID\\{00000000-1111-2222-3333-444444444444}", 0,
                          KEY_READ, &key),
            ERROR_SUCCESS)
      << "the NoRemove key and what others put there stay";
  RegCloseKey(key);
  HKEY iface = nullptr;
  EXPECT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "Interface\\{5C1E2A41-7D3B-4E11-9A0F-3B6C2D8E1F01}", 0,
                          KEY_READ, &iface),
            ERROR_FILE_NOT_FOUND);
  ComPtr<IUnknown> none;
  EXPECT_EQ(
      CoCreateInstance(kClsidCounter, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, none.put_void()),
      REGDB_E_CLASSNOTREG);
}

TEST_F(Server, ModulePathWithAnApostrophe) {
  const std::string dir = scratch_.dir() + "/it's here";
  ASSERT_EQ(mkdir(dir.c_str(), 0755), 0);
  const std::string copy = dir + "/counter.so";
  std::filesystem::copy_file(module_, copy);
  Register(copy);
  std::string path;
  ASSERT_TRUE(ClassesValue("CLSID\\{5C1E2A40-7D3B-4E11-9A0F-3B6C2D8E1F01}\\InprocServer32", nullptr,
                           &path));
  EXPECT_EQ(path, copy);
  module_ = copy;
  ComPtr<ICounter> counter = Create();
  ASSERT_TRUE(counter);
  EXPECT_TRUE(Loaded());
  counter.reset();
  CoFreeUnusedLibraries();
}

TEST(Apartment, CountedPerThreadAndRequiredForCreation) {
  oletest::ScratchRegistry scratch;
  ComPtr<IUnknown> none;
  EXPECT_EQ(
      CoCreateInstance(kClsidCounter, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, none.put_void()),
      CO_E_NOTINITIALIZED);
  ASSERT_EQ(CoInitialize(nullptr), S_OK);
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_FALSE);
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), RPC_E_CHANGED_MODE);
  HRESULT other = E_FAIL;
  std::thread([&] {
    other = CoInitializeEx(nullptr, COINIT_MULTITHREADED);  // a thread of its own
    CoUninitialize();
  }).join();
  EXPECT_EQ(other, S_OK);
  CoUninitialize();
  EXPECT_EQ(CoCreateInstance(CLSID_Registrar, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                             none.put_void()),
            S_OK)
      << "still initialized once";
  none.reset();
  CoUninitialize();
  EXPECT_EQ(CoCreateInstance(CLSID_Registrar, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                             none.put_void()),
            CO_E_NOTINITIALIZED);
}

TEST(Guid, TextForms) {
  OLECHAR text[39];
  ASSERT_EQ(StringFromGUID2(kClsidCounter, text, 39), 39);
  EXPECT_EQ(std::u16string(text), u"{5C1E2A40-7D3B-4E11-9A0F-3B6C2D8E1F01}");
  EXPECT_EQ(StringFromGUID2(kClsidCounter, text, 38), 0) << "no room for the terminator";
  CLSID parsed{};
  ASSERT_EQ(CLSIDFromString(u"{5c1e2a40-7d3b-4e11-9a0f-3b6c2d8e1f01}", &parsed), S_OK);
  EXPECT_TRUE(parsed == kClsidCounter);
  oletest::ScratchRegistry scratch;  // an empty registry: no ProgID to fall back on
  EXPECT_EQ(CLSIDFromString(u"5C1E2A40-7D3B-4E11-9A0F-3B6C2D8E1F01", &parsed), CO_E_CLASSSTRING);
  EXPECT_EQ(CLSIDFromString(u"{5C1E2A40-7D3B-4E11-9A0F-3B6C2D8E1FXX}", &parsed), CO_E_CLASSSTRING);
  LPOLESTR alloc = nullptr;
  ASSERT_EQ(StringFromCLSID(IID_IDispatch, &alloc), S_OK);
  EXPECT_EQ(std::u16string(alloc), u"{00020400-0000-0000-C000-000000000046}");
  CoTaskMemFree(alloc);
}

// A server that looks up an entry point at run time by the Windows library name.
TEST(Runtime, LoadedByItsWindowsNames) {
  for (const char* name : {"oleaut32.dll", "OLE32.DLL"}) {
    HMODULE module = LoadLibraryA(name);
    ASSERT_NE(module, nullptr) << name;
    EXPECT_EQ(reinterpret_cast<void*>(GetProcAddress(module, "UnRegisterTypeLib")),
              reinterpret_cast<void*>(&UnRegisterTypeLib))
        << "the library already loaded, not a second copy";
    FreeLibrary(module);
  }
}

TEST(Regsvr, ReportsFailuresWithRegsvr32Codes) {
  oletest::ScratchRegistry scratch;
  oletest::Run run = oletest::RunProgram({REGSVR_PATH});
  EXPECT_EQ(run.exit_code, 1);
  run = oletest::RunProgram({REGSVR_PATH, scratch.dir() + "/missing.so"});
  EXPECT_EQ(run.exit_code, 3);
  EXPECT_NE(run.err.find("failed to load"), std::string::npos) << run.err;
  run = oletest::RunProgram({REGSVR_PATH, OLE_LIBRARY_PATH});  // loads, but is no server
  EXPECT_EQ(run.exit_code, 4);
  EXPECT_NE(run.err.find("entry-point DllRegisterServer was not found"), std::string::npos);

  // A registry that cannot be written: the server's own HRESULT is reported.
  const std::string blocker = scratch.dir() + "/file";
  FILE* f = std::fopen(blocker.c_str(), "w");
  std::fclose(f);
  setenv("OLE_REGISTRY", (blocker + "/registry.txt").c_str(), 1);
  run = oletest::RunProgram({REGSVR_PATH, SERVER_PATH});
  EXPECT_EQ(run.exit_code, 5);
  EXPECT_NE(run.err.find("failed with error code 0x800703F3"), std::string::npos) << run.err;
  EXPECT_TRUE(run.out.empty());
}

}  // namespace
