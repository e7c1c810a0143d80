// Storages kept in memory: named streams and sub-storages, names compared without regard
// to ASCII case and limited to 31 characters, as in a compound file.
#include <cstring>
#include <map>
#include <new>
#include <vector>

#include "com_object.h"
#include "memory_stream.h"
#include "objbase.h"
#include "text_fold.h"

namespace ole {
namespace {

struct StorageData;
struct Element {
  Bytes stream;                          // set for a stream
  std::shared_ptr<StorageData> storage;  // set for a storage
};
struct StorageData {
  std::map<std::u16string, Element, NoCaseLess> elements;
  CLSID clsid = CLSID_NULL;
  DWORD state_bits = 0;
};

// Whether `inner` is `outer` itself or a storage anywhere beneath it.
bool Contains(const StorageData& outer, const StorageData* inner) {
  std::vector<const StorageData*> pending{&outer};
  while (!pending.empty()) {
    const StorageData* d = pending.back();
    pending.pop_back();
    if (d == inner) return true;
    for (const auto& [name, e] : d->elements) {
      if (e.storage) pending.push_back(e.storage.get());
    }
  }
  return false;
}

LPOLESTR TaskCopy(const std::u16string& s) {
  auto* p = static_cast<LPOLESTR>(CoTaskMemAlloc((s.size() + 1) * sizeof(OLECHAR)));
  if (p) std::memcpy(p, s.c_str(), (s.size() + 1) * sizeof(OLECHAR));
  return p;
}

HRESULT CheckName(const OLECHAR* name, std::u16string& out) {
  if (!name) return STG_E_INVALIDNAME;
  out = name;
  if (out.empty() || out.size() > 31) return STG_E_INVALIDNAME;
  for (char16_t c : out) {
    if (c == u'\\' || c == u'/' || c == u':' || c == u'!') return STG_E_INVALIDNAME;
  }
  return S_OK;
}

HRESULT CheckMode(DWORD mode) {
  // Elements of a storage are opened for exclusive use only, as in a compound file.
  return (mode & 0x70) == STGM_SHARE_EXCLUSIVE ? S_OK : STG_E_INVALIDFLAG;
}

STATSTG StatOf(const std::u16string& name, const Element& e, bool with_name) {
  STATSTG st{};
  st.type = e.stream ? STGTY_STREAM : STGTY_STORAGE;
  if (e.stream) st.cbSize.QuadPart = e.stream->size();
  if (e.storage) {
    st.clsid = e.storage->clsid;
    st.grfStateBits = e.storage->state_bits;
  }
  if (with_name) st.pwcsName = TaskCopy(name);
  return st;
}

class StatEnum final : public ComObject<StatEnum, IEnumSTATSTG, IID_IEnumSTATSTG> {
 public:
  explicit StatEnum(std::vector<std::pair<std::u16string, Element>> items)
      : items_(std::move(items)) {}
  STDMETHODIMP Next(ULONG count, STATSTG* out, ULONG* fetched) override {
    if (!out) return STG_E_INVALIDPOINTER;
    ULONG n = 0;
    for (; n < count && pos_ < items_.size(); ++n, ++pos_) {
      out[n] = StatOf(items_[pos_].first, items_[pos_].second, true);
    }
    if (fetched) *fetched = n;
    return n == count ? S_OK : S_FALSE;
  }
  STDMETHODIMP Skip(ULONG count) override {
    size_t left = items_.size() - pos_;
    pos_ += std::min<size_t>(count, left);
    return count <= left ? S_OK : S_FALSE;
  }
  STDMETHODIMP Reset() override {
    pos_ = 0;
    return S_OK;
  }
  STDMETHODIMP Clone(IEnumSTATSTG** out) override {
    if (!out) return STG_E_INVALIDPOINTER;
    auto* copy = new (std::nothrow) StatEnum(items_);
    if (!copy) return E_OUTOFMEMORY;
    copy->pos_ = pos_;
    *out = copy;
    return S_OK;
  }

 private:
  std::vector<std::pair<std::u16string, Element>> items_;
  size_t pos_ = 0;
};

class MemoryStorage final : public ComObject<MemoryStorage, IStorage, IID_IStorage> {
 public:
  MemoryStorage(std::shared_ptr<StorageData> data, std::u16string name)
      : data_(std::move(data)), name_(std::move(name)) {}

