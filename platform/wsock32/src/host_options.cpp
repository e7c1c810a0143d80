// Socket options: Windows Sockets 1.1 level and number to the host's, with the value's shape.
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <sys/time.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>

#include "host.h"
#include "wsaerror.h"

namespace wsock32::host {
namespace {

enum class Shape {
  kInt,         // int both sides
  kBufferSize,  // int; Linux reports twice what it was given, Winsock what was set
  kLinger,      // two u_shorts on Windows, two ints on Linux
  kDontLinger,  // a BOOL that is SO_LINGER's on/off, negated
  kMillis,      // DWORD milliseconds on Windows, timeval on Linux
  kError,       // read only; errno becomes a WSA number
  kReadOnly,    // read only int
  kDontFragment,
  kBytes,  // passed through: the layouts agree (ip_mreq, in_addr, IP options)
};

struct Option {
  int win_level;
  int win_name;
  int level;
  int name;
  Shape shape;
};

// The numbers of the left columns are Windows Sockets 1.1's (winsock.h): 0xFFFF is
// SOL_SOCKET, 0 is IPPROTO_IP, 6 is IPPROTO_TCP.
constexpr Option kOptions[] = {
    {0xFFFF, 0x0001, SOL_SOCKET, SO_DEBUG, Shape::kInt},
    {0xFFFF, 0x0002, SOL_SOCKET, SO_ACCEPTCONN, Shape::kReadOnly},
    {0xFFFF, 0x0004, SOL_SOCKET, SO_REUSEADDR, Shape::kInt},
    {0xFFFF, 0x0008, SOL_SOCKET, SO_KEEPALIVE, Shape::kInt},
    {0xFFFF, 0x0010, SOL_SOCKET, SO_DONTROUTE, Shape::kInt},
    {0xFFFF, 0x0020, SOL_SOCKET, SO_BROADCAST, Shape::kInt},
    {0xFFFF, 0x0080, SOL_SOCKET, SO_LINGER, Shape::kLinger},
    {0xFFFF, 0x0100, SOL_SOCKET, SO_OOBINLINE, Shape::kInt},
    {0xFFFF, ~0x0080, SOL_SOCKET, SO_LINGER, Shape::kDontLinger},
    {0xFFFF, 0x1001, SOL_SOCKET, SO_SNDBUF, Shape::kBufferSize},
    {0xFFFF, 0x1002, SOL_SOCKET, SO_RCVBUF, Shape::kBufferSize},
    {0xFFFF, 0x1003, SOL_SOCKET, SO_SNDLOWAT, Shape::kInt},
    {0xFFFF, 0x1004, SOL_SOCKET, SO_RCVLOWAT, Shape::kInt},
    {0xFFFF, 0x1005, SOL_SOCKET, SO_SNDTIMEO, Shape::kMillis},
    {0xFFFF, 0x1006, SOL_SOCKET, SO_RCVTIMEO, Shape::kMillis},
    {0xFFFF, 0x1007, SOL_SOCKET, SO_ERROR, Shape::kError},
    {0xFFFF, 0x1008, SOL_SOCKET, SO_TYPE, Shape::kReadOnly},
    {0, 1, IPPROTO_IP, IP_OPTIONS, Shape::kBytes},
    {0, 2, IPPROTO_IP, IP_MULTICAST_IF, Shape::kBytes},
    {0, 3, IPPROTO_IP, IP_MULTICAST_TTL, Shape::kInt},
    {0, 4, IPPROTO_IP, IP_MULTICAST_LOOP, Shape::kInt},
    {0, 5, IPPROTO_IP, IP_ADD_MEMBERSHIP, Shape::kBytes},
    {0, 6, IPPROTO_IP, IP_DROP_MEMBERSHIP, Shape::kBytes},
    {0, 7, IPPROTO_IP, IP_TTL, Shape::kInt},
    {0, 8, IPPROTO_IP, IP_TOS, Shape::kInt},
    {0, 9, IPPROTO_IP, IP_MTU_DISCOVER, Shape::kDontFragment},
    {6, 1, IPPROTO_TCP, TCP_NODELAY, Shape::kInt},
};

// The option, or nullptr with the error: an unknown level is WSAEINVAL, an unknown option of a
// known level WSAENOPROTOOPT.
const Option* Find(int level, int name, int* error) {
  bool level_known = false;
  for (const Option& o : kOptions) {
    if (o.win_level != level) continue;
    level_known = true;
    if (o.win_name == name) return &o;
  }
  *error = level_known ? WSAENOPROTOOPT : WSAEINVAL;
  return nullptr;
}

Io Errno() {
  return {-1, ErrorFromErrno(errno)};
}

template <typename T>
Io HostSet(int fd, const Option& o, const T& v) {
  return setsockopt(fd, o.level, o.name, &v, sizeof v) == 0 ? Io{0, 0} : Errno();
}

template <typename T>
Io HostGet(int fd, const Option& o, T* v) {
  socklen_t len = sizeof *v;
  return getsockopt(fd, o.level, o.name, v, &len) == 0 ? Io{0, 0} : Errno();
}

// Winsock counts a datagram socket's receive buffer in bytes of data; Linux charges each
// queued datagram its bookkeeping too (about 800 bytes on 64 bits, measured with SO_MEMINFO)
// and rounds its data up to an allocation size (up to twice the data). So that the buffer
// holds what was asked for in datagrams of kSmallDatagram bytes or more, ask for that much.
constexpr std::int64_t kSmallDatagram = 16;
constexpr std::int64_t kPerDatagram = 1024;

int ReceiveSpace(int data_bytes) {
  const std::int64_t data = std::max(data_bytes, 0);
  const std::int64_t kernel = 2 * data + (data / kSmallDatagram + 1) * kPerDatagram;
  // Linux doubles what it is given; it also caps it at net.core.rmem_max.
  return static_cast<int>(std::min<std::int64_t>(kernel / 2, INT_MAX));
}

struct WinLinger {
  std::uint16_t onoff;
  std::uint16_t seconds;
};

}  // namespace

Io SetOption(int fd, int level, int name, const void* value, int len, bool datagram) {
  int error = 0;
  const Option* o = Find(level, name, &error);
  if (o == nullptr) return {-1, error};
  if (value == nullptr || len < 0) return {-1, WSAEFAULT};
  const auto size = static_cast<std::size_t>(len);
  int i = 0;
  const bool int_shaped = o->shape != Shape::kLinger && o->shape != Shape::kBytes;
  if (int_shaped) {
    if (size < sizeof i) return {-1, WSAEFAULT};
    std::memcpy(&i, value, sizeof i);
  }
  switch (o->shape) {
    case Shape::kInt:
      return HostSet(fd, *o, i);
    case Shape::kBufferSize:
      return HostSet(fd, *o, datagram && o->name == SO_RCVBUF ? ReceiveSpace(i) : i);
    case Shape::kReadOnly:
    case Shape::kError:
      return {-1, WSAENOPROTOOPT};
    case Shape::kLinger: {
      WinLinger w{};
      if (size < sizeof w) return {-1, WSAEFAULT};
      std::memcpy(&w, value, sizeof w);
      return HostSet(fd, *o, linger{w.onoff != 0 ? 1 : 0, w.seconds});
    }
    case Shape::kDontLinger: {
      linger l{};
      HostGet(fd, *o, &l);
      l.l_onoff = i != 0 ? 0 : 1;
      return HostSet(fd, *o, l);
    }
    case Shape::kMillis: {
      auto ms = static_cast<std::uint32_t>(i);
      timeval tv{static_cast<time_t>(ms / 1000), static_cast<suseconds_t>((ms % 1000) * 1000)};
      return HostSet(fd, *o, tv);
    }
    case Shape::kDontFragment:
      return HostSet(fd, *o, i != 0 ? IP_PMTUDISC_DO : IP_PMTUDISC_DONT);
    case Shape::kBytes:
      return setsockopt(fd, o->level, o->name, value, static_cast<socklen_t>(size)) == 0 ? Io{0, 0}
                                                                                         : Errno();
  }
  return {-1, WSAENOPROTOOPT};
}

Io GetOption(int fd, int level, int name, void* value, int* len) {
  int error = 0;
  const Option* o = Find(level, name, &error);
  if (o == nullptr) return {-1, error};
  if (value == nullptr || len == nullptr || *len < 0) return {-1, WSAEFAULT};
  if (o->shape == Shape::kBytes) {
    auto size = static_cast<socklen_t>(*len);
    if (getsockopt(fd, o->level, o->name, value, &size) != 0) return Errno();
    *len = static_cast<int>(size);
    return {0, 0};
  }
  if (static_cast<std::size_t>(*len) < sizeof(int)) return {-1, WSAEFAULT};
  int out = 0;
  Io r{0, 0};
  switch (o->shape) {
    case Shape::kInt:
    case Shape::kReadOnly:
      r = HostGet(fd, *o, &out);
      break;
    case Shape::kBufferSize:
      r = HostGet(fd, *o, &out);
      out /= 2;  // Linux doubles the size asked for, for its bookkeeping (socket(7))
      break;
    case Shape::kError:
      r = PendingError(fd);
      out = static_cast<int>(r.value);
      r.value = 0;
      break;
    case Shape::kLinger: {
      linger l{};
      r = HostGet(fd, *o, &l);
      WinLinger w{static_cast<std::uint16_t>(l.l_onoff != 0 ? 1 : 0),
                  static_cast<std::uint16_t>(l.l_linger)};
      std::memcpy(&out, &w, sizeof w);
      break;
    }
    case Shape::kDontLinger: {
      linger l{};
      r = HostGet(fd, *o, &l);
      out = l.l_onoff != 0 ? 0 : 1;
      break;
    }
    case Shape::kMillis: {
      timeval tv{};
      r = HostGet(fd, *o, &tv);
      out = static_cast<int>(tv.tv_sec * 1000 + tv.tv_usec / 1000);
      break;
    }
    case Shape::kDontFragment:
      r = HostGet(fd, *o, &out);
      out = out == IP_PMTUDISC_DO ? 1 : 0;
      break;
    case Shape::kBytes:
      break;
  }
  if (r.error != 0) return r;
  std::memcpy(value, &out, sizeof out);
  *len = sizeof out;
  return {0, 0};
}

}  // namespace wsock32::host
