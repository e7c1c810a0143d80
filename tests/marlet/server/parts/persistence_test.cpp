#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "marlet/persistence.h"
#include "objbase.h"
#include "ole/com_ptr.h"
#include "oleauto.h"
#include "shlwapi.h"

using ole::ComPtr;

namespace {

constexpr HRESULT kHostNotFound = static_cast<HRESULT>(0x800A2AF9);

// The ten properties as the control keeps them: Longs, a String and Booleans, with the
// setter's coercion and one refusal (a host that does not resolve).
class Properties final : public marlet::PropertyAccess {
 public:
  Properties() {
    for (DISPID id : {5, 8, 9}) Set(id, VT_I4, 2048);
    for (DISPID id : {7, 10, 12, 15}) Set(id, VT_I4, 0);
    Set(16, VT_BOOL, VARIANT_FALSE);
    Set(18, VT_BOOL, VARIANT_TRUE);
    values_[11].vt = VT_BSTR;
    values_[11].bstrVal = SysAllocString(u"");
  }
  ~Properties() {
    for (auto& [id, v] : values_) VariantClear(&v);
  }
  void Set(DISPID id, VARTYPE vt, LONG n) {
    VariantClear(&values_[id]);
    values_[id].vt = vt;
    if (vt == VT_BOOL) {
      values_[id].boolVal = static_cast<VARIANT_BOOL>(n);
    } else {
      values_[id].lVal = n;
    }
  }
  void SetHost(const char16_t* host) {
    VariantClear(&values_[11]);
    values_[11].vt = VT_BSTR;
    values_[11].bstrVal = SysAllocString(host);
  }
  LONG Long(DISPID id) { return values_[id].vt == VT_BOOL ? values_[id].boolVal : values_[id].lVal; }
  std::u16string Host() {
    BSTR b = values_[11].bstrVal;
    return b ? std::u16string(b, SysStringLen(b)) : u"<null>";
  }
  // Every property as text, for comparing whole states.
  std::string State() {
    std::string s;
    for (const auto& p : marlet::kPersistedProperties) {
      if (p.dispid == 11) {
        for (char16_t c : Host()) s += static_cast<char>(c);
      } else {
        s += std::to_string(Long(p.dispid));
      }
      s += ' ';
    }
    return s;
  }

  HRESULT Get(DISPID id, VARIANT* out) override {
    ++gets;
    if (id == fail_get) return E_UNEXPECTED;
    return VariantCopy(out, &values_.at(id));
  }
  HRESULT Put(DISPID id, VARIANT* in) override {
    puts.push_back(id);
    VARIANT v;
    VariantInit(&v);
    HRESULT hr = VariantChangeType(&v, in, 0, values_.at(id).vt);
    if (FAILED(hr)) return hr;
    if (id == 11 && v.bstrVal && std::u16string(v.bstrVal) == u"no.such.host") {
      VariantClear(&v);
      return kHostNotFound;
    }
    VariantClear(&values_[id]);
    values_[id] = v;
    return S_OK;
  }
  std::vector<DISPID> puts;
  int gets = 0;
  DISPID fail_get = -1;

 private:
  std::map<DISPID, VARIANT> values_;
};

ComPtr<IStream> NewStream(const std::string& bytes = {}) {
  ComPtr<IStream> s;
  CreateStreamOnHGlobal(nullptr, TRUE, s.put());
  ULONG written = 0;
  if (!bytes.empty()) s->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written);
  LARGE_INTEGER zero{};
  s->Seek(zero, STREAM_SEEK_SET, nullptr);
  return s;
}

std::string Contents(IStream* s) {
  LARGE_INTEGER zero{};
  s->Seek(zero, STREAM_SEEK_SET, nullptr);
  std::string out;
  char buf[256];
  ULONG got = 0;
  while (SUCCEEDED(s->Read(buf, sizeof buf, &got)) && got > 0) out.append(buf, got);
  return out;
}

std::string Hex(const std::string& bytes) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    if (!out.empty()) out += ' ';
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

std::string Saved(Properties& p) {
  ComPtr<IStream> s = NewStream();
  EXPECT_EQ(marlet::SaveToStream(p, s.get()), S_OK);
  return Contents(s.get());
}

