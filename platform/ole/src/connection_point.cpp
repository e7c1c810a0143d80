// Connection points and their enumerators.
#include "ole/connection_point.h"

#include <new>

#include "com_object.h"
#include "oleauto.h"
#include "olectl.h"

namespace ole {
namespace {

// An enumerator over a snapshot of items, holding a reference to each and to its owner.
template <typename Interface, typename Item, const IID& kIid>
class Enumerator final : public ComObject<Enumerator<Interface, Item, kIid>, Interface, kIid> {
 public:
  Enumerator(IUnknown* owner, std::vector<Item> items) : owner_(owner), items_(std::move(items)) {
    if (owner_) owner_->AddRef();
    for (Item& item : items_) Ref(item)->AddRef();
  }
  ~Enumerator() {
    for (Item& item : items_) Ref(item)->Release();
    if (owner_) owner_->Release();
  }
  Enumerator(const Enumerator&) = delete;
  Enumerator& operator=(const Enumerator&) = delete;

  STDMETHODIMP Next(ULONG count, Item* out, ULONG* fetched) override {
    if (!out || (count > 1 && !fetched)) return E_POINTER;
    ULONG n = 0;
    for (; n < count && pos_ < items_.size(); ++n, ++pos_) {
      out[n] = items_[pos_];
      Ref(out[n])->AddRef();
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
  STDMETHODIMP Clone(Interface** out) override {
    if (!out) return E_POINTER;
    auto* copy = new (std::nothrow) Enumerator(owner_, items_);
    if (!copy) return E_OUTOFMEMORY;
    copy->pos_ = pos_;
    *out = copy;
    return S_OK;
  }

 private:
  static IUnknown* Ref(const CONNECTDATA& c) { return c.pUnk; }
  static IUnknown* Ref(IConnectionPoint* p) { return p; }

  IUnknown* owner_;
  std::vector<Item> items_;
  size_t pos_ = 0;
};

using ConnectionsEnum = Enumerator<IEnumConnections, CONNECTDATA, IID_IEnumConnections>;
using PointsEnum = Enumerator<IEnumConnectionPoints, IConnectionPoint*, IID_IEnumConnectionPoints>;

}  // namespace

ConnectionPoint::ConnectionPoint(IConnectionPointContainer* container, REFIID iid)
    : container_(container), iid_(iid) {}

ConnectionPoint::~ConnectionPoint() {
  Clear();
}

void ConnectionPoint::Clear() {
  std::vector<Sink> sinks;
  sinks.swap(sinks_);
  for (Sink& s : sinks) s.dispatch->Release();
}

STDMETHODIMP ConnectionPoint::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IConnectionPoint) {
    *ppv = static_cast<IConnectionPoint*>(this);
    AddRef();
    return S_OK;
  }
  *ppv = nullptr;
  return E_NOINTERFACE;
}
STDMETHODIMP_(ULONG) ConnectionPoint::AddRef() {
  return container_->AddRef();
}
STDMETHODIMP_(ULONG) ConnectionPoint::Release() {
  return container_->Release();
}

STDMETHODIMP ConnectionPoint::GetConnectionInterface(IID* pIID) {
  if (!pIID) return E_POINTER;
  *pIID = iid_;
  return S_OK;
}

STDMETHODIMP ConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** ppCPC) {
  if (!ppCPC) return E_POINTER;
  *ppCPC = container_;
  container_->AddRef();
  return S_OK;
}

STDMETHODIMP ConnectionPoint::Advise(IUnknown* pUnkSink, DWORD* pdwCookie) {
  if (!pUnkSink || !pdwCookie) return E_POINTER;
  *pdwCookie = 0;
  void* sink = nullptr;
  if (FAILED(pUnkSink->QueryInterface(iid_, &sink)) || !sink) return CONNECT_E_CANNOTCONNECT;
  if (next_cookie_ == 0) ++next_cookie_;  // 0 is never a cookie, even after wrapping
  *pdwCookie = next_cookie_++;
  sinks_.push_back({*pdwCookie, static_cast<IDispatch*>(sink)});
  return S_OK;
}

