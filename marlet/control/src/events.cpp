// The engine's callbacks become DataIn, Error and ReadyToSend on every connected sink.
#include "control_object.h"
#include "olectl.h"
#include "text.h"

namespace marlet {
namespace {

// Strings the event arguments own, freed whatever the handlers did.
struct BstrHolder {
  BSTR value = nullptr;
  ~BstrHolder() { SysFreeString(value); }
};

VARIANT ByRef(VARTYPE type, void* target) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BYREF | type;
  v.byref = target;
  return v;
}

}  // namespace

void MarletControl::Deliver(const char* data, int length, const char* address, uint16_t port) {
  BstrHolder datagram{BstrFromAnsi(data, length)};
  BstrHolder source{datagram.value ? BstrFromAnsi(std::string(address ? address : "")) : nullptr};
  if (!datagram.value || !source.value) {
    Error(kEventOutOfMemory, kEventOutOfMemoryText);
    return;
  }
  // A handler may release the host's last reference: the object outlives its own event.
  AddRef();
  auto source_port = static_cast<SHORT>(port);
  VARIANT args[3] = {ByRef(VT_I2, &source_port), ByRef(VT_BSTR, &source.value),
                     ByRef(VT_BSTR, &datagram.value)};
  DISPPARAMS params{args, nullptr, 3, 0};
  const char* outer_datagram = datagram_;
  const int outer_length = datagram_length_;
  datagram_ = data;
  datagram_length_ = length;
  events_.Fire(kDispDataIn, &params);
  datagram_ = outer_datagram;
  datagram_length_ = outer_length;
  Release();
}

void MarletControl::Error(Code code, const char* text) {
  BstrHolder description{BstrFromAnsi(std::string(text ? text : ""))};
  auto error_code = static_cast<SHORT>(code);
  VARIANT args[2] = {ByRef(VT_BSTR, &description.value), ByRef(VT_I2, &error_code)};
  DISPPARAMS params{args, nullptr, 2, 0};
  AddRef();
  events_.Fire(kDispError, &params);
  Release();
}

void MarletControl::ReadyToSend() {
  DISPPARAMS params{nullptr, nullptr, 0, 0};
  AddRef();
  events_.Fire(kDispReadyToSend, &params);
  Release();
}

bool MarletControl::DesignMode() {
  if (!site_) return false;
  IDispatch* ambient = nullptr;
  if (FAILED(site_->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&ambient))) ||
      !ambient) {
    return false;
  }
  VARIANT value;
  VariantInit(&value);
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  const HRESULT hr = ambient->Invoke(DISPID_AMBIENT_USERMODE, IID_NULL, 0, DISPATCH_PROPERTYGET,
                                     &none, &value, nullptr, nullptr);
  ambient->Release();
  bool design = false;
  if (SUCCEEDED(hr)) {
    VARIANT as_bool;
    VariantInit(&as_bool);
    if (SUCCEEDED(VariantChangeType(&as_bool, &value, 0, VT_BOOL))) design = !as_bool.boolVal;
    VariantClear(&as_bool);
  }
  VariantClear(&value);
  return design;
}

}  // namespace marlet