TEST(PropertyStream, SavedByteForByte) {
  Properties p;
  p.Set(5, VT_I4, 4096);
  p.Set(7, VT_I4, 0x1234);
  p.SetHost(u"10.0.0.1");
  p.Set(16, VT_BOOL, VARIANT_TRUE);
  // Version, then type and value per property: VT_I4 (3), VT_BSTR (8) with byte count and
  // terminator, VT_BOOL (11).
  EXPECT_EQ(Hex(Saved(p)),
            "00 03 00 00 "
            "03 00 00 10 00 00 03 00 34 12 00 00 03 00 00 08 00 00 03 00 00 08 00 00 "
            "03 00 00 00 00 00 "
            "08 00 12 00 00 00 31 00 30 00 2e 00 30 00 2e 00 30 00 2e 00 31 00 00 00 "
            "03 00 00 00 00 00 03 00 00 00 00 00 0b 00 ff ff 0b 00 ff ff");
  ULARGE_INTEGER size{};
  EXPECT_EQ(marlet::StreamSize(p, &size), S_OK);
  EXPECT_EQ(size.QuadPart, Saved(p).size());
}

TEST(PropertyStream, RoundTripsAndStopsAtTheFirstFailure) {
  Properties source;
  source.Set(5, VT_I4, 8192);
  source.Set(8, VT_I4, 65536);
  source.Set(12, VT_I4, 12345);
  source.Set(15, VT_I4, 64);
  source.SetHost(u"127.0.0.1");
  source.Set(18, VT_BOOL, VARIANT_FALSE);
  const std::string good = Saved(source);
  Properties refused_source;
  refused_source.Set(5, VT_I4, 1);
  refused_source.SetHost(u"no.such.host");
  const std::string refused = Saved(refused_source);
  std::string newer = good, older = good;
  newer[0] = 0x01;  // 0x301
  older[1] = 0x02;  // 0x201

  Properties fresh;
  const std::string defaults = fresh.State();
  struct Case {
    const char* what;
    std::string bytes;
    HRESULT hr;
    std::string state;
    std::size_t puts;
  } cases[] = {
      {"whole", good, S_OK, source.State(), 10},
      {"older version", older, S_OK, source.State(), 10},
      {"newer version", newer, E_FAIL, defaults, 0},
      {"refused host", refused, kHostNotFound, "1 0 2048 2048 0  0 0 0 -1 ", 6},
      {"no version", good.substr(0, 3), STG_E_READFAULT, defaults, 0},
      {"ends inside the host", good.substr(0, 40), STG_E_READFAULT, "8192 0 65536 2048 0  0 0 0 -1 ", 5},
      {"ends after the host", good.substr(0, 64), STG_E_READFAULT, "8192 0 65536 2048 0 127.0.0.1 0 0 0 -1 ", 6},
  };
  for (const Case& c : cases) {
    Properties target;
    ComPtr<IStream> s = NewStream(c.bytes);
    EXPECT_EQ(marlet::LoadFromStream(target, s.get()), c.hr) << c.what;
    EXPECT_EQ(target.State(), c.state) << c.what;
    EXPECT_EQ(target.puts.size(), c.puts) << c.what;
  }
}

