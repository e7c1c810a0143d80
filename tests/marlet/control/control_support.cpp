#include "control_support.h"

#include <thread>

#include "objbase.h"
#include "olectl.h"
#include "win32/nls.h"

namespace marlet_test {

oletest::ScratchRegistry* Registered::registry = nullptr;

void Registered::SetUp() {
  registry = new oletest::ScratchRegistry;
  const oletest::Run run = oletest::RunProgram({REGSVR_PATH, MARLETLIB_PATH});
  ASSERT_EQ(run.exit_code, 0) << run.out << run.err;
}

void Registered::TearDown() {
  delete registry;
  registry = nullptr;
}

std::string Narrow(BSTR s) {
  const int length = static_cast<int>(SysStringLen(s));
  if (length == 0) return {};
  const int n = WideCharToMultiByte(CP_ACP, 0, s, length, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, s, length, out.data(), n, nullptr, nullptr);
  return out;
}

BSTR Wide(const std::string& s) {
  const int length = static_cast<int>(s.size());
  const int n = length ? MultiByteToWideChar(CP_ACP, 0, s.data(), length, nullptr, 0) : 0;
  BSTR out = SysAllocStringLen(nullptr, static_cast<UINT>(n));
  if (n) MultiByteToWideChar(CP_ACP, 0, s.data(), length, out, n);
  return out;
}

ErrorReport TakeError(HRESULT hr) {
  ErrorReport r;
  r.hr = hr;
  IErrorInfo* info = nullptr;
  if (GetErrorInfo(0, &info) != S_OK || !info) return r;
  BSTR text = nullptr;
  info->GetDescription(&text);
  r.description = Narrow(text);
  SysFreeString(text);
  text = nullptr;
  info->GetSource(&text);
  r.source = Narrow(text);
  SysFreeString(text);
  text = nullptr;
  info->GetHelpFile(&text);
  r.help_file = Narrow(text);
  SysFreeString(text);
  info->GetHelpContext(&r.help_context);
  info->Release();
  return r;
}

STDMETHODIMP EventSink::QueryInterface(REFIID riid, void** ppv) {
  if (riid == IID_IUnknown || riid == IID_IDispatch || riid == marlet::kIidIMarletEvents) {
    *ppv = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  *ppv = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP EventSink::Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                               VARIANT*, EXCEPINFO*, UINT*) {
  EXPECT_TRUE(riid == IID_NULL);
  EXPECT_EQ(lcid, 0x0400u);
  EXPECT_EQ(flags, DISPATCH_METHOD);
  Fired f;
  f.dispid = id;
  const VARIANT* a = params->rgvarg;
  switch (id) {
    case marlet::kDispDataIn:
      // Arguments arrive in reverse order: SourcePort, SourceAddress, Datagram.
      EXPECT_EQ(params->cArgs, 3u);
      EXPECT_EQ(a[0].vt, VT_BYREF | VT_I2);
      EXPECT_EQ(a[1].vt, VT_BYREF | VT_BSTR);
      EXPECT_EQ(a[2].vt, VT_BYREF | VT_BSTR);
      f.number = *a[0].piVal;
      f.address = Narrow(*a[1].pbstrVal);
      f.text = Narrow(*a[2].pbstrVal);
      if (control) {
        VARIANT v;
        VariantInit(&v);
        EXPECT_EQ(control->get_DataInDatagramB(&v), S_OK);
        f.bytes_type = v.vt;
        if (v.vt == (VT_ARRAY | VT_UI1)) {
          LONG lower = -1;
          SafeArrayGetLBound(v.parray, 1, &lower);
          EXPECT_EQ(lower, 0);
          void* data = nullptr;
          SafeArrayAccessData(v.parray, &data);
          f.bytes.assign(static_cast<const char*>(data), v.parray->rgsabound[0].cElements);
          SafeArrayUnaccessData(v.parray);
        }
        VariantClear(&v);
      }
      break;
    case marlet::kDispError:
      EXPECT_EQ(params->cArgs, 2u);
      EXPECT_EQ(a[0].vt, VT_BYREF | VT_BSTR);
      EXPECT_EQ(a[1].vt, VT_BYREF | VT_I2);
      f.text = Narrow(*a[0].pbstrVal);
      f.number = *a[1].piVal;
      break;
    case marlet::kDispReadyToSend:
      EXPECT_EQ(params->cArgs, 0u);
      break;
    default:
      ADD_FAILURE() << "unknown event " << id;
  }
  fired.push_back(f);
  if (on_event) on_event(fired.back());
  return S_OK;
}

size_t EventSink::Count(DISPID id) const {
  size_t n = 0;
  for (const Fired& f : fired) n += f.dispid == id;
  return n;
}

std::vector<std::string> EventSink::Data() const {
  std::vector<std::string> out;
  for (const Fired& f : fired) {
    if (f.dispid == marlet::kDispDataIn) out.push_back(f.text);
  }
  return out;
}

STDMETHODIMP ClientSite::QueryInterface(REFIID riid, void** ppv) {
  if (riid == IID_IUnknown || riid == IID_IOleClientSite) {
    *ppv = static_cast<IOleClientSite*>(this);
  } else if (riid == IID_IDispatch && ambient_) {
    *ppv = static_cast<IDispatch*>(this);
  } else {
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

STDMETHODIMP ClientSite::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result,
                                EXCEPINFO*, UINT*) {
  if (id != DISPID_AMBIENT_USERMODE) return DISP_E_MEMBERNOTFOUND;
  result->vt = VT_BOOL;
  result->boolVal = user_mode_ ? VARIANT_TRUE : VARIANT_FALSE;
  return S_OK;
}

void ControlTest::SetUp() {
  ASSERT_EQ(CoInitialize(nullptr), S_OK);
  control_ = Create();
  ASSERT_TRUE(control_);
}

void ControlTest::TearDown() {
  control_.reset();
  CoUninitialize();
}

ComPtr<IMarlet> ControlTest::Create() {
  ComPtr<IMarlet> control;
  EXPECT_EQ(CoCreateInstance(marlet::kClsidMarlet, nullptr, CLSCTX_INPROC_SERVER,
                             marlet::kIidIMarlet, control.put_void()),
            S_OK);
  return control;
}

DWORD ControlTest::Connect(IMarlet* control, EventSink& sink) {
  ComPtr<IConnectionPointContainer> container;
  EXPECT_EQ(control->QueryInterface(IID_IConnectionPointContainer, container.put_void()), S_OK);
  ComPtr<IConnectionPoint> point;
  EXPECT_EQ(container->FindConnectionPoint(marlet::kIidIMarletEvents, point.put()), S_OK);
  DWORD cookie = 0;
  EXPECT_EQ(point->Advise(static_cast<IDispatch*>(&sink), &cookie), S_OK);
  return cookie;
}

bool ControlTest::PumpUntil(IMarlet* control, const std::function<bool()>& done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    control->DoEvents();
  }
  return true;
}

void ControlTest::PumpFor(IMarlet* control, std::chrono::milliseconds span) {
  const auto end = std::chrono::steady_clock::now() + span;
  while (std::chrono::steady_clock::now() < end) control->DoEvents();
}

HRESULT ControlTest::GetByName(IDispatch* d, const char16_t* name, VARIANT* out) {
  DISPID id = 0;
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  HRESULT hr = d->GetIDsOfNames(IID_NULL, names, 1, 0, &id);
  if (FAILED(hr)) return hr;
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  EXCEPINFO excep{};
  hr = d->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, out, &excep, nullptr);
  SysFreeString(excep.bstrSource);
  SysFreeString(excep.bstrDescription);
  SysFreeString(excep.bstrHelpFile);
  return hr == DISP_E_EXCEPTION ? excep.scode : hr;
}

HRESULT ControlTest::PutByName(IDispatch* d, const char16_t* name, VARIANT value) {
  DISPID id = 0;
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  HRESULT hr = d->GetIDsOfNames(IID_NULL, names, 1, 0, &id);
  if (FAILED(hr)) return hr;
  DISPID put = DISPID_PROPERTYPUT;
  DISPPARAMS params{&value, &put, 1, 1};
  EXCEPINFO excep{};
  hr = d->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYPUT, &params, nullptr, &excep, nullptr);
  SysFreeString(excep.bstrSource);
  SysFreeString(excep.bstrDescription);
  SysFreeString(excep.bstrHelpFile);
  return hr == DISP_E_EXCEPTION ? excep.scode : hr;
}

}  // namespace marlet_test

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  testing::AddGlobalTestEnvironment(new marlet_test::Registered);
  return RUN_ALL_TESTS();
}