  STDMETHODIMP CreateStream(const OLECHAR* pwcsName, DWORD grfMode, DWORD, DWORD,
                            IStream** ppstm) override {
    if (!ppstm) return STG_E_INVALIDPOINTER;
    *ppstm = nullptr;
    std::u16string name;
    HRESULT hr = Prepare(pwcsName, grfMode, name);
    if (FAILED(hr)) return hr;
    Element e;
    e.stream = std::make_shared<std::vector<BYTE>>();
    data_->elements[name] = e;
    return CreateMemoryStream(e.stream, name, ppstm);
  }
  STDMETHODIMP OpenStream(const OLECHAR* pwcsName, void* reserved1, DWORD grfMode, DWORD,
                          IStream** ppstm) override {
    if (!ppstm) return STG_E_INVALIDPOINTER;
    *ppstm = nullptr;
    if (reserved1) return STG_E_INVALIDPARAMETER;
    std::u16string name;
    HRESULT hr = CheckName(pwcsName, name);
    if (FAILED(hr)) return hr;
    if (FAILED(hr = CheckMode(grfMode))) return hr;
    auto it = data_->elements.find(name);
    if (it == data_->elements.end() || !it->second.stream) return STG_E_FILENOTFOUND;
    return CreateMemoryStream(it->second.stream, it->first, ppstm);
  }
  STDMETHODIMP CreateStorage(const OLECHAR* pwcsName, DWORD grfMode, DWORD, DWORD,
                             IStorage** ppstg) override {
    if (!ppstg) return STG_E_INVALIDPOINTER;
    *ppstg = nullptr;
    std::u16string name;
    HRESULT hr = Prepare(pwcsName, grfMode, name);
    if (FAILED(hr)) return hr;
    Element e;
    e.storage = std::make_shared<StorageData>();
    data_->elements[name] = e;
    *ppstg = new (std::nothrow) MemoryStorage(e.storage, name);
    return *ppstg ? S_OK : E_OUTOFMEMORY;
  }
  STDMETHODIMP OpenStorage(const OLECHAR* pwcsName, IStorage*, DWORD grfMode, SNB, DWORD,
                           IStorage** ppstg) override {
    if (!ppstg) return STG_E_INVALIDPOINTER;
    *ppstg = nullptr;
    std::u16string name;
    HRESULT hr = CheckName(pwcsName, name);
    if (FAILED(hr)) return hr;
    if (FAILED(hr = CheckMode(grfMode))) return hr;
    auto it = data_->elements.find(name);
    if (it == data_->elements.end() || !it->second.storage) return STG_E_FILENOTFOUND;
    *ppstg = new (std::nothrow) MemoryStorage(it->second.storage, it->first);
    return *ppstg ? S_OK : E_OUTOFMEMORY;
  }
  // A storage cannot be copied into itself or anything beneath it: the copy would grow
  // while it is read.
  STDMETHODIMP CopyTo(DWORD, const IID*, SNB, IStorage* dest) override {
    if (!dest) return STG_E_INVALIDPOINTER;
    if (const StorageData* target = DataOf(dest); target && Contains(*data_, target)) {
      return STG_E_ACCESSDENIED;
    }
    for (const auto& [name, e] : data_->elements) {
      HRESULT hr = CopyElement(name, e, dest, name);
      if (FAILED(hr)) return hr;
    }
    return dest->SetClass(data_->clsid);
  }
  STDMETHODIMP MoveElementTo(const OLECHAR* pwcsName, IStorage* dest, const OLECHAR* newName,
                             DWORD grfFlags) override {
    std::u16string name, target;
    HRESULT hr = CheckName(pwcsName, name);
    if (FAILED(hr) || FAILED(hr = CheckName(newName, target))) return hr;
    if (!dest) return STG_E_INVALIDPOINTER;
    auto it = data_->elements.find(name);
    if (it == data_->elements.end()) return STG_E_FILENOTFOUND;
    const Element e = it->second;
    // Onto itself (the create would first empty it), or a storage into its own subtree.
    if (const StorageData* into = DataOf(dest);
        into && ((into == data_.get() && EqualNoCase(it->first, target)) ||
                 (e.storage && Contains(*e.storage, into)))) {
      return STG_E_ACCESSDENIED;
    }
    if (FAILED(hr = CopyElement(name, e, dest, target))) return hr;
    if (grfFlags == STGMOVE_MOVE) data_->elements.erase(name);
    return S_OK;
  }
  STDMETHODIMP Commit(DWORD) override { return S_OK; }  // direct mode: always committed
  STDMETHODIMP Revert() override { return S_OK; }
  STDMETHODIMP EnumElements(DWORD, void*, DWORD, IEnumSTATSTG** ppenum) override {
    if (!ppenum) return STG_E_INVALIDPOINTER;
    std::vector<std::pair<std::u16string, Element>> items(data_->elements.begin(),
                                                          data_->elements.end());
    *ppenum = new (std::nothrow) StatEnum(std::move(items));
    return *ppenum ? S_OK : E_OUTOFMEMORY;
  }
  STDMETHODIMP DestroyElement(const OLECHAR* pwcsName) override {
    std::u16string name;
    HRESULT hr = CheckName(pwcsName, name);
    if (FAILED(hr)) return hr;
    return data_->elements.erase(name) ? S_OK : STG_E_FILENOTFOUND;
  }
  STDMETHODIMP RenameElement(const OLECHAR* oldName, const OLECHAR* newName) override {
    std::u16string from, to;
    HRESULT hr = CheckName(oldName, from);
    if (FAILED(hr) || FAILED(hr = CheckName(newName, to))) return hr;
    auto it = data_->elements.find(from);
    if (it == data_->elements.end()) return STG_E_FILENOTFOUND;
    if (data_->elements.count(to)) return STG_E_ACCESSDENIED;
    Element e = it->second;
    data_->elements.erase(it);
    data_->elements[to] = e;
    return S_OK;
  }
  // Times are not kept; the call succeeds for an element that exists.
  STDMETHODIMP SetElementTimes(const OLECHAR* pwcsName, const FILETIME*, const FILETIME*,
                               const FILETIME*) override {
    if (!pwcsName) return S_OK;
    return data_->elements.count(pwcsName) ? S_OK : STG_E_FILENOTFOUND;
  }
  STDMETHODIMP SetClass(REFCLSID clsid) override {
    data_->clsid = clsid;
    return S_OK;
  }
  STDMETHODIMP SetStateBits(DWORD bits, DWORD mask) override {
    data_->state_bits = (data_->state_bits & ~mask) | (bits & mask);
    return S_OK;
  }
  STDMETHODIMP Stat(STATSTG* st, DWORD flag) override {
    if (!st) return STG_E_INVALIDPOINTER;
    Element self;
    self.storage = data_;
    *st = StatOf(name_, self, !(flag & STATFLAG_NONAME));
    return S_OK;
  }

