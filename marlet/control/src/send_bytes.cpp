// DataToSendB: a one-dimensional array of bytes goes out unchanged; an array of variants
// gives the lowest byte of each element's value.
#include <cstring>
#include <memory>
#include <new>

#include "control_object.h"

namespace marlet {
namespace {

constexpr uint32_t kHelpDataToSendB = 21301;

// The array a value holds, directly or by reference; null for anything else.
SAFEARRAY* HeldArray(const VARIANT& value, VARTYPE element) {
  if (value.vt == (VT_ARRAY | element)) return value.parray;
  if (value.vt == (VT_BYREF | VT_ARRAY | element)) return value.pparray ? *value.pparray : nullptr;
  return nullptr;
}

BYTE LowestByte(const VARIANT& element) {
  if (!(element.vt & VT_BYREF)) return element.bVal;
  VARIANT value;
  VariantInit(&value);
  BYTE byte = 0;
  if (SUCCEEDED(VariantCopyInd(&value, &element))) byte = value.bVal;
  VariantClear(&value);
  return byte;
}

}  // namespace

STDMETHODIMP MarletControl::put_DataToSendB(VARIANT newVal) {
  const VARIANT& value = newVal.vt == (VT_BYREF | VT_VARIANT) && newVal.pvarVal
                             ? *newVal.pvarVal
                             : newVal;
  SAFEARRAY* bytes = HeldArray(value, VT_UI1);
  SAFEARRAY* variants = bytes ? nullptr : HeldArray(value, VT_VARIANT);
  SAFEARRAY* array = bytes ? bytes : variants;
  if (!array || SafeArrayGetDim(array) != 1) {
    return Refuse(FrameworkError::kNotByteArray, kHelpDataToSendB);
  }
  LONG lower = 0;
  LONG upper = -1;
  SafeArrayGetLBound(array, 1, &lower);
  SafeArrayGetUBound(array, 1, &upper);
  const LONG count = upper >= lower ? upper - lower + 1 : 0;
  void* data = nullptr;
  if (FAILED(SafeArrayAccessData(array, &data))) {
    return Refuse(FrameworkError::kNotByteArray, kHelpDataToSendB);
  }
  HRESULT hr;
  if (bytes) {
    hr = Result(engine_.Send(static_cast<const char*>(data), count), kHelpDataToSendB);
  } else {
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[static_cast<size_t>(count) + 1]);
    if (!buffer) {
      hr = Result(kOutOfMemory, kHelpDataToSendB);
    } else {
      const auto* elements = static_cast<const VARIANT*>(data);
      for (LONG i = 0; i < count; ++i) {
        buffer[static_cast<size_t>(i)] = static_cast<char>(LowestByte(elements[i]));
      }
      hr = Result(engine_.Send(buffer.get(), count), kHelpDataToSendB);
    }
  }
  SafeArrayUnaccessData(array);
  return hr;
}

}  // namespace marlet
