// An event delivered to several sinks while their handlers change what the event runs on:
// releasing the object that fires, unadvising and advising sinks.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "ole/connection_point.h"
#include "ole2.h"

namespace {

constexpr IID kIidEvents = {0x6B000001, 0x1111, 0x2222, {1, 2, 3, 4, 5, 6, 7, 8}};

// The object that fires: it holds one connection point and says when it is destroyed.
class Source final : public IConnectionPointContainer {
 public:
  explicit Source(bool& destroyed) : destroyed_(destroyed) {}
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (riid == IID_IUnknown || riid == IID_IConnectionPointContainer) {
      *ppv = static_cast<IConnectionPointContainer*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
  STDMETHODIMP_(ULONG) Release() override {
    const ULONG n = --refs_;
    if (n == 0) delete this;
    return n;
  }
  STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints**) override { return E_NOTIMPL; }
  STDMETHODIMP FindConnectionPoint(REFIID, IConnectionPoint** pp) override {
    *pp = &point;
    AddRef();
    return S_OK;
  }
  ole::ConnectionPoint point{this, kIidEvents};

 private:
  ~Source() { destroyed_ = true; }
  ULONG refs_ = 1;
  bool& destroyed_;
};

enum class Act { kNothing, kReleaseSource, kUnadvise, kAdviseLate };

// A sink that logs each call, whether the source was alive then, and then acts.
class Sink final : public IDispatch {
 public:
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == kIidEvents) {
      *ppv = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
  STDMETHODIMP_(ULONG) Release() override { return --refs; }  // owned by the test
  STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                      UINT*) override {
    *log += name + (*source_destroyed ? "(source gone) " : " ");
    switch (act) {
      case Act::kNothing:
        break;
      case Act::kReleaseSource:
        source->Release();
        break;
      case Act::kUnadvise:
        source->point.Unadvise(target);
        break;
      case Act::kAdviseLate:
        source->point.Advise(late, &target);
        break;
    }
    return S_OK;
  }

  std::string name;
  std::string* log = nullptr;
  Source* source = nullptr;
  const bool* source_destroyed = nullptr;
  Act act = Act::kNothing;
  DWORD target = 0;          // the cookie to unadvise, or the one an advise returned
  IUnknown* late = nullptr;  // the sink to advise
  ULONG refs = 0;
};

TEST(ConnectionPoint, HandlersChangingTheDelivery) {
  const struct {
    const char* what;
    int actor;  // which of the sinks a, b, c acts (d is advised late)
    Act act;
    int target;  // the sink it unadvises
    const char* delivered;
    const char* again;  // a second event, when the source is still there
  } cases[] = {
      {"plain", 0, Act::kNothing, 0, "a b c ", "a b c "},
      {"the first releases the source", 0, Act::kReleaseSource, 0, "a b c ", nullptr},
      {"the last releases the source", 2, Act::kReleaseSource, 0, "a b c ", nullptr},
      {"the first unadvises the second", 0, Act::kUnadvise, 1, "a c ", "a c "},
      {"the second unadvises the third", 1, Act::kUnadvise, 2, "a b ", "a b "},
      {"the second unadvises itself", 1, Act::kUnadvise, 1, "a b c ", "a c "},
      {"the second unadvises the first", 1, Act::kUnadvise, 0, "a b c ", "b c "},
      {"a sink advised during the event", 0, Act::kAdviseLate, 0, "a b c ", "a b c d "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    bool destroyed = false;
    auto* source = new Source(destroyed);
    std::string log;
    Sink sinks[4];
    DWORD cookies[3] = {};
    for (int i = 0; i < 4; ++i) {
      sinks[i].name = std::string(1, static_cast<char>('a' + i));
      sinks[i].log = &log;
      sinks[i].source = source;
      sinks[i].source_destroyed = &destroyed;
      if (i < 3) {
        ASSERT_EQ(source->point.Advise(&sinks[i], &cookies[i]), S_OK);
      }
    }
    sinks[c.actor].act = c.act;
    sinks[c.actor].target = cookies[c.target];
    sinks[c.actor].late = &sinks[3];

    source->point.Fire(1, nullptr);
    EXPECT_EQ(log, c.delivered) << "every sink saw the source alive";
    if (!c.again) {
      EXPECT_TRUE(destroyed) << "released once the event has reached every sink";
    } else {
      EXPECT_FALSE(destroyed);
      log.clear();
      source->point.Fire(1, nullptr);
      EXPECT_EQ(log, c.again);
      source->Release();
    }
    ASSERT_TRUE(destroyed);
    for (const Sink& s : sinks) EXPECT_EQ(s.refs, 0u) << s.name << " was let go";
  }
}

}  // namespace