STDMETHODIMP ConnectionPoint::Unadvise(DWORD dwCookie) {
  for (auto it = sinks_.begin(); it != sinks_.end(); ++it) {
    if (it->cookie == dwCookie) {
      IDispatch* sink = it->dispatch;
      sinks_.erase(it);
      sink->Release();
      return S_OK;
    }
  }
  return CONNECT_E_NOCONNECTION;
}

STDMETHODIMP ConnectionPoint::EnumConnections(IEnumConnections** ppEnum) {
  if (!ppEnum) return E_POINTER;
  std::vector<CONNECTDATA> items;
  for (const Sink& s : sinks_) items.push_back({s.dispatch, s.cookie});
  *ppEnum = new (std::nothrow) ConnectionsEnum(container_, std::move(items));
  return *ppEnum ? S_OK : E_OUTOFMEMORY;
}

namespace {

// Each sink gets its own copy of what by-reference arguments point at, so what one
// handler writes there never reaches the next one.
class SinkArguments {
 public:
  explicit SinkArguments(const DISPPARAMS* params) {
    if (!params) return;
    args_.resize(params->cArgs);
    values_.resize(params->cArgs);
    for (UINT i = 0; i < params->cArgs; ++i) {
      const VARIANT& given = params->rgvarg[i];
      VariantInit(&values_[i]);
      args_[i] = given;
      if (!(given.vt & VT_BYREF) || FAILED(VariantCopyInd(&values_[i], &given))) continue;
      args_[i].byref = given.vt == (VT_BYREF | VT_VARIANT) ? static_cast<void*>(&values_[i])
                                                           : static_cast<void*>(&values_[i].llVal);
      if ((given.vt & ~VT_BYREF) == VT_DECIMAL) args_[i].byref = &values_[i].decVal;
    }
    params_ = {args_.data(), params->rgdispidNamedArgs, params->cArgs, params->cNamedArgs};
  }
  SinkArguments(const SinkArguments&) = delete;
  SinkArguments& operator=(const SinkArguments&) = delete;
  ~SinkArguments() {
    for (VARIANT& v : values_) VariantClear(&v);
  }
  DISPPARAMS* get() { return &params_; }

 private:
  std::vector<VARIANT> args_, values_;
  DISPPARAMS params_{nullptr, nullptr, 0, 0};
};

}  // namespace

void ConnectionPoint::Fire(DISPID dispid, DISPPARAMS* params) {
  // A handler may release the last reference to the object that fires, and this point is
  // part of it: the object stays alive until every sink has had the event.
  IConnectionPointContainer* container = container_;
  container->AddRef();
  // A snapshot with references, so a handler may advise or unadvise during the event.
  std::vector<Sink> sinks = sinks_;
  for (Sink& s : sinks) s.dispatch->AddRef();
  for (Sink& s : sinks) {
    if (!Connected(s.cookie)) continue;  // unadvised by an earlier sink's handler
    SinkArguments args(params);
    s.dispatch->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, args.get(), nullptr,
                       nullptr, nullptr);
  }
  for (Sink& s : sinks) s.dispatch->Release();
  container->Release();  // may destroy this point: nothing of it is used after
}

bool ConnectionPoint::Connected(DWORD cookie) const {
  for (const Sink& s : sinks_) {
    if (s.cookie == cookie) return true;
  }
  return false;
}

HRESULT CreateConnectionPointEnum(IUnknown* owner, const std::vector<IConnectionPoint*>& points,
                                  IEnumConnectionPoints** out) {
  if (!out) return E_POINTER;
  *out = new (std::nothrow) PointsEnum(owner, points);
  return *out ? S_OK : E_OUTOFMEMORY;
}

}  // namespace ole