TEST(PropertyStream, EveryVariantTypeOfTheFormatAndDamagedValues) {
  // A property access that hands out one value and records what it is given back.
  struct One final : marlet::PropertyAccess {
    VARIANT out{}, in{};
    HRESULT Get(DISPID, VARIANT* v) override { return VariantCopy(v, &out); }
    HRESULT Put(DISPID, VARIANT* v) override {
      VariantClear(&in);
      return VariantCopy(&in, v);
    }
    ~One() {
      VariantClear(&out);
      VariantClear(&in);
    }
  };
  auto variant = [](VARTYPE vt, LONGLONG bits) {
    VARIANT v;
    VariantInit(&v);
    v.vt = vt;
    v.llVal = bits;
    return v;
  };
  const char16_t with_nul[] = {u'a', 0, u'b'};
  struct Case {
    VARIANT value;
    VARTYPE loaded_vt;
    std::u16string loaded_text;  // for strings
    std::size_t value_bytes;     // of the first property, after its type
  } cases[] = {
      {variant(VT_I1, -5), VT_I1, {}, 1},
      {variant(VT_UI1, 200), VT_UI1, {}, 1},
      {variant(VT_I2, -2), VT_I2, {}, 2},
      {variant(VT_BOOL, VARIANT_TRUE), VT_BOOL, {}, 2},
      {variant(VT_UI4, 0xDEADBEEF), VT_UI4, {}, 4},
      {variant(VT_R4, 0x3FC00000), VT_R4, {}, 4},
      {variant(VT_ERROR, 0x80004005), VT_ERROR, {}, 4},
      {variant(VT_R8, 0x3FF8000000000000), VT_R8, {}, 8},
      {variant(VT_CY, 15000), VT_CY, {}, 8},
      {variant(VT_DATE, 0x40E5F8C000000000), VT_DATE, {}, 8},
      {variant(VT_EMPTY, 0), VT_BSTR, u"", 4 + 2},  // saved as its string
      {variant(VT_I8, 42), VT_BSTR, u"42", 4 + 6},
      {variant(VT_BSTR, 0), VT_BSTR, u"<null>", 4},
  };
  for (Case& c : cases) {
    One one;
    one.out = c.value;
    const std::string bytes = [&] {
      ComPtr<IStream> s = NewStream();
      EXPECT_EQ(marlet::SaveToStream(one, s.get()), S_OK);
      return Contents(s.get());
    }();
    // Ten properties of the same value behind the version word.
    EXPECT_EQ(bytes.size(), 4 + 10 * (2 + c.value_bytes)) << c.value.vt;
    ComPtr<IStream> s = NewStream(bytes);
    ASSERT_EQ(marlet::LoadFromStream(one, s.get()), S_OK) << c.value.vt;
    EXPECT_EQ(one.in.vt, c.loaded_vt);
    if (c.loaded_vt == VT_BSTR) {
      EXPECT_EQ(one.in.bstrVal ? std::u16string(one.in.bstrVal, SysStringLen(one.in.bstrVal))
                               : u"<null>",
                c.loaded_text);
    } else {
      EXPECT_EQ(std::memcmp(&one.in.llVal, &c.value.llVal, c.value_bytes), 0) << c.value.vt;
    }
  }

  One one;
  one.out.vt = VT_BSTR;
  one.out.bstrVal = SysAllocStringLen(with_nul, 3);
  const std::string text = [&] {
    ComPtr<IStream> s = NewStream();
    marlet::SaveToStream(one, s.get());
    return Contents(s.get());
  }();
  ComPtr<IStream> again = NewStream(text);
  ASSERT_EQ(marlet::LoadFromStream(one, again.get()), S_OK);
  EXPECT_EQ(std::u16string(one.in.bstrVal, SysStringLen(one.in.bstrVal)),
            std::u16string(with_nul, 3));

  const std::string version("\x00\x03\x00\x00", 4);
  struct Damaged {
    std::string bytes;
    HRESULT hr;
  } damaged[] = {
      {version + std::string("\x0d\x00", 2), DISP_E_BADVARTYPE},  // VT_UNKNOWN
      {version + std::string("\x08\x00\x03\x00\x00\x00\x61\x00\x00", 9), E_FAIL},  // odd count
      {version + std::string("\x08\x00\x04\x00\x00\x00\x61\x00\x62\x00", 10), E_FAIL},  // no NUL
      {version + std::string("\x08\x00\xfe\xff\xff\x7f", 6), E_FAIL},  // 2 GB claimed
      {version + std::string("\x08\x00\x00\x10\x00\x00\x61\x00", 8), STG_E_READFAULT},
  };
  for (const Damaged& d : damaged) {
    ComPtr<IStream> s = NewStream(d.bytes);
    EXPECT_EQ(marlet::LoadFromStream(one, s.get()), d.hr) << Hex(d.bytes);
  }
}