 private:
  // The storage data behind `storage` when it is one of ours.
  static const StorageData* DataOf(IStorage* storage) {
    auto* ours = dynamic_cast<MemoryStorage*>(storage);
    return ours ? ours->data_.get() : nullptr;
  }

  HRESULT Prepare(const OLECHAR* pwcsName, DWORD grfMode, std::u16string& name) {
    HRESULT hr = CheckName(pwcsName, name);
    if (FAILED(hr) || FAILED(hr = CheckMode(grfMode))) return hr;
    if (data_->elements.count(name) && !(grfMode & STGM_CREATE)) return STG_E_FILEALREADYEXISTS;
    return S_OK;
  }

  static HRESULT CopyElement(const std::u16string&, const Element& e, IStorage* dest,
                             const std::u16string& target) {
    const DWORD mode = STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE;
    if (e.stream) {
      IStream* out = nullptr;
      HRESULT hr = dest->CreateStream(target.c_str(), mode, 0, 0, &out);
      if (FAILED(hr)) return hr;
      ULONG written = 0;
      hr = out->Write(e.stream->data(), static_cast<ULONG>(e.stream->size()), &written);
      out->Release();
      return hr;
    }
    IStorage* sub = nullptr;
    HRESULT hr = dest->CreateStorage(target.c_str(), mode, 0, 0, &sub);
    if (FAILED(hr)) return hr;
    auto* source = new (std::nothrow) MemoryStorage(e.storage, target);
    hr = source ? source->CopyTo(0, nullptr, nullptr, sub) : E_OUTOFMEMORY;
    if (source) source->Release();
    sub->Release();
    return hr;
  }

  std::shared_ptr<StorageData> data_;
  std::u16string name_;
};

}  // namespace
}  // namespace ole

STDAPI StgCreateDocfile(const WCHAR* pwcsName, DWORD grfMode, DWORD, IStorage** ppstgOpen) {
  if (!ppstgOpen) return STG_E_INVALIDPOINTER;
  *ppstgOpen = nullptr;
  if (pwcsName) return STG_E_INVALIDNAME;  // only temporary (memory) storages
  if (ole::CheckMode(grfMode) != S_OK) return STG_E_INVALIDFLAG;
  *ppstgOpen =
      new (std::nothrow) ole::MemoryStorage(std::make_shared<ole::StorageData>(), std::u16string());
  return *ppstgOpen ? S_OK : E_OUTOFMEMORY;
}
