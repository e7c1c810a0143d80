// The library as a COM server: what registration writes and removes, the class factory and
// aggregation, unloading, and the OLE object a container sees.
#include <algorithm>
#include <optional>

#include "control_support.h"
#include "objbase.h"
#include "olectl.h"
#include "win32/module.h"
#include "winreg.h"

namespace marlet_test {
namespace {

constexpr const char* kClassKey = "CLSID\\{7E2A4C10-3B9D-4F21-A6C3-51D0E8B7F2A4}";
constexpr const char* kName = "Quenby - Halyard V5 Marlet Control";

std::vector<std::string> SubKeys(const std::string& path) {
  std::vector<std::string> names;
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return names;
  }
  for (DWORD i = 0;; ++i) {
    char name[256];
    DWORD size = sizeof name;
    if (RegEnumKeyExA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
      break;
    }
    names.emplace_back(name, size);
  }
  RegCloseKey(key);
  std::sort(names.begin(), names.end());
  return names;
}

std::optional<std::string> Value(const std::string& path, const char* name = nullptr) {
  std::string value;
  if (!oletest::ClassesValue(path, name, &value)) return std::nullopt;
  return value;
}

TEST(Registration, WritesTheClassAndRemovesOnlyItsOwnKeys) {
  oletest::ScratchRegistry registry;  // a registry of this test's own
  ASSERT_EQ(oletest::RunProgram({REGSVR_PATH, MARLETLIB_PATH}).exit_code, 0);
  const std::string module = MARLETLIB_PATH;
  const std::string cls = kClassKey;
  const struct {
    std::string path;
    const char* name;
    std::string value;
  } values[] = {
      {cls, nullptr, kName},
      {cls + "\\ProgID", nullptr, "Halyard.Marlet.1"},
      {cls + "\\VersionIndependentProgID", nullptr, "Halyard.Marlet"},
      {cls + "\\InprocServer32", nullptr, module},
      {cls + "\\InprocServer32", "ThreadingModel", "Apartment"},
      {cls + "\\ToolboxBitmap32", nullptr, module + ", 101"},
      {cls + "\\MiscStatus", nullptr, "0"},
      {cls + "\\MiscStatus\\1", nullptr, "132497"},
      {cls + "\\TypeLib", nullptr, "{7E2A4C13-3B9D-4F21-A6C3-51D0E8B7F2A4}"},
      {cls + "\\Version", nullptr, "1.0"},
      {"Halyard.Marlet", nullptr, kName},
      {"Halyard.Marlet\\CLSID", nullptr, "{7E2A4C10-3B9D-4F21-A6C3-51D0E8B7F2A4}"},
      {"Halyard.Marlet\\CurVer", nullptr, "Halyard.Marlet.1"},
      {"Halyard.Marlet.1", nullptr, kName},
      {"Halyard.Marlet.1\\CLSID", nullptr, "{7E2A4C10-3B9D-4F21-A6C3-51D0E8B7F2A4}"},
      {"Halyard.Marlet.1\\CurVer", nullptr, "Halyard.Marlet.1"},
      {"Halyard5.Marlet", nullptr, kName},
      {"Halyard5.Marlet\\CLSID", nullptr, "{7E2A4C10-3B9D-4F21-A6C3-51D0E8B7F2A4}"},
      {"Halyard5.Marlet\\CurVer", nullptr, "Halyard.Marlet.1"},
  };
  for (const auto& row : values) {
    EXPECT_EQ(Value(row.path, row.name), row.value) << row.path;
  }
  EXPECT_EQ(SubKeys(cls), (std::vector<std::string>{
                              "Control", "Implemented Categories", "InprocServer32", "Insertable",
                              "MiscStatus", "ProgID", "Programmable", "ToolboxBitmap32",
                              "TypeLib", "Version", "VersionIndependentProgID",
                              "Windows CE Control"}));
  EXPECT_EQ(SubKeys(cls + "\\Implemented Categories"),
            (std::vector<std::string>{"{7DD95801-9882-11CF-9FA9-00AA006C42C4}",
                                      "{7DD95802-9882-11CF-9FA9-00AA006C42C4}"}));
  // The type library is found through the registry, as hosts look for it.
  ComPtr<ITypeLib> library;
  ASSERT_EQ(LoadRegTypeLib(marlet::kLibidMarlet, 1, 0, 1033, library.put()), S_OK);
  ComPtr<ITypeInfo> info;
  EXPECT_EQ(library->GetTypeInfoOfGuid(marlet::kIidIMarlet, info.put()), S_OK);

  ASSERT_EQ(oletest::RunProgram({REGSVR_PATH, "-u", MARLETLIB_PATH}).exit_code, 0);
  EXPECT_FALSE(Value(cls));
  EXPECT_FALSE(Value("Halyard.Marlet"));
  EXPECT_FALSE(Value("Halyard.Marlet.1"));
  EXPECT_FALSE(Value("Halyard5.Marlet"));
  HKEY classes = nullptr;
  EXPECT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "CLSID", 0, KEY_READ, &classes), ERROR_SUCCESS);
  if (classes) RegCloseKey(classes);
  EXPECT_NE(LoadRegTypeLib(marlet::kLibidMarlet, 1, 0, 1033, library.put()), S_OK);
}

