// The host's sockets, seen through plain types: the one part of the library that includes the
// host's socket headers (they and winsock.h declare the same names). Every result carries a
// Windows Sockets error number, never errno. Descriptors are always non-blocking here; the
// library waits itself when a Windows socket is blocking.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace wsock32::host {

// An IPv4 endpoint, address and port in network order.
struct Addr {
  std::uint32_t addr = 0;
  std::uint16_t port = 0;
};

struct Io {
  long value = 0;
  int error = 0;  // 0 for success, else a WSA error number
};

int ErrorFromErrno(int err);

Io Socket(int type, int protocol);
void Close(int fd);
Io Bind(int fd, const Addr& a);
Io Connect(int fd, const Addr& a);
Io Listen(int fd, int backlog);
Io Accept(int fd, Addr* peer);
Io Shutdown(int fd, int how);
Io LocalName(int fd, Addr* a);
Io PeerName(int fd, Addr* a);
// A datagram longer than `len` fills the buffer, is consumed and gives WSAEMSGSIZE (value = len).
// On a datagram socket the only ICMP error reported is a port unreachable, as WSAECONNRESET;
// the others are taken off the error queue and the receive goes on, as on Winsock.
Io Receive(int fd, void* buf, std::size_t len, int flags, Addr* from, bool datagram);
// On a datagram socket an ICMP error left from an earlier datagram does not stop this one: it
// is taken off the queue and the datagram sent; `owed_resets` counts the port-unreachable
// errors so taken, which Winsock still reports on a later receive.
Io Send(int fd, const void* buf, std::size_t len, int flags, const Addr* to, bool datagram,
        int* owed_resets);
Io ReadableBytes(int fd);
Io AtOobMark(int fd);
Io PendingError(int fd);  // SO_ERROR, as a WSA number

// Socket options by their Windows Sockets 1.1 level and number, converted to the host's.
// `len` is in/out for Get. A datagram socket's receive buffer is sized so that it holds the
// asked number of bytes of data, as Winsock's does; the caller keeps the value to read back.
Io SetOption(int fd, int level, int name, const void* value, int len, bool datagram);
Io GetOption(int fd, int level, int name, void* value, int* len);

struct HostInfo {
  std::string name;
  std::vector<std::uint32_t> addrs;  // network order, the resolver's first first
};
Io ResolveName(const std::string& name, HostInfo* out);
Io ResolveAddress(std::uint32_t addr, HostInfo* out);
Io HostName(std::string* out);

struct NamedEntry {
  std::string name;
  std::vector<std::string> aliases;
  int number = 0;     // protocol number, or port in network order
  std::string proto;  // services only
};
Io ProtocolByName(const std::string& name, NamedEntry* out);
Io ProtocolByNumber(int number, NamedEntry* out);
Io ServiceByName(const std::string& name, const char* proto, NamedEntry* out);
Io ServiceByPort(int port_n, const char* proto, NamedEntry* out);

}  // namespace wsock32::host
