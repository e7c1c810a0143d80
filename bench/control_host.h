// A host of the Marlet control for the benchmark and the soak: registers the library into a
// scratch registry, creates the control by its class id, sets properties by name through
// IDispatch and counts DataIn events arriving at its sink by Invoke.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "oaidl.h"
#include "ocidl.h"

namespace bench {

// An event sink for _IMarletEvents: counts DataIn and Error, and checks that datagrams
// arrive in sequence ("seq:NNNNNNNNNN" leads each payload).
class EventCounter final : public IDispatch {
 public:
  STDMETHOD(QueryInterface)(REFIID riid, void** ppv) override;
  STDMETHOD_(ULONG, AddRef)() override { return 2; }
  STDMETHOD_(ULONG, Release)() override { return 1; }
  STDMETHOD(GetTypeInfoCount)(UINT* n) override;
  STDMETHOD(GetTypeInfo)(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHOD(GetIDsOfNames)(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  STDMETHOD(Invoke)(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                    UINT*) override;

  std::atomic<uint64_t> data_in{0};  // read by a sender thread that paces itself on it
  uint64_t errors = 0, out_of_order = 0, wrong_size = 0;
  uint64_t next_sequence = 0;
  std::size_t expected_size = 0;
  bool check_sequence = true;
  virtual ~EventCounter() = default;
};

class ControlHost {
 public:
  // Registers `library` into a fresh registry under `scratch_dir` and creates the control.
  ControlHost(const std::string& library, const std::string& scratch_dir);
  ~ControlHost();
  ControlHost(const ControlHost&) = delete;
  ControlHost& operator=(const ControlHost&) = delete;

  bool ok() const { return control_ != nullptr && error_.empty(); }
  const std::string& error() const { return error_; }
  bool Put(const char16_t* name, VARIANT value);
  bool PutLong(const char16_t* name, long value);
  bool PutBool(const char16_t* name, bool value);
  bool PutText(const char16_t* name, const char16_t* text);
  long GetLong(const char16_t* name);
  // Runs the thread's queue until the sink has counted `target` DataIn events or nothing
  // arrives for `idle_ms`.
  void PumpUntil(uint64_t target, int idle_ms);
  EventCounter& sink() { return sink_; }

 private:
  DISPID Id(const char16_t* name);
  void* module_ = nullptr;
  IDispatch* control_ = nullptr;
  IConnectionPoint* point_ = nullptr;
  DWORD cookie_ = 0;
  EventCounter sink_;
  std::string error_;
};

}  // namespace bench
