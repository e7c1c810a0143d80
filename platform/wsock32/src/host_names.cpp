// Name lookups through the host's resolver and its protocol and service files.
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <vector>

#include "host.h"
#include "wsaerror.h"

namespace wsock32::host {
namespace {

int FromResolver(int rc) {
  switch (rc) {
    case EAI_NONAME:
      return WSAHOST_NOT_FOUND;
    case EAI_AGAIN:
      return WSATRY_AGAIN;
    case EAI_NODATA:
    case EAI_ADDRFAMILY:
      return WSANO_DATA;
    case EAI_MEMORY:
      return WSAENOBUFS;
    case EAI_SYSTEM:
      return ErrorFromErrno(errno);
    default:
      return WSANO_RECOVERY;
  }
}

std::vector<std::string> Aliases(char** list) {
  std::vector<std::string> out;
  for (char** p = list; p != nullptr && *p != nullptr; ++p) out.emplace_back(*p);
  return out;
}

// The reentrant lookups want a scratch buffer; 4 KiB holds any sane entry, and ERANGE grows it.
template <typename Entry, typename Lookup>
bool Reentrant(Entry* entry, std::vector<char>* buf, Lookup lookup) {
  buf->assign(4096, '\0');
  for (int i = 0; i < 6; ++i) {
    Entry* result = nullptr;
    int rc = lookup(entry, buf->data(), buf->size(), &result);
    if (rc == ERANGE) {
      buf->resize(buf->size() * 2);
      continue;
    }
    return rc == 0 && result != nullptr;
  }
  return false;
}

}  // namespace

Io ResolveName(const std::string& name, HostInfo* out) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_DGRAM;  // one entry per address, not one per socket type
  hints.ai_flags = AI_CANONNAME;
  addrinfo* list = nullptr;
  int rc = getaddrinfo(name.c_str(), nullptr, &hints, &list);
  if (rc != 0) return {-1, FromResolver(rc)};
  out->name = list->ai_canonname != nullptr ? list->ai_canonname : name;
  out->addrs.clear();
  for (addrinfo* ai = list; ai != nullptr; ai = ai->ai_next) {
    auto addr = reinterpret_cast<const sockaddr_in*>(ai->ai_addr)->sin_addr.s_addr;
    if (std::find(out->addrs.begin(), out->addrs.end(), addr) == out->addrs.end()) {
      out->addrs.push_back(addr);
    }
  }
  freeaddrinfo(list);
  return {0, 0};
}

Io ResolveAddress(std::uint32_t addr, HostInfo* out) {
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_addr.s_addr = addr;
  std::array<char, NI_MAXHOST> host{};
  int rc = getnameinfo(reinterpret_cast<sockaddr*>(&sa), sizeof sa, host.data(), host.size(),
                       nullptr, 0, NI_NAMEREQD);
  if (rc != 0) return {-1, FromResolver(rc)};
  out->name = host.data();
  out->addrs = {addr};
  return {0, 0};
}

Io HostName(std::string* out) {
  std::array<char, HOST_NAME_MAX + 1> name{};
  if (gethostname(name.data(), name.size()) != 0) return {-1, ErrorFromErrno(errno)};
  *out = name.data();
  return {0, 0};
}

Io ProtocolByName(const std::string& name, NamedEntry* out) {
  protoent e{};
  std::vector<char> buf;
  if (!Reentrant(&e, &buf, [&name](protoent* pe, char* b, std::size_t n, protoent** r) {
        return getprotobyname_r(name.c_str(), pe, b, n, r);
      })) {
    return {-1, WSANO_DATA};
  }
  *out = {e.p_name, Aliases(e.p_aliases), e.p_proto, {}};
  return {0, 0};
}

Io ProtocolByNumber(int number, NamedEntry* out) {
  protoent e{};
  std::vector<char> buf;
  if (!Reentrant(&e, &buf, [number](protoent* pe, char* b, std::size_t n, protoent** r) {
        return getprotobynumber_r(number, pe, b, n, r);
      })) {
    return {-1, WSANO_DATA};
  }
  *out = {e.p_name, Aliases(e.p_aliases), e.p_proto, {}};
  return {0, 0};
}

Io ServiceByName(const std::string& name, const char* proto, NamedEntry* out) {
  servent e{};
  std::vector<char> buf;
  if (!Reentrant(&e, &buf, [&name, proto](servent* se, char* b, std::size_t n, servent** r) {
        return getservbyname_r(name.c_str(), proto, se, b, n, r);
      })) {
    return {-1, WSANO_DATA};
  }
  *out = {e.s_name, Aliases(e.s_aliases), e.s_port, e.s_proto};
  return {0, 0};
}

Io ServiceByPort(int port_n, const char* proto, NamedEntry* out) {
  servent e{};
  std::vector<char> buf;
  if (!Reentrant(&e, &buf, [port_n, proto](servent* se, char* b, std::size_t n, servent** r) {
        return getservbyport_r(port_n, proto, se, b, n, r);
      })) {
    return {-1, WSANO_DATA};
  }
  *out = {e.s_name, Aliases(e.s_aliases), e.s_port, e.s_proto};
  return {0, 0};
}

}  // namespace wsock32::host
