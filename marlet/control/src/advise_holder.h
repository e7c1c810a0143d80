// The advise sinks a container hands the control: the object's (IOleObject::Advise, by
// cookie) and the view's (IViewObject::SetAdvise, one at a time). The control holds them for
// as long as the container asks; it has nothing to tell them, as it never changes its look.
#pragma once

#include <vector>

#include "oleidl.h"

namespace marlet {

// The runtime knows IAdviseSink by name only; every interface pointer is also its IUnknown.
inline IUnknown* AsUnknown(IAdviseSink* sink) {
  return reinterpret_cast<IUnknown*>(sink);
}

class AdviseHolder {
 public:
  AdviseHolder() = default;
  ~AdviseHolder() { Clear(); }
  AdviseHolder(const AdviseHolder&) = delete;
  AdviseHolder& operator=(const AdviseHolder&) = delete;

  HRESULT Advise(IAdviseSink* sink, DWORD* cookie);
  HRESULT Unadvise(DWORD cookie);
  void Clear();
  size_t size() const { return sinks_.size(); }

 private:
  struct Entry {
    DWORD cookie;
    IAdviseSink* sink;
  };
  std::vector<Entry> sinks_;
  DWORD next_cookie_ = 1;
};

class ViewAdvise {
 public:
  ViewAdvise() = default;
  ~ViewAdvise() { Set(0, 0, nullptr); }
  ViewAdvise(const ViewAdvise&) = delete;
  ViewAdvise& operator=(const ViewAdvise&) = delete;

  void Set(DWORD aspects, DWORD advf, IAdviseSink* sink);
  HRESULT Get(DWORD* aspects, DWORD* advf, IAdviseSink** sink) const;

 private:
  DWORD aspects_ = 0;
  DWORD advf_ = 0;
  IAdviseSink* sink_ = nullptr;
};

}  // namespace marlet
