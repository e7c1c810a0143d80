// The Marlet control as a host meets it: registered with regsvr into a scratch registry,
// created by its class id, driven early and late bound, its events caught by a sink.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "marlet/imarlet.h"
#include "ocidl.h"
#include "oleauto.h"
#include "ole/com_ptr.h"
#include "support.h"

namespace marlet_test {

using marlet::IMarlet;
using ole::ComPtr;

// What one event delivered, as the sink saw its arguments.
struct Fired {
  DISPID dispid = 0;
  std::string text;     // Datagram or Description, as bytes of the ANSI code page
  std::string address;  // SourceAddress
  int number = 0;       // SourcePort or ErrorCode, 16-bit signed
  std::string bytes;    // DataInDatagramB read from inside the handler
  VARTYPE bytes_type = VT_EMPTY;
};

// An _IMarletEvents sink that records every Invoke and checks its calling convention.
class EventSink final : public IDispatch {
 public:
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
  STDMETHODIMP_(ULONG) Release() override { return --refs; }  // lives on the test's stack
  STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                      VARIANT*, EXCEPINFO*, UINT*) override;

  size_t Count(DISPID id) const;
  std::vector<std::string> Data() const;

  ULONG refs = 0;
  std::vector<Fired> fired;
  IMarlet* control = nullptr;  // read DataInDatagramB from inside DataIn when set
  std::function<void(const Fired&)> on_event;
};

// A client site whose ambient properties answer UserMode with `user_mode`; with
// `ambient` false it offers no ambient properties at all.
class ClientSite final : public IOleClientSite, public IDispatch {
 public:
  ClientSite(bool ambient, bool user_mode) : ambient_(ambient), user_mode_(user_mode) {}
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
  STDMETHODIMP_(ULONG) Release() override { return --refs; }
  STDMETHODIMP SaveObject() override { return E_NOTIMPL; }
  STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
  STDMETHODIMP GetContainer(IOleContainer**) override { return E_NOINTERFACE; }
  STDMETHODIMP ShowObject() override { return S_OK; }
  STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
  STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }
  STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                      UINT*) override;
  ULONG refs = 0;

 private:
  bool ambient_;
  bool user_mode_;
};

// The thread's error information after a failed call.
struct ErrorReport {
  HRESULT hr = S_OK;
  std::string description, source, help_file;
  DWORD help_context = 0;
};
ErrorReport TakeError(HRESULT hr);

std::string Narrow(BSTR s);
BSTR Wide(const std::string& s);  // the caller frees it

// The library registered once for the whole test program, in a registry of its own.
class Registered : public testing::Environment {
 public:
  void SetUp() override;
  void TearDown() override;
  static oletest::ScratchRegistry* registry;
};

class ControlTest : public testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  ComPtr<IMarlet> Create();
  // Connects the sink to the control's events; the cookie is returned.
  DWORD Connect(IMarlet* control, EventSink& sink);
  // Pumps through the control until `done` holds or three seconds have passed.
  bool PumpUntil(IMarlet* control, const std::function<bool()>& done);
  void PumpFor(IMarlet* control, std::chrono::milliseconds span);

  // Late bound, by member name.
  HRESULT GetByName(IDispatch* d, const char16_t* name, VARIANT* out);
  HRESULT PutByName(IDispatch* d, const char16_t* name, VARIANT value);

  ComPtr<IMarlet> control_;
};

}  // namespace marlet_test
