#include "memory_stream.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "com_object.h"
#include "objbase.h"

namespace ole {
namespace {

// Far beyond any property set or saved control, and small enough that reaching it never
// ends the process: a stream refuses to grow past it with STG_E_MEDIUMFULL.
constexpr ULONGLONG kMaxStreamSize = 1ull << 30;

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
    const ULONGLONG end = pos_ + cb;  // pos_ stays below 2^63, so this cannot wrap
    if (end > d.size()) {
      // A gap after a seek past the end reads as zeros.
      HRESULT hr = Resize(end);
      if (FAILED(hr)) return hr;
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
    long long target = 0;
    if (__builtin_add_overflow(base, move.QuadPart, &target) || target < 0) {
      return STG_E_INVALIDFUNCTION;
    }
    pos_ = static_cast<ULONGLONG>(target);
    if (newpos) newpos->QuadPart = pos_;
    return S_OK;
  }
  STDMETHODIMP SetSize(ULARGE_INTEGER size) override { return Resize(size.QuadPart); }
  // Copies through a buffer of its own: the target may share these bytes (a clone, or this
  // very stream), and its writes may move them.
  STDMETHODIMP CopyTo(IStream* pstm, ULARGE_INTEGER cb, ULARGE_INTEGER* pcbRead,
                      ULARGE_INTEGER* pcbWritten) override {
    if (!pstm) return STG_E_INVALIDPOINTER;
    const ULONGLONG start = pos_;
    const size_t size = data_->size();
    const ULONGLONG n = start < size ? std::min<ULONGLONG>(cb.QuadPart, size - start) : 0;
    std::vector<BYTE> chunk;
    ULONGLONG read = 0, written = 0;
    HRESULT hr = S_OK;
    try {
      chunk.resize(static_cast<size_t>(std::min<ULONGLONG>(n, 1 << 16)));
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    }
    while (read < n && SUCCEEDED(hr)) {
      const ULONGLONG from = start + read;
      if (from >= data_->size()) break;  // the target shrank these bytes meanwhile
      const size_t len =
          static_cast<size_t>(std::min<ULONGLONG>({n - read, chunk.size(), data_->size() - from}));
      std::memcpy(chunk.data(), data_->data() + from, len);
      read += len;
      ULONG done = 0;
      hr = pstm->Write(chunk.data(), static_cast<ULONG>(len), &done);
      written += done;
    }
    pos_ = start + read;
    if (pcbRead) pcbRead->QuadPart = read;
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
  HRESULT Resize(ULONGLONG size) {
    if (size > kMaxStreamSize) return STG_E_MEDIUMFULL;
    try {
      data_->resize(static_cast<size_t>(size));
    } catch (const std::bad_alloc&) {
      return STG_E_MEDIUMFULL;
    }
    return S_OK;
  }

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
