#include "memory_stream.h"

#include <cstring>
#include <new>

#include "com_object.h"
#include "objbase.h"

namespace ole {
namespace {

class MemoryStream final
    : public ComObject<MemoryStream, IStream, IID_ISequentialStream, IID_IStream> {
 public:
  MemoryStream(Bytes data, std::u16string name) : data_(std::move(data)), name_(std::move(name)) {}

  // Reading past the end gives what is there and S_OK, as a memory stream on Windows does.
  STDMETHODIMP Read(void* pv, ULONG cb, ULONG* pcbRead) override {
    if (!pv && cb) return STG_E_INVALIDPOINTER;
    const auto& d = *data_;
    ULONG n = 0;
    if (pos_ < d.size()) n = static_cast<ULONG>(std::min<ULONGLONG>(cb, d.size() - pos_));
    if (n) std::memcpy(pv, d.data() + pos_, n);
    pos_ += n;
    if (pcbRead) *pcbRead = n;
    return S_OK;
  }
  STDMETHODIMP Write(const void* pv, ULONG cb, ULONG* pcbWritten) override {
    if (pcbWritten) *pcbWritten = 0;
    if (!pv && cb) return STG_E_INVALIDPOINTER;
    auto& d = *data_;
    const ULONGLONG end = pos_ + cb;
    try {
      if (end > d.size()) d.resize(end);  // a gap after a seek past the end reads as zeros
    } catch (const std::bad_alloc&) {
      return STG_E_MEDIUMFULL;
    }
    if (cb) std::memcpy(d.data() + pos_, pv, cb);
    pos_ = end;
    if (pcbWritten) *pcbWritten = cb;
    return S_OK;
  }
  STDMETHODIMP Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* newpos) override {
    long long base;
    switch (origin) {
      case STREAM_SEEK_SET:
        base = 0;
        break;
      case STREAM_SEEK_CUR:
        base = static_cast<long long>(pos_);
        break;
      case STREAM_SEEK_END:
        base = static_cast<long long>(data_->size());
        break;
      default:
        return STG_E_INVALIDFUNCTION;
    }
    long long target = base + move.QuadPart;
    if (target < 0) return STG_E_INVALIDFUNCTION;
    pos_ = static_cast<ULONGLONG>(target);
    if (newpos) newpos->QuadPart = pos_;
    return S_OK;
  }
  STDMETHODIMP SetSize(ULARGE_INTEGER size) override {
    try {
      data_->resize(size.QuadPart);
    } catch (const std::exception&) {
      return STG_E_MEDIUMFULL;
    }
    return S_OK;
  }
  STDMETHODIMP CopyTo(IStream* pstm, ULARGE_INTEGER cb, ULARGE_INTEGER* pcbRead,
                      ULARGE_INTEGER* pcbWritten) override {
    if (!pstm) return STG_E_INVALIDPOINTER;
    const auto& d = *data_;
    ULONGLONG n = pos_ < d.size() ? std::min<ULONGLONG>(cb.QuadPart, d.size() - pos_) : 0;
    n = std::min<ULONGLONG>(n, 0xFFFFFFFFu);
    ULONG written = 0;
    HRESULT hr = pstm->Write(d.data() + pos_, static_cast<ULONG>(n), &written);
    pos_ += n;
    if (pcbRead) pcbRead->QuadPart = n;
    if (pcbWritten) pcbWritten->QuadPart = written;
    return hr;
  }
  STDMETHODIMP Commit(DWORD) override { return S_OK; }
  STDMETHODIMP Revert() override { return S_OK; }
  STDMETHODIMP LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
    return STG_E_INVALIDFUNCTION;
  }
  STDMETHODIMP UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
    return STG_E_INVALIDFUNCTION;
  }
  STDMETHODIMP Stat(STATSTG* st, DWORD flag) override {
    if (!st) return STG_E_INVALIDPOINTER;
    std::memset(st, 0, sizeof *st);
    st->type = STGTY_STREAM;
    st->cbSize.QuadPart = data_->size();
    if (!(flag & STATFLAG_NONAME) && !name_.empty()) {
      auto* p = static_cast<LPOLESTR>(CoTaskMemAlloc((name_.size() + 1) * sizeof(OLECHAR)));
      if (!p) return STG_E_INSUFFICIENTMEMORY;
      std::memcpy(p, name_.c_str(), (name_.size() + 1) * sizeof(OLECHAR));
      st->pwcsName = p;
    }
    return S_OK;
  }
  // A clone shares the bytes and starts at this stream's position.
  STDMETHODIMP Clone(IStream** ppstm) override {
    if (!ppstm) return STG_E_INVALIDPOINTER;
    auto* clone = new (std::nothrow) MemoryStream(data_, name_);
    if (!clone) return E_OUTOFMEMORY;
    clone->pos_ = pos_;
    *ppstm = clone;
    return S_OK;
  }

 private:
  Bytes data_;
  std::u16string name_;
  ULONGLONG pos_ = 0;
};

}  // namespace

HRESULT CreateMemoryStream(Bytes data, std::u16string name, IStream** out) {
  if (!out) return E_POINTER;
  *out = new (std::nothrow) MemoryStream(std::move(data), std::move(name));
  return *out ? S_OK : E_OUTOFMEMORY;
}

}  // namespace ole

STDAPI CreateStreamOnHGlobal(HGLOBAL hGlobal, BOOL, LPSTREAM* ppstm) {
  if (!ppstm) return E_INVALIDARG;
  *ppstm = nullptr;
  if (hGlobal) return E_INVALIDARG;
  auto bytes = std::make_shared<std::vector<BYTE>>();
  return ole::CreateMemoryStream(std::move(bytes), u"", ppstm);
}
