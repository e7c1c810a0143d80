// The control's property stream reader on any bytes, with a property access that takes every
// value: whatever it reads it frees, and it never reads past the stream.
#include <cstdint>

#include "marlet/persistence.h"
#include "objbase.h"
#include "ole/com_ptr.h"
#include "oleauto.h"

namespace {

class Sink final : public marlet::PropertyAccess {
 public:
  HRESULT Get(DISPID, VARIANT* value) override {
    value->vt = VT_I4;
    value->lVal = 0;
    return S_OK;
  }
  HRESULT Put(DISPID, VARIANT* value) override {
    VARIANT copy;
    VariantInit(&copy);
    HRESULT hr = VariantCopy(&copy, value);
    VariantClear(&copy);
    return hr;
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ole::ComPtr<IStream> stream;
  if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, stream.put()))) return 0;
  ULONG written = 0;
  if (size > 0) stream->Write(data, static_cast<ULONG>(size), &written);
  LARGE_INTEGER zero{};
  stream->Seek(zero, STREAM_SEEK_SET, nullptr);
  Sink sink;
  marlet::LoadFromStream(sink, stream.get());
  return 0;
}
