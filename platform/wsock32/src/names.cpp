// Byte order, address texts and the blocking name lookups.
#include <cctype>
#include <cstring>
#include <vector>

#include "api.h"
#include "pack.h"
#include "sockets.h"

namespace wsock32 {
namespace {

// One record per kind and thread, as Winsock keeps them; a lookup overwrites the last.
thread_local std::vector<char> tls_host;
thread_local std::vector<char> tls_protocol;
thread_local std::vector<char> tls_service;
thread_local char tls_ntoa[16];

template <typename Record, typename Entry>
Record* Keep(std::vector<char>* store, const Entry& entry,
             std::size_t (*pack)(const Entry&, char*, std::size_t)) {
  store->resize(pack(entry, nullptr, 0));
  pack(entry, store->data(), store->size());
  return reinterpret_cast<Record*>(store->data());
}

template <typename Record>
Record* Failed(int error) {
  SetError(error);
  return nullptr;
}

// One part of a dotted address: decimal, octal with a leading 0, or hex with 0x.
bool ParsePart(const char*& p, std::uint64_t* out) {
  int base = 10;
  if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
    base = 16;
    p += 2;
  } else if (p[0] == '0') {
    base = 8;
  }
  std::uint64_t v = 0;
  bool any = false;
  for (;; ++p) {
    int c = static_cast<unsigned char>(*p);
    int digit = -1;
    if (std::isdigit(c)) {
      digit = c - '0';
    } else if (base == 16 && std::isxdigit(c)) {
      digit = std::tolower(c) - 'a' + 10;
    }
    if (digit < 0 || digit >= base) break;
    v = v * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(digit);
    if (v > 0xFFFFFFFFull) return false;
    any = true;
  }
  *out = v;
  return any;
}

}  // namespace

namespace api {

u_short WINAPI htons(u_short hostshort) {
  return __builtin_bswap16(hostshort);
}
u_short WINAPI ntohs(u_short netshort) {
  return __builtin_bswap16(netshort);
}
ULONG WINAPI htonl(ULONG hostlong) {
  return __builtin_bswap32(hostlong);
}
ULONG WINAPI ntohl(ULONG netlong) {
  return __builtin_bswap32(netlong);
}

// The classic forms a.b.c.d, a.b.c (c 16 bits), a.b (b 24 bits) and a (32 bits), each part
// decimal, octal or hex; the text may end at white space. Anything else is INADDR_NONE.
ULONG WINAPI inet_addr(const char* cp) {
  if (cp == nullptr) return INADDR_NONE;
  std::uint64_t parts[4] = {};
  int n = 0;
  const char* p = cp;
  for (;;) {
    if (n == 4 || !ParsePart(p, &parts[n])) return INADDR_NONE;
    ++n;
    if (*p != '.') break;
    ++p;
  }
  if (*p != '\0' && !std::isspace(static_cast<unsigned char>(*p))) return INADDR_NONE;
  std::uint64_t value = 0;
  static constexpr std::uint64_t kLastMax[] = {0xFFFFFFFF, 0xFFFFFF, 0xFFFF, 0xFF};
  for (int i = 0; i < n - 1; ++i) {
    if (parts[i] > 0xFF) return INADDR_NONE;
    value |= parts[i] << (24 - 8 * i);
  }
  if (parts[n - 1] > kLastMax[n - 1]) return INADDR_NONE;
  value |= parts[n - 1];
  return htonl(static_cast<ULONG>(value));
}

char* WINAPI inet_ntoa(struct in_addr in) {
  // Formatted by hand: a receive loop asks for every datagram's sender.
  const auto& b = in.S_un.S_un_b;
  char* p = tls_ntoa;
  for (unsigned value : {unsigned{b.s_b1}, unsigned{b.s_b2}, unsigned{b.s_b3}, unsigned{b.s_b4}}) {
    if (p != tls_ntoa) *p++ = '.';
    if (value >= 100) *p++ = static_cast<char>('0' + value / 100);
    if (value >= 10) *p++ = static_cast<char>('0' + value / 10 % 10);
    *p++ = static_cast<char>('0' + value % 10);
  }
  *p = '\0';
  return tls_ntoa;
}

int WINAPI gethostname(char* name, int namelen) {
  if (!Enter()) return SOCKET_ERROR;
  std::string host;
  host::Io r = host::HostName(&host);
  if (r.error != 0) {
    SetError(r.error);
    return SOCKET_ERROR;
  }
  if (name == nullptr || namelen < 0 || host.size() + 1 > static_cast<std::size_t>(namelen)) {
    SetError(WSAEFAULT);
    return SOCKET_ERROR;
  }
  std::memcpy(name, host.c_str(), host.size() + 1);
  return 0;
}

struct hostent* WINAPI gethostbyname(const char* name) {
  if (!Enter()) return nullptr;
  std::string wanted;
  if (name == nullptr) {
    host::Io r = host::HostName(&wanted);
    if (r.error != 0) return Failed<hostent>(r.error);
  } else {
    wanted = name;
  }
  host::HostInfo info;
  host::Io r = host::ResolveName(wanted, &info);
  if (r.error != 0) return Failed<hostent>(r.error);
  if (info.addrs.empty()) return Failed<hostent>(WSANO_DATA);
  return Keep<hostent>(&tls_host, info, PackHost);
}

struct hostent* WINAPI gethostbyaddr(const char* addr, int len, int type) {
  if (!Enter()) return nullptr;
  if (addr == nullptr || len < static_cast<int>(sizeof(ULONG))) return Failed<hostent>(WSAEFAULT);
  if (type != AF_INET) return Failed<hostent>(WSAEAFNOSUPPORT);
  ULONG a = 0;
  std::memcpy(&a, addr, sizeof a);
  host::HostInfo info;
  host::Io r = host::ResolveAddress(a, &info);
  if (r.error != 0) return Failed<hostent>(r.error);
  return Keep<hostent>(&tls_host, info, PackHost);
}

struct protoent* WINAPI getprotobyname(const char* name) {
  if (!Enter()) return nullptr;
  if (name == nullptr) return Failed<protoent>(WSAEFAULT);
  host::NamedEntry e;
  host::Io r = host::ProtocolByName(name, &e);
  if (r.error != 0) return Failed<protoent>(r.error);
  return Keep<protoent>(&tls_protocol, e, PackProtocol);
}

struct protoent* WINAPI getprotobynumber(int number) {
  if (!Enter()) return nullptr;
  host::NamedEntry e;
  host::Io r = host::ProtocolByNumber(number, &e);
  if (r.error != 0) return Failed<protoent>(r.error);
  return Keep<protoent>(&tls_protocol, e, PackProtocol);
}

struct servent* WINAPI getservbyname(const char* name, const char* proto) {
  if (!Enter()) return nullptr;
  if (name == nullptr) return Failed<servent>(WSAEFAULT);
  host::NamedEntry e;
  host::Io r = host::ServiceByName(name, proto, &e);
  if (r.error != 0) return Failed<servent>(r.error);
  return Keep<servent>(&tls_service, e, PackService);
}

struct servent* WINAPI getservbyport(int port, const char* proto) {
  if (!Enter()) return nullptr;
  host::NamedEntry e;
  host::Io r = host::ServiceByPort(port, proto, &e);
  if (r.error != 0) return Failed<servent>(r.error);
  return Keep<servent>(&tls_service, e, PackService);
}

}  // namespace api
}  // namespace wsock32