using Server = ControlTest;

TEST_F(Server, AnswersForEveryInterfaceOfAControl) {
  const IID* answered[] = {
      &marlet::kIidIMarlet,        &IID_IDispatch,
      &IID_IConnectionPointContainer, &IID_IViewObjectEx,
      &IID_IViewObject2,           &IID_IViewObject,
      &IID_IOleInPlaceObjectWindowless, &IID_IOleInPlaceObject,
      &IID_IOleInPlaceActiveObject, &IID_IOleControl,
      &IID_IOleObject,             &IID_IPersistStreamInit,
      &IID_IPersist,               &IID_ISupportErrorInfo,
      &IID_IQuickActivate,         &IID_IPersistStorage,
      &IID_IProvideClassInfo,      &IID_IProvideClassInfo2,
      &IID_IPersistPropertyBag,
  };
  ComPtr<IUnknown> identity;
  ASSERT_EQ(control_.As(IID_IUnknown, identity), S_OK);
  for (const IID* iid : answered) {
    ComPtr<IUnknown> p;
    EXPECT_EQ(control_.As(*iid, p), S_OK);
    // Every interface leads back to the one identity.
    ComPtr<IUnknown> back;
    if (p) {
      EXPECT_EQ(p.As(IID_IUnknown, back), S_OK);
    }
    EXPECT_EQ(back.get(), identity.get());
  }
  ComPtr<IUnknown> none;
  EXPECT_EQ(control_.As(IID_IPersistStream, none), E_NOINTERFACE);

  ComPtr<ISupportErrorInfo> support;
  ASSERT_EQ(control_.As(IID_ISupportErrorInfo, support), S_OK);
  EXPECT_EQ(support->InterfaceSupportsErrorInfo(marlet::kIidIMarlet), S_OK);
  EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IDispatch), S_FALSE);

  ComPtr<IProvideClassInfo2> class_info;
  ASSERT_EQ(control_.As(IID_IProvideClassInfo2, class_info), S_OK);
  GUID source{};
  EXPECT_EQ(class_info->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &source), S_OK);
  EXPECT_TRUE(source == marlet::kIidIMarletEvents);
  ComPtr<ITypeInfo> coclass;
  ASSERT_EQ(class_info->GetClassInfo(coclass.put()), S_OK);
  TYPEATTR* attr = nullptr;
  ASSERT_EQ(coclass->GetTypeAttr(&attr), S_OK);
  EXPECT_TRUE(attr->guid == marlet::kClsidMarlet);
  EXPECT_EQ(attr->typekind, TKIND_COCLASS);
  coclass->ReleaseTypeAttr(attr);
}

TEST_F(Server, IsAWindowlessInvisibleControl) {
  ComPtr<IOleObject> object;
  ASSERT_EQ(control_.As(IID_IOleObject, object), S_OK);
  DWORD status = 0;
  EXPECT_EQ(object->GetMiscStatus(DVASPECT_CONTENT, &status), S_OK);
  EXPECT_EQ(status, 132497u);
  SIZEL extent{};
  EXPECT_EQ(object->GetExtent(DVASPECT_CONTENT, &extent), S_OK);
  EXPECT_EQ(extent.cx, 741);  // 28 pixels at 96 per inch
  EXPECT_EQ(extent.cy, 741);

  ClientSite site(true, true);
  ASSERT_EQ(object->SetClientSite(&site), S_OK);
  ComPtr<IOleClientSite> got;
  EXPECT_EQ(object->GetClientSite(got.put()), S_OK);
  EXPECT_EQ(got.get(), static_cast<IOleClientSite*>(&site));
  got.reset();
  EXPECT_EQ(object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &site, 0, nullptr, nullptr), S_OK);
  ComPtr<IOleInPlaceObjectWindowless> windowless;
  ASSERT_EQ(control_.As(IID_IOleInPlaceObjectWindowless, windowless), S_OK);
  HWND window = reinterpret_cast<HWND>(1);
  EXPECT_EQ(windowless->GetWindow(&window), E_FAIL);
  EXPECT_EQ(window, nullptr);
  EXPECT_EQ(windowless->InPlaceDeactivate(), S_OK);
  EXPECT_EQ(object->Close(OLECLOSE_NOSAVE), S_OK);
  EXPECT_EQ(object->SetClientSite(nullptr), S_OK);
  EXPECT_EQ(site.refs, 0u);
}

