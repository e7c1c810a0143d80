#include "ole/type_library_file.h"

#include <cstring>

namespace ole {
namespace {

constexpr char kMagic[8] = {'O', 'L', 'E', 'T', 'L', 'B', '0', '1'};
// Far above any library a server describes; a bound for images that come from files.
constexpr std::size_t kMaxImage = 16u << 20;
constexpr uint32_t kMaxText = 65535;

class Writer {
 public:
  void U8(uint8_t v) { out_.push_back(static_cast<char>(v)); }
  void U16(uint16_t v) { Bytes(v, 2); }
  void U32(uint32_t v) { Bytes(v, 4); }
  void Text(const std::u16string& s) {
    U32(static_cast<uint32_t>(s.size()));
    for (char16_t c : s) U16(c);
  }
  void Guid(const GUID& g) {
    U32(g.Data1);
    U16(g.Data2);
    U16(g.Data3);
    for (unsigned char b : g.Data4) U8(b);
  }
  template <typename T, typename F>
  void List(const std::vector<T>& items, F each) {
    U32(static_cast<uint32_t>(items.size()));
    for (const T& item : items) each(item);
  }
  std::string Take() { return std::move(out_); }

 private:
  void Bytes(uint32_t v, int n) {
    for (int i = 0; i < n; ++i) U8(static_cast<uint8_t>(v >> (8 * i)));
  }
  std::string out_;
};

// Every read checks what is left; after a failure all reads fail and return zeros.
class Reader {
 public:
  Reader(const unsigned char* p, std::size_t n) : p_(p), left_(n) {}
  bool ok() const { return ok_; }
  bool done() const { return ok_ && left_ == 0; }
  void Reject() { Fail<uint32_t>(); }
  uint8_t U8() { return static_cast<uint8_t>(Bytes(1)); }
  uint16_t U16() { return static_cast<uint16_t>(Bytes(2)); }
  uint32_t U32() { return Bytes(4); }
  std::u16string Text() {
    const uint32_t n = U32();
    if (n > kMaxText || n > left_ / 2) return Fail<std::u16string>();
    std::u16string s(n, u'\0');
    for (char16_t& c : s) c = U16();
    return s;
  }
  GUID Guid() {
    GUID g{};
    g.Data1 = U32();
    g.Data2 = U16();
    g.Data3 = U16();
    for (unsigned char& b : g.Data4) b = U8();
    return g;
  }
  // Each item takes at least one byte, so the count is bounded by what is left.
  template <typename T, typename F>
  std::vector<T> List(F each) {
    const uint32_t n = U32();
    if (n > left_) return Fail<std::vector<T>>();
    std::vector<T> items;
    items.reserve(n);
    for (uint32_t i = 0; i < n && ok_; ++i) items.push_back(each());
    return items;
  }

 private:
  template <typename T>
  T Fail() {
    ok_ = false;
    left_ = 0;
    return T{};
  }
  uint32_t Bytes(int n) {
    if (!ok_ || left_ < static_cast<std::size_t>(n)) return Fail<uint32_t>();
    uint32_t v = 0;
    for (int i = 0; i < n; ++i) v |= static_cast<uint32_t>(p_[i]) << (8 * i);
    p_ += n;
    left_ -= static_cast<std::size_t>(n);
    return v;
  }
  const unsigned char* p_;
  std::size_t left_;
  bool ok_ = true;
};

}  // namespace

std::string SaveTypeLibDef(const TypeLibDef& def) {
  Writer w;
  for (char c : kMagic) w.U8(static_cast<uint8_t>(c));
  w.Guid(def.libid);
  w.U16(def.major);
  w.U16(def.minor);
  w.U32(def.lcid);
  w.Text(def.name);
  w.Text(def.doc);
  w.Text(def.help_file);
  w.U32(def.help_context);
  w.U16(def.flags);
  w.List(def.interfaces, [&w](const InterfaceDef& i) {
    w.Guid(i.iid);
    w.Text(i.name);
    w.U8(i.dual ? 1 : 0);
    w.List(i.members, [&w](const MemberDef& m) {
      w.U32(static_cast<uint32_t>(m.dispid));
      w.U32(static_cast<uint32_t>(m.kind));
      w.Text(m.name);
      w.List(m.params, [&w](const ParamDef& p) {
        w.Text(p.name);
        w.U16(p.vt);
        w.U16(p.flags);
      });
      w.U32(m.help_context);
      w.Text(m.doc);
      w.U16(m.flags);
    });
    w.U32(i.help_context);
    w.Text(i.doc);
    w.U16(i.flags);
  });
  w.List(def.coclasses, [&w](const CoclassDef& c) {
    w.Guid(c.clsid);
    w.Text(c.name);
    w.List(c.interfaces, [&w](const ImplementedInterface& i) {
      w.Guid(i.iid);
      w.U32(static_cast<uint32_t>(i.flags));
    });
    w.U32(c.help_context);
    w.Text(c.doc);
    w.U16(c.flags);
  });
  return w.Take();
}

bool ReadTypeLibDef(const void* data, std::size_t size, TypeLibDef& def) {
  if (data == nullptr || size < sizeof kMagic || size > kMaxImage ||
      std::memcmp(data, kMagic, sizeof kMagic) != 0) {
    return false;
  }
  Reader r(static_cast<const unsigned char*>(data) + sizeof kMagic, size - sizeof kMagic);
  def.libid = r.Guid();
  def.major = r.U16();
  def.minor = r.U16();
  def.lcid = r.U32();
  def.name = r.Text();
  def.doc = r.Text();
  def.help_file = r.Text();
  def.help_context = r.U32();
  def.flags = r.U16();
  def.interfaces = r.List<InterfaceDef>([&r] {
    InterfaceDef i;
    i.iid = r.Guid();
    i.name = r.Text();
    const uint8_t dual = r.U8();
    if (dual > 1) r.Reject();  // one spelling per library: images compare byte for byte
    i.dual = dual == 1;
    i.members = r.List<MemberDef>([&r] {
      MemberDef m;
      m.dispid = static_cast<DISPID>(r.U32());
      const uint32_t kind = r.U32();
      if (kind != INVOKE_FUNC && kind != INVOKE_PROPERTYGET && kind != INVOKE_PROPERTYPUT &&
          kind != INVOKE_PROPERTYPUTREF) {
        r.Reject();
      }
      m.kind = static_cast<INVOKEKIND>(kind);
      m.name = r.Text();
      m.params = r.List<ParamDef>([&r] {
        ParamDef p;
        p.name = r.Text();
        p.vt = r.U16();
        p.flags = r.U16();
        return p;
      });
      m.help_context = r.U32();
      m.doc = r.Text();
      m.flags = r.U16();
      return m;
    });
    i.help_context = r.U32();
    i.doc = r.Text();
    i.flags = r.U16();
    return i;
  });
  def.coclasses = r.List<CoclassDef>([&r] {
    CoclassDef c;
    c.clsid = r.Guid();
    c.name = r.Text();
    c.interfaces = r.List<ImplementedInterface>([&r] {
      ImplementedInterface i;
      i.iid = r.Guid();
      i.flags = static_cast<INT>(r.U32());
      return i;
    });
    c.help_context = r.U32();
    c.doc = r.Text();
    c.flags = r.U16();
    return c;
  });
  return r.done();
}

}  // namespace ole
