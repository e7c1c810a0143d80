#include "pack.h"

#include <cstring>
#include <string>
#include <vector>

namespace wsock32 {
namespace {

// Hands out aligned pieces of a buffer, or only counts them when they do not fit.
class Packer {
 public:
  Packer(char* buf, std::size_t cap) : buf_(buf), cap_(cap) {}

  template <typename T>
  T* Take(std::size_t count) {
    used_ = (used_ + alignof(T) - 1) / alignof(T) * alignof(T);
    std::size_t at = used_;
    used_ += sizeof(T) * count;
    return writing_ ? reinterpret_cast<T*>(buf_ + at) : nullptr;
  }
  char* Text(const std::string& s) {
    char* p = Take<char>(s.size() + 1);
    if (p != nullptr) std::memcpy(p, s.c_str(), s.size() + 1);
    return p;
  }
  char** List(const std::vector<std::string>& items) {
    char** list = Take<char*>(items.size() + 1);
    for (std::size_t i = 0; i < items.size(); ++i) {
      char* text = Text(items[i]);
      if (list != nullptr) list[i] = text;
    }
    if (list != nullptr) list[items.size()] = nullptr;
    return list;
  }
  // Counts first; writes on the second pass if everything fits.
  template <typename F>
  std::size_t Run(F layout) {
    writing_ = false;
    used_ = 0;
    layout(*this);
    std::size_t needed = used_;
    if (buf_ != nullptr && needed <= cap_) {
      writing_ = true;
      used_ = 0;
      layout(*this);
    }
    return needed;
  }

 private:
  char* buf_;
  std::size_t cap_;
  std::size_t used_ = 0;
  bool writing_ = false;
};

}  // namespace

std::size_t PackHost(const host::HostInfo& info, char* buf, std::size_t cap) {
  return Packer(buf, cap).Run([&info](Packer& p) {
    auto* h = p.Take<hostent>(1);
    char** aliases = p.List({});
    char** addrs = p.Take<char*>(info.addrs.size() + 1);
    for (std::size_t i = 0; i < info.addrs.size(); ++i) {
      auto* bytes = p.Take<char>(sizeof(ULONG));
      if (bytes != nullptr) {
        std::memcpy(bytes, &info.addrs[i], sizeof(ULONG));
        addrs[i] = bytes;
      }
    }
    char* name = p.Text(info.name);
    if (h != nullptr) {
      addrs[info.addrs.size()] = nullptr;
      *h = hostent{name, aliases, AF_INET, sizeof(ULONG), addrs};
    }
  });
}

std::size_t PackProtocol(const host::NamedEntry& entry, char* buf, std::size_t cap) {
  return Packer(buf, cap).Run([&entry](Packer& p) {
    auto* e = p.Take<protoent>(1);
    char* name = p.Text(entry.name);
    char** aliases = p.List(entry.aliases);
    if (e != nullptr) *e = protoent{name, aliases, static_cast<short>(entry.number)};
  });
}

std::size_t PackService(const host::NamedEntry& entry, char* buf, std::size_t cap) {
  return Packer(buf, cap).Run([&entry](Packer& p) {
    auto* e = p.Take<servent>(1);
    char* name = p.Text(entry.name);
    char* proto = p.Text(entry.proto);
    char** aliases = p.List(entry.aliases);
    if (e != nullptr) *e = servent{name, aliases, proto, static_cast<short>(entry.number)};
  });
}

}  // namespace wsock32