TEST_F(Server, QuickActivationAdvisesTheEventSink) {
  ComPtr<IQuickActivate> quick;
  ASSERT_EQ(control_.As(IID_IQuickActivate, quick), S_OK);
  EventSink sink;
  ClientSite site(true, true);
  QACONTAINER container{};
  container.cbSize = sizeof container;
  container.pClientSite = &site;
  container.pUnkEventSink = static_cast<IDispatch*>(&sink);
  QACONTROL result{};
  result.cbSize = sizeof result;
  ASSERT_EQ(quick->QuickActivate(&container, &result), S_OK);
  EXPECT_EQ(result.dwMiscStatus, 132497u);
  EXPECT_NE(result.dwEventCookie, 0u);
  ASSERT_EQ(control_->put_Active(VARIANT_TRUE), S_OK);
  EXPECT_TRUE(PumpUntil(control_.get(),
                        [&] { return sink.Count(marlet::kDispReadyToSend) >= 1; }));
  control_->put_Active(VARIANT_FALSE);
  quick.reset();
  control_.reset();
  EXPECT_EQ(sink.refs, 0u);
  EXPECT_EQ(site.refs, 0u);
}

// An outer object that aggregates the control and counts its own references.
struct Outer final : IUnknown {
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (riid == IID_IUnknown) {
      *ppv = this;
      AddRef();
      return S_OK;
    }
    return inner ? inner->QueryInterface(riid, ppv) : E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
  STDMETHODIMP_(ULONG) Release() override { return --refs; }
  ULONG refs = 1;
  IUnknown* inner = nullptr;
};

TEST_F(Server, CanBeAggregated) {
  Outer outer;
  EXPECT_EQ(CoCreateInstance(marlet::kClsidMarlet, &outer, CLSCTX_INPROC_SERVER,
                             marlet::kIidIMarlet, reinterpret_cast<void**>(&outer.inner)),
            CLASS_E_NOAGGREGATION);
  ASSERT_EQ(CoCreateInstance(marlet::kClsidMarlet, &outer, CLSCTX_INPROC_SERVER, IID_IUnknown,
                             reinterpret_cast<void**>(&outer.inner)),
            S_OK);
  IMarlet* marlet = nullptr;
  ASSERT_EQ(outer.QueryInterface(marlet::kIidIMarlet, reinterpret_cast<void**>(&marlet)), S_OK);
  // References on the inner object's interfaces are the outer object's.
  EXPECT_EQ(outer.refs, 2u);
  IUnknown* identity = nullptr;
  ASSERT_EQ(marlet->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
  EXPECT_EQ(identity, &outer);
  identity->Release();
  LONG size = 0;
  EXPECT_EQ(marlet->get_InBufferSize(&size), S_OK);
  EXPECT_EQ(size, 2048);
  marlet->Release();
  EXPECT_EQ(outer.refs, 1u);
  EXPECT_EQ(outer.inner->Release(), 0u);
}

TEST_F(Server, TheModuleStaysWhileAnythingIsOutstanding) {
  HMODULE module = LoadLibraryA(MARLETLIB_PATH);
  ASSERT_TRUE(module);
  using CanUnload = HRESULT (*)();
  using GetClass = HRESULT (*)(REFCLSID, REFIID, void**);
  auto can_unload = win32::ProcAs<CanUnload>(GetProcAddress(module, "DllCanUnloadNow"));
  auto get_class = win32::ProcAs<GetClass>(GetProcAddress(module, "DllGetClassObject"));
  ASSERT_TRUE(can_unload && get_class);

  EXPECT_EQ(can_unload(), S_FALSE);  // the fixture's control
  control_.reset();
  EXPECT_EQ(can_unload(), S_OK);

  ComPtr<IClassFactory> factory;
  EXPECT_EQ(get_class(marlet::kIidIMarlet, IID_IClassFactory, factory.put_void()),
            CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(get_class(marlet::kClsidMarlet, IID_IClassFactory, nullptr), E_POINTER);
  ASSERT_EQ(get_class(marlet::kClsidMarlet, IID_IClassFactory, factory.put_void()), S_OK);
  EXPECT_EQ(can_unload(), S_FALSE);  // a factory held by a client
  ComPtr<IClassFactory> again;
  ASSERT_EQ(get_class(marlet::kClsidMarlet, IID_IClassFactory, again.put_void()), S_OK);
  EXPECT_EQ(again.get(), factory.get());  // made once
  again.reset();
  ASSERT_EQ(factory->LockServer(TRUE), S_OK);
  factory.reset();
  EXPECT_EQ(can_unload(), S_FALSE);  // a lock
  ASSERT_EQ(get_class(marlet::kClsidMarlet, IID_IClassFactory, factory.put_void()), S_OK);
  ASSERT_EQ(factory->LockServer(FALSE), S_OK);
  ComPtr<IMarlet> made;
  ASSERT_EQ(factory->CreateInstance(nullptr, marlet::kIidIMarlet, made.put_void()), S_OK);
  factory.reset();
  EXPECT_EQ(can_unload(), S_FALSE);  // an instance
  made.reset();
  EXPECT_EQ(can_unload(), S_OK);
  FreeLibrary(module);
}

}  // namespace
}  // namespace marlet_test
