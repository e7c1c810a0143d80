#include "advise_holder.h"

#include <algorithm>

namespace marlet {

HRESULT AdviseHolder::Advise(IAdviseSink* sink, DWORD* cookie) {
  if (!cookie) return E_POINTER;
  *cookie = 0;
  if (!sink) return E_INVALIDARG;
  AsUnknown(sink)->AddRef();
  sinks_.push_back({next_cookie_, sink});
  *cookie = next_cookie_++;
  return S_OK;
}

HRESULT AdviseHolder::Unadvise(DWORD cookie) {
  auto it = std::find_if(sinks_.begin(), sinks_.end(),
                         [cookie](const Entry& e) { return e.cookie == cookie; });
  if (it == sinks_.end()) return OLE_E_NOCONNECTION;
  IAdviseSink* sink = it->sink;
  sinks_.erase(it);
  AsUnknown(sink)->Release();
  return S_OK;
}

void AdviseHolder::Clear() {
  // Released after the list is empty: a sink's last Release may call back into the holder.
  std::vector<Entry> old;
  old.swap(sinks_);
  for (const Entry& e : old) AsUnknown(e.sink)->Release();
}

void ViewAdvise::Set(DWORD aspects, DWORD advf, IAdviseSink* sink) {
  if (sink) AsUnknown(sink)->AddRef();
  IAdviseSink* old = sink_;
  aspects_ = aspects;
  advf_ = advf;
  sink_ = sink;
  if (old) AsUnknown(old)->Release();
}

HRESULT ViewAdvise::Get(DWORD* aspects, DWORD* advf, IAdviseSink** sink) const {
  if (aspects) *aspects = aspects_;
  if (advf) *advf = advf_;
  if (sink) {
    *sink = sink_;
    if (sink_) AsUnknown(sink_)->AddRef();
  }
  return S_OK;
}

}  // namespace marlet