TEST(PropertyStorage, ThroughAContentsStream) {
  Properties source;
  source.Set(12, VT_I4, 2222);
  ComPtr<IStorage> storage;
  ASSERT_EQ(StgCreateDocfile(nullptr, STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0,
                             storage.put()),
            S_OK);
  ASSERT_EQ(marlet::SaveToStorage(source, storage.get()), S_OK);
  ComPtr<IStream> contents;
  ASSERT_EQ(storage->OpenStream(u"Contents", nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0,
                                contents.put()),
            S_OK);
  EXPECT_EQ(Contents(contents.get()), Saved(source));
  contents.reset();
  Properties target;
  EXPECT_EQ(marlet::LoadFromStorage(target, storage.get()), S_OK);
  EXPECT_EQ(target.State(), source.State());

  ComPtr<IStorage> empty;
  StgCreateDocfile(nullptr, STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, empty.put());
  EXPECT_EQ(marlet::LoadFromStorage(target, empty.get()), STG_E_FILENOTFOUND);
}

TEST(PropertyBag, ByNameInTheTypeOfTheCurrentValue) {
  Properties source;
  source.Set(7, VT_I4, 4321);
  source.SetHost(u"localhost");
  ComPtr<IPropertyBag> bag;
  ASSERT_EQ(SHCreatePropertyBagOnMemory(STGM_READWRITE, IID_IPropertyBag, bag.put_void()), S_OK);
  ASSERT_EQ(marlet::SaveToPropertyBag(source, bag.get()), S_OK);
  for (const auto& p : marlet::kPersistedProperties) {
    VARIANT v;
    VariantInit(&v);
    EXPECT_EQ(bag->Read(p.name, &v, nullptr), S_OK) << static_cast<char>(p.name[0]);
    VariantClear(&v);
  }
  Properties target;
  ASSERT_EQ(marlet::LoadFromPropertyBag(target, bag.get(), nullptr), S_OK);
  EXPECT_EQ(target.State(), source.State());

  // A form's stored text values: strings the bag converts to each property's type; missing
  // ones skipped; a refused one ends the load with the earlier ones kept.
  auto text_bag = [](std::vector<std::pair<const char16_t*, const char16_t*>> values) {
    ComPtr<IPropertyBag> b;
    SHCreatePropertyBagOnMemory(STGM_READWRITE, IID_IPropertyBag, b.put_void());
    for (auto [name, text] : values) {
      VARIANT v;
      v.vt = VT_BSTR;
      v.bstrVal = SysAllocString(text);
      b->Write(name, &v);
      VariantClear(&v);
    }
    return b;
  };
  struct Case {
    std::vector<std::pair<const char16_t*, const char16_t*>> values;
    HRESULT hr;
    std::string state;
  } cases[] = {
      {{{u"RemotePort", u"12345"}, {u"UseConnection", u"-1"}}, S_OK,
       "2048 0 2048 2048 0  12345 0 -1 -1 "},
      {{{u"InBufferSize", u"100"}, {u"RemoteHost", u"no.such.host"}, {u"RemotePort", u"7"}},
       kHostNotFound, "100 0 2048 2048 0  0 0 0 -1 "},
      {{{u"LocalPort", u"not a number"}, {u"TimeToLive", u"9"}}, S_OK,
       "2048 0 2048 2048 0  0 9 0 -1 "},  // a value the bag cannot convert counts as missing
      {{}, S_OK, "2048 0 2048 2048 0  0 0 0 -1 "},
  };
  for (const Case& c : cases) {
    Properties t;
    ComPtr<IPropertyBag> b = text_bag(c.values);
    EXPECT_EQ(marlet::LoadFromPropertyBag(t, b.get(), nullptr), c.hr) << c.state;
    EXPECT_EQ(t.State(), c.state);
  }
  Properties failing;
  failing.fail_get = 9;
  EXPECT_EQ(marlet::LoadFromPropertyBag(failing, bag.get(), nullptr), E_UNEXPECTED);
  EXPECT_EQ(failing.puts, (std::vector<DISPID>{5, 7, 8}));
  EXPECT_EQ(marlet::SaveToPropertyBag(failing, bag.get()), E_UNEXPECTED);
}

}  // namespace
