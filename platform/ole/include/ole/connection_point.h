// Connection points for an object's event interfaces: sinks in order of connection, events
// delivered by IDispatch::Invoke to each.
#pragma once

#include <vector>

#include "ocidl.h"

#define OLE_CXX_API __attribute__((visibility("default")))

namespace ole {

// A connection point embedded in its container object: its reference count is the
// container's, so it lives exactly as long as the object that owns it.
class OLE_CXX_API ConnectionPoint final : public IConnectionPoint {
 public:
  ConnectionPoint(IConnectionPointContainer* container, REFIID iid);
  ConnectionPoint(const ConnectionPoint&) = delete;
  ConnectionPoint& operator=(const ConnectionPoint&) = delete;
  ~ConnectionPoint();

  STDMETHOD(QueryInterface)(REFIID riid, void** ppv) override;
  STDMETHOD_(ULONG, AddRef)() override;
  STDMETHOD_(ULONG, Release)() override;
  STDMETHOD(GetConnectionInterface)(IID* pIID) override;
  STDMETHOD(GetConnectionPointContainer)(IConnectionPointContainer** ppCPC) override;
  // The sink must answer QueryInterface for the event interface; cookies start at 1.
  STDMETHOD(Advise)(IUnknown* pUnkSink, DWORD* pdwCookie) override;
  STDMETHOD(Unadvise)(DWORD dwCookie) override;
  STDMETHOD(EnumConnections)(IEnumConnections** ppEnum) override;

  // Invokes `dispid` as a method on every sink connected when the call starts and still
  // connected when its turn comes, in order of connection, with locale 0x0400 and the null
  // interface id. The container is kept alive until the last sink returns, so a handler may
  // release it. Each sink sees the by-reference arguments as fired: what a handler writes
  // into them goes to a copy that is dropped after its call.
  void Fire(DISPID dispid, DISPPARAMS* params);
  size_t size() const { return sinks_.size(); }
  void Clear();

 private:
  struct Sink {
    DWORD cookie;
    IDispatch* dispatch;
  };
  bool Connected(DWORD cookie) const;

  IConnectionPointContainer* container_;
  IID iid_;
  DWORD next_cookie_ = 1;
  std::vector<Sink> sinks_;
};

// An enumerator over an object's connection points; `owner` is kept alive while it exists.
OLE_CXX_API HRESULT CreateConnectionPointEnum(IUnknown* owner,
                                              const std::vector<IConnectionPoint*>& points,
                                              IEnumConnectionPoints** out);

}  // namespace ole
