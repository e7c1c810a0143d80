#include "marlet/persistence.h"

#include <cstring>

#include "ole/com_ptr.h"
#include "oleauto.h"

namespace marlet {
namespace {

// Longest string accepted from a stream: far above any host name, and a bound on what a
// damaged or hostile stream can make us allocate.
constexpr ULONG kMaxStringBytes = 1u << 20;

// Bytes of a value of this type in the stream; 0 for a string, -1 for a type saved as string.
int ValueSize(VARTYPE vt) {
  switch (vt) {
    case VT_I1:
    case VT_UI1:
      return 1;
    case VT_I2:
    case VT_UI2:
    case VT_BOOL:
      return 2;
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_R4:
    case VT_ERROR:
      return 4;
    case VT_R8:
    case VT_CY:
    case VT_DATE:
      return 8;
    case VT_BSTR:
      return 0;
    default:
      return -1;
  }
}

HRESULT Write(IStream* stream, const void* data, ULONG size) {
  ULONG written = 0;
  HRESULT hr = stream->Write(data, size, &written);
  if (FAILED(hr)) return hr;
  return written == size ? S_OK : STG_E_MEDIUMFULL;
}

// Streams may hand out fewer bytes than asked: read until done or the stream is dry.
HRESULT Read(IStream* stream, void* data, ULONG size) {
  auto* p = static_cast<unsigned char*>(data);
  while (size > 0) {
    ULONG got = 0;
    HRESULT hr = stream->Read(p, size, &got);
    if (FAILED(hr)) return hr;
    if (got == 0) return STG_E_READFAULT;
    p += got;
    size -= got;
  }
  return S_OK;
}

HRESULT WriteUInt(IStream* stream, uint32_t value, ULONG size) {
  unsigned char bytes[4];
  for (ULONG i = 0; i < size; ++i) bytes[i] = static_cast<unsigned char>(value >> (8 * i));
  return Write(stream, bytes, size);
}

HRESULT ReadUInt(IStream* stream, uint32_t& value, ULONG size) {
  unsigned char bytes[4] = {};
  HRESULT hr = Read(stream, bytes, size);
  value = 0;
  for (ULONG i = 0; i < size; ++i) value |= static_cast<uint32_t>(bytes[i]) << (8 * i);
  return hr;
}

HRESULT WriteVariant(IStream* stream, const VARIANT& value) {
  int size = ValueSize(value.vt);
  if (size < 0) {
    VARIANT text;
    VariantInit(&text);
    HRESULT hr = VariantChangeType(&text, &value, 0, VT_BSTR);
    if (SUCCEEDED(hr)) hr = WriteVariant(stream, text);
    VariantClear(&text);
    return hr;
  }
  HRESULT hr = WriteUInt(stream, value.vt, 2);
  if (FAILED(hr)) return hr;
  if (size > 0) {
    // Little-endian: every scalar member of the union starts at its first byte.
    unsigned char bytes[8];
    std::memcpy(bytes, &value.llVal, static_cast<std::size_t>(size));
    return Write(stream, bytes, static_cast<ULONG>(size));
  }
  if (value.bstrVal == nullptr) return WriteUInt(stream, 0, 4);
  const ULONG bytes = (SysStringLen(value.bstrVal) + 1) * sizeof(OLECHAR);
  hr = WriteUInt(stream, bytes, 4);
  if (SUCCEEDED(hr)) hr = Write(stream, value.bstrVal, bytes);  // with its terminator
  return hr;
}

HRESULT ReadVariant(IStream* stream, VARIANT& value) {
  uint32_t vt = 0;
  HRESULT hr = ReadUInt(stream, vt, 2);
  if (FAILED(hr)) return hr;
  const int size = ValueSize(static_cast<VARTYPE>(vt));
  if (size < 0) return DISP_E_BADVARTYPE;
  if (size > 0) {
    unsigned char bytes[8] = {};
    hr = Read(stream, bytes, static_cast<ULONG>(size));
    if (FAILED(hr)) return hr;
    value.vt = static_cast<VARTYPE>(vt);
    std::memcpy(&value.llVal, bytes, static_cast<std::size_t>(size));
    return S_OK;
  }
  uint32_t count = 0;
  hr = ReadUInt(stream, count, 4);
  if (FAILED(hr)) return hr;
  if (count == 0) {
    value.vt = VT_BSTR;
    value.bstrVal = nullptr;
    return S_OK;
  }
  if (count % 2 != 0 || count > kMaxStringBytes) return E_FAIL;
  BSTR text = SysAllocStringLen(nullptr, count / 2 - 1);
  if (text == nullptr) return E_OUTOFMEMORY;
  hr = Read(stream, text, count);  // the terminator lands on the one BSTR keeps
  if (SUCCEEDED(hr) && text[count / 2 - 1] != 0) hr = E_FAIL;
  if (FAILED(hr)) {
    SysFreeString(text);
    return hr;
  }
  value.vt = VT_BSTR;
  value.bstrVal = text;
  return S_OK;
}

// A VARIANT that clears itself.
struct Value {
  Value() {
    std::memset(&v, 0, sizeof v);  // a bag told only the type finds a null payload
    VariantInit(&v);
  }
  ~Value() { VariantClear(&v); }
  Value(const Value&) = delete;
  Value& operator=(const Value&) = delete;
  VARIANT v;
};

// Counts what is written.
class SizeStream final : public IStream {
 public:
  ULONGLONG size = 0;
  STDMETHODIMP QueryInterface(REFIID, void** ppv) override {
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return 1; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }
  STDMETHODIMP Read(void*, ULONG, ULONG*) override { return E_NOTIMPL; }
  STDMETHODIMP Write(const void*, ULONG cb, ULONG* written) override {
    size += cb;
    if (written) *written = cb;
    return S_OK;
  }
  STDMETHODIMP Seek(LARGE_INTEGER, DWORD, ULARGE_INTEGER*) override { return E_NOTIMPL; }
  STDMETHODIMP SetSize(ULARGE_INTEGER) override { return E_NOTIMPL; }
  STDMETHODIMP CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override {
    return E_NOTIMPL;
  }
  STDMETHODIMP Commit(DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP Revert() override { return E_NOTIMPL; }
  STDMETHODIMP LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP Stat(STATSTG*, DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP Clone(IStream**) override { return E_NOTIMPL; }
};

}  // namespace

HRESULT DispatchPropertyAccess::Get(DISPID dispid, VARIANT* value) {
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  return dispatch_->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none,
                           value, nullptr, nullptr);
}

HRESULT DispatchPropertyAccess::Put(DISPID dispid, VARIANT* value) {
  DISPID named = DISPID_PROPERTYPUT;
  DISPPARAMS params{value, &named, 1, 1};
  return dispatch_->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &params,
                           nullptr, nullptr, nullptr);
}

HRESULT SaveToStream(PropertyAccess& properties, IStream* stream) {
  if (stream == nullptr) return E_POINTER;
  HRESULT hr = WriteUInt(stream, kPersistVersion, 4);
  for (const PersistedProperty& p : kPersistedProperties) {
    if (FAILED(hr)) return hr;
    Value value;
    hr = properties.Get(p.dispid, &value.v);
    if (SUCCEEDED(hr)) hr = WriteVariant(stream, value.v);
  }
  return hr;
}

HRESULT LoadFromStream(PropertyAccess& properties, IStream* stream) {
  if (stream == nullptr) return E_POINTER;
  uint32_t version = 0;
  HRESULT hr = ReadUInt(stream, version, 4);
  if (FAILED(hr)) return hr;
  if (version > kPersistVersion) return E_FAIL;
  for (const PersistedProperty& p : kPersistedProperties) {
    Value value;
    hr = ReadVariant(stream, value.v);
    if (SUCCEEDED(hr)) hr = properties.Put(p.dispid, &value.v);
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

HRESULT StreamSize(PropertyAccess& properties, ULARGE_INTEGER* size) {
  if (size == nullptr) return E_POINTER;
  SizeStream counter;
  HRESULT hr = SaveToStream(properties, &counter);
  size->QuadPart = SUCCEEDED(hr) ? counter.size : 0;
  return hr;
}

HRESULT SaveToStorage(PropertyAccess& properties, IStorage* storage) {
  if (storage == nullptr) return E_POINTER;
  ole::ComPtr<IStream> stream;
  HRESULT hr = storage->CreateStream(u"Contents", STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE,
                                     0, 0, stream.put());
  if (FAILED(hr)) return hr;
  return SaveToStream(properties, stream.get());
}

HRESULT LoadFromStorage(PropertyAccess& properties, IStorage* storage) {
  if (storage == nullptr) return E_POINTER;
  ole::ComPtr<IStream> stream;
  HRESULT hr =
      storage->OpenStream(u"Contents", nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, stream.put());
  if (FAILED(hr)) return hr;
  return LoadFromStream(properties, stream.get());
}

HRESULT SaveToPropertyBag(PropertyAccess& properties, IPropertyBag* bag) {
  if (bag == nullptr) return E_POINTER;
  for (const PersistedProperty& p : kPersistedProperties) {
    Value value;
    HRESULT hr = properties.Get(p.dispid, &value.v);
    if (SUCCEEDED(hr)) hr = bag->Write(p.name, &value.v);
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

HRESULT LoadFromPropertyBag(PropertyAccess& properties, IPropertyBag* bag, IErrorLog* log) {
  if (bag == nullptr) return E_POINTER;
  for (const PersistedProperty& p : kPersistedProperties) {
    Value current;
    HRESULT hr = properties.Get(p.dispid, &current.v);
    if (FAILED(hr)) return hr;
    Value stored;
    stored.v.vt = current.v.vt;  // the type asked of the bag
    if (FAILED(bag->Read(p.name, &stored.v, log))) continue;
    hr = properties.Put(p.dispid, &stored.v);
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

}  // namespace marlet
