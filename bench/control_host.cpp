#include "control_host.h"

#include <chrono>
#include <cstdlib>
#include <cstring>

#include "marlet/identity.h"
#include "objbase.h"
#include "oleauto.h"
#include "windows.h"

namespace bench {
namespace {

// {7E2A4C12-3B9D-4F21-A6C3-51D0E8B7F2A4}: the control's event interface.
constexpr IID kEventsIid = {0x7E2A4C12, 0x3B9D, 0x4F21, {0xA6, 0xC3, 0x51, 0xD0, 0xE8, 0xB7, 0xF2, 0xA4}};
constexpr DISPID kDataIn = 1, kError = 2;

}  // namespace

STDMETHODIMP EventCounter::QueryInterface(REFIID riid, void** ppv) {
  if (riid == IID_IUnknown || riid == IID_IDispatch || riid == kEventsIid) {
    *ppv = static_cast<IDispatch*>(this);
    return S_OK;
  }
  *ppv = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP EventCounter::GetTypeInfoCount(UINT* n) {
  *n = 0;
  return S_OK;
}

STDMETHODIMP EventCounter::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*,
                                  EXCEPINFO*, UINT*) {
  if (id == kError) ++errors;
  if (id != kDataIn || params == nullptr || params->cArgs != 3) return S_OK;
  data_in.fetch_add(1, std::memory_order_release);
  // Arguments in reverse order: the datagram is the last one, a string by reference.
  const VARIANT& datagram = params->rgvarg[2];
  if (datagram.vt != (VT_BYREF | VT_BSTR) || datagram.pbstrVal == nullptr) {
    ++wrong_size;
    return S_OK;
  }
  BSTR text = *datagram.pbstrVal;
  const UINT length = SysStringLen(text);
  if (length != expected_size) ++wrong_size;
  if (!check_sequence) return S_OK;
  uint64_t sequence = 0;
  for (UINT i = 4; i < 14 && i < length; ++i) sequence = sequence * 10 + (text[i] - u'0');
  if (sequence != next_sequence) ++out_of_order;
  next_sequence = sequence + 1;
  return S_OK;
}

ControlHost::ControlHost(const std::string& library, const std::string& scratch_dir) {
  const std::string registry = scratch_dir + "/registry.txt";
  setenv("OLE_REGISTRY", registry.c_str(), 1);
  CoInitialize(nullptr);
  HMODULE module = LoadLibraryA(library.c_str());
  module_ = module;
  using Entry = HRESULT (*)();
  FARPROC reg = module ? GetProcAddress(module, "DllRegisterServer") : nullptr;
  if (reg == nullptr || FAILED(win32::ProcAs<Entry>(reg)())) {
    error_ = "cannot register " + library;
    return;
  }
  if (FAILED(CoCreateInstance(marlet::kClsidMarlet, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                              reinterpret_cast<void**>(&control_)))) {
    error_ = "CoCreateInstance failed";
    return;
  }
  IConnectionPointContainer* container = nullptr;
  if (FAILED(control_->QueryInterface(IID_IConnectionPointContainer,
                                      reinterpret_cast<void**>(&container))) ||
      FAILED(container->FindConnectionPoint(kEventsIid, &point_)) ||
      FAILED(point_->Advise(&sink_, &cookie_))) {
    error_ = "cannot connect the event sink";
  }
  if (container) container->Release();
}

ControlHost::~ControlHost() {
  if (control_) PutBool(u"Active", false);
  if (point_) {
    point_->Unadvise(cookie_);
    point_->Release();
  }
  if (control_) control_->Release();
  CoFreeUnusedLibraries();
  CoUninitialize();
  if (module_) FreeLibrary(static_cast<HMODULE>(module_));
}

DISPID ControlHost::Id(const char16_t* name) {
  DISPID id = DISPID_UNKNOWN;
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  control_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  return id;
}

bool ControlHost::Put(const char16_t* name, VARIANT value) {
  DISPID named = DISPID_PROPERTYPUT;
  DISPPARAMS params{&value, &named, 1, 1};
  HRESULT hr = control_->Invoke(Id(name), IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT,
                                &params, nullptr, nullptr, nullptr);
  VariantClear(&value);
  if (FAILED(hr)) {
    IErrorInfo* info = nullptr;
    if (GetErrorInfo(0, &info) == S_OK && info) info->Release();
  }
  return SUCCEEDED(hr);
}

bool ControlHost::PutLong(const char16_t* name, long value) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_I4;
  v.lVal = static_cast<LONG>(value);
  return Put(name, v);
}

bool ControlHost::PutBool(const char16_t* name, bool value) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BOOL;
  v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
  return Put(name, v);
}

bool ControlHost::PutText(const char16_t* name, const char16_t* text) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BSTR;
  v.bstrVal = SysAllocString(text);
  return Put(name, v);
}

long ControlHost::GetLong(const char16_t* name) {
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  VARIANT out;
  VariantInit(&out);
  if (FAILED(control_->Invoke(Id(name), IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none,
                              &out, nullptr, nullptr))) {
    return -1;
  }
  VARIANT as_long;
  VariantInit(&as_long);
  long value = SUCCEEDED(VariantChangeType(&as_long, &out, 0, VT_I4)) ? as_long.lVal : -1;
  VariantClear(&out);
  return value;
}

// The host's own message loop, as any program hosting the control runs one.
void ControlHost::PumpUntil(uint64_t target, int idle_ms) {
  using Clock = std::chrono::steady_clock;
  auto last = Clock::now();
  uint64_t seen = sink_.data_in.load();
  while (sink_.data_in < target && Clock::now() - last < std::chrono::milliseconds(idle_ms)) {
    MSG msg;
    if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    } else {
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
    if (sink_.data_in.load() != seen) {
      seen = sink_.data_in.load();
      last = Clock::now();
    }
  }
}

}  // namespace bench
