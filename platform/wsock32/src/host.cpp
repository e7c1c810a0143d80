#include "host.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <linux/errqueue.h>
#include <netinet/in.h>
#include <netinet/ip_icmp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <utility>

#include "wsaerror.h"

namespace wsock32::host {
namespace {

constexpr std::array<std::pair<int, int>, 44> kErrors{{
    {EINTR, WSAEINTR},
    {EBADF, WSAENOTSOCK},
    {EACCES, WSAEACCES},
    {EPERM, WSAEACCES},
    {EFAULT, WSAEFAULT},
    {EINVAL, WSAEINVAL},
    {EMFILE, WSAEMFILE},
    {ENFILE, WSAEMFILE},
    {EAGAIN, WSAEWOULDBLOCK},
    {EINPROGRESS, WSAEINPROGRESS},
    {EALREADY, WSAEALREADY},
    {ENOTSOCK, WSAENOTSOCK},
    {EDESTADDRREQ, WSAEDESTADDRREQ},
    {EMSGSIZE, WSAEMSGSIZE},
    {EPROTOTYPE, WSAEPROTOTYPE},
    {ENOPROTOOPT, WSAENOPROTOOPT},
    {EPROTONOSUPPORT, WSAEPROTONOSUPPORT},
    {ESOCKTNOSUPPORT, WSAESOCKTNOSUPPORT},
    {EOPNOTSUPP, WSAEOPNOTSUPP},
    {EPFNOSUPPORT, WSAEPFNOSUPPORT},
    {EAFNOSUPPORT, WSAEAFNOSUPPORT},
    {EADDRINUSE, WSAEADDRINUSE},
    {EADDRNOTAVAIL, WSAEADDRNOTAVAIL},
    {ENETDOWN, WSAENETDOWN},
    {ENETUNREACH, WSAENETUNREACH},
    {ENETRESET, WSAENETRESET},
    {ECONNABORTED, WSAECONNABORTED},
    {ECONNRESET, WSAECONNRESET},
    {ENOBUFS, WSAENOBUFS},
    {ENOMEM, WSAENOBUFS},
    {EISCONN, WSAEISCONN},
    {ENOTCONN, WSAENOTCONN},
    {ESHUTDOWN, WSAESHUTDOWN},
    {EPIPE, WSAESHUTDOWN},
    {ETOOMANYREFS, WSAETOOMANYREFS},
    {ETIMEDOUT, WSAETIMEDOUT},
    {ECONNREFUSED, WSAECONNREFUSED},
    {ELOOP, WSAELOOP},
    {ENAMETOOLONG, WSAENAMETOOLONG},
    {EHOSTDOWN, WSAEHOSTDOWN},
    {EHOSTUNREACH, WSAEHOSTUNREACH},
    {ENOTEMPTY, WSAENOTEMPTY},
    {EUSERS, WSAEUSERS},
    {EDQUOT, WSAEDQUOT},
}};

Io Fail() {
  return {-1, ErrorFromErrno(errno)};
}
Io Result(long rc) {
  return rc < 0 ? Fail() : Io{rc, 0};
}

sockaddr_in ToHost(const Addr& a) {
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = a.port;
  sa.sin_addr.s_addr = a.addr;
  return sa;
}

Addr FromHost(const sockaddr_in& sa) {
  return {sa.sin_addr.s_addr, sa.sin_port};
}

Io Name(int (*get)(int, sockaddr*, socklen_t*), int fd, Addr* a) {
  sockaddr_in sa{};
  socklen_t len = sizeof sa;
  if (get(fd, reinterpret_cast<sockaddr*>(&sa), &len) != 0) return Fail();
  *a = FromHost(sa);
  return {0, 0};
}

// The numbers Linux gives ICMP errors on a socket with IP_RECVERR (icmp_err_convert, and
// EHOSTUNREACH for time exceeded, EPROTO for a parameter problem). Only a port unreachable
// (ECONNREFUSED) means something to Winsock; it says nothing of the others on a datagram socket.
bool FromIcmp(int err) {
  switch (err) {
    case ECONNREFUSED:
    case EHOSTUNREACH:
    case ENETUNREACH:
    case EHOSTDOWN:
    case ENONET:
    case ENOPROTOOPT:
    case EOPNOTSUPP:
    case EACCES:
    case EMSGSIZE:
    case EPROTO:
      return true;
    default:
      return false;
  }
}

enum class Queued {
  kNothing,
  kPortUnreachable,
  kOtherIcmp,  // unreachable host or net, TTL exceeded, fragmentation needed, ...
  kLocal,      // the kernel's own report of a send it refused (a datagram too long)
};

// Takes the oldest entry off the socket's error queue. Linux keeps the socket's pending error
// in step with the queue, so the entry is the cause of the call that just failed.
Queued TakeQueuedError(int fd) {
  std::array<char, 512> control{};
  std::array<char, 64> data{};
  iovec iov{data.data(), data.size()};
  msghdr msg{};
  msg.msg_iov = &iov;
  msg.msg_iovlen = 1;
  msg.msg_control = control.data();
  msg.msg_controllen = control.size();
  if (recvmsg(fd, &msg, MSG_ERRQUEUE | MSG_DONTWAIT) < 0) return Queued::kNothing;
  for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c != nullptr; c = CMSG_NXTHDR(&msg, c)) {
    if (c->cmsg_level != IPPROTO_IP || c->cmsg_type != IP_RECVERR) continue;
    sock_extended_err e{};
    std::memcpy(&e, CMSG_DATA(c), sizeof e);
    if (e.ee_origin != SO_EE_ORIGIN_ICMP) return Queued::kLocal;
    return e.ee_type == ICMP_DEST_UNREACH && e.ee_code == ICMP_PORT_UNREACH
               ? Queued::kPortUnreachable
               : Queued::kOtherIcmp;
  }
  return Queued::kLocal;
}

// A failed call of a datagram socket, seen as Winsock would: the WSA error to report, 0 for an
// ICMP error Winsock does not report (the call is made again). `sending` tells a refused send,
// whose own failure the kernel also queues, from an error left for the socket.
int DatagramFailure(int fd, int err, bool sending, bool* port_unreachable) {
  *port_unreachable = false;
  if (err == EAGAIN || err == EWOULDBLOCK || err == EINTR) return ErrorFromErrno(err);
  switch (TakeQueuedError(fd)) {
    case Queued::kPortUnreachable:
      *port_unreachable = true;
      return WSAECONNRESET;
    case Queued::kOtherIcmp:
      return 0;
    case Queued::kLocal:
      // On a receive it is a refused send's leftover, already reported to the sender.
      return sending ? ErrorFromErrno(err) : 0;
    case Queued::kNothing:
      break;
  }
  // The queue was full when the ICMP message came: only the number is left to go by.
  if (err == ECONNREFUSED) {
    *port_unreachable = true;
    return WSAECONNRESET;
  }
  return !sending && FromIcmp(err) ? 0 : ErrorFromErrno(err);
}

// The error queue is bounded by the receive buffer; this bounds the work of one call even
// while ICMP messages keep coming.
constexpr int kMaxIgnoredErrors = 256;

}  // namespace

int ErrorFromErrno(int err) {
  if (err == EWOULDBLOCK) return WSAEWOULDBLOCK;
  for (const auto& [from, to] : kErrors) {
    if (from == err) return to;
  }
  return WSAEINVAL;
}

Io Socket(int type, int protocol) {
  int fd = socket(AF_INET, type | SOCK_NONBLOCK | SOCK_CLOEXEC, protocol);
  if (fd < 0) return Fail();
  if (type == SOCK_DGRAM) {
    // Without it Linux keeps ICMP errors from unconnected UDP sockets; Winsock reports them.
    int on = 1;
    setsockopt(fd, IPPROTO_IP, IP_RECVERR, &on, sizeof on);
  }
  return {fd, 0};
}

void Close(int fd) {
  close(fd);
}

Io Bind(int fd, const Addr& a) {
  sockaddr_in sa = ToHost(a);
  return Result(bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa));
}

Io Connect(int fd, const Addr& a) {
  sockaddr_in sa = ToHost(a);
  if (connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0) return {0, 0};
  // A connection under way on a non-blocking socket is "would block" in Winsock.
  return {-1, errno == EINPROGRESS ? WSAEWOULDBLOCK : ErrorFromErrno(errno)};
}

Io Listen(int fd, int backlog) {
  return Result(listen(fd, backlog));
}

Io Accept(int fd, Addr* peer) {
  sockaddr_in sa{};
  socklen_t len = sizeof sa;
  int s = accept4(fd, reinterpret_cast<sockaddr*>(&sa), &len, SOCK_NONBLOCK | SOCK_CLOEXEC);
  if (s < 0) return Fail();
  if (peer != nullptr) *peer = FromHost(sa);
  return {s, 0};
}

Io Shutdown(int fd, int how) {
  return Result(shutdown(fd, how));
}

Io LocalName(int fd, Addr* a) {
  return Name(getsockname, fd, a);
}
Io PeerName(int fd, Addr* a) {
  return Name(getpeername, fd, a);
}

Io Receive(int fd, void* buf, std::size_t len, int flags, Addr* from, bool datagram) {
  for (int ignored = 0; ignored < kMaxIgnoredErrors; ++ignored) {
    sockaddr_in sa{};
    iovec iov{buf, len};
    msghdr msg{};
    msg.msg_name = &sa;
    msg.msg_namelen = sizeof sa;
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    // MSG_TRUNC makes a datagram socket tell the datagram's real length; on a stream it would
    // discard data.
    ssize_t n = recvmsg(fd, &msg, flags | MSG_DONTWAIT | (datagram ? MSG_TRUNC : 0));
    if (n < 0) {
      const int err = errno;
      if (!datagram) return {-1, ErrorFromErrno(err)};
      bool port_unreachable = false;
      // Winsock says "reset" for a port-unreachable reply, whatever the socket's state.
      if (int code = DatagramFailure(fd, err, false, &port_unreachable)) return {-1, code};
      continue;
    }
    if (from != nullptr && msg.msg_namelen >= sizeof sa) *from = FromHost(sa);
    if (datagram && static_cast<std::size_t>(n) > len) {
      return {static_cast<long>(len), WSAEMSGSIZE};
    }
    return {static_cast<long>(n), 0};
  }
  return {-1, WSAEWOULDBLOCK};
}

Io Send(int fd, const void* buf, std::size_t len, int flags, const Addr* to, bool datagram,
        int* owed_resets) {
  sockaddr_in sa{};
  if (to != nullptr) sa = ToHost(*to);
  for (int ignored = 0; ignored < kMaxIgnoredErrors; ++ignored) {
    ssize_t n = sendto(fd, buf, len, flags | MSG_DONTWAIT | MSG_NOSIGNAL,
                       to != nullptr ? reinterpret_cast<sockaddr*>(&sa) : nullptr,
                       to != nullptr ? sizeof sa : 0);
    if (n >= 0) return {n, 0};
    const int err = errno;
    if (!datagram) return {-1, ErrorFromErrno(err)};
    bool port_unreachable = false;
    const int code = DatagramFailure(fd, err, true, &port_unreachable);
    if (port_unreachable) {
      // The error belongs to an earlier datagram: owed to the next receive, and this one goes.
      ++*owed_resets;
      continue;
    }
    if (code != 0) return {-1, code};
  }
  return {-1, WSAEWOULDBLOCK};
}

Io ReadableBytes(int fd) {
  int n = 0;
  if (ioctl(fd, FIONREAD, &n) != 0) return Fail();
  return {n, 0};
}

Io AtOobMark(int fd) {
  int at = 0;
  if (ioctl(fd, SIOCATMARK, &at) != 0) return Fail();
  return {at, 0};
}

Io PendingError(int fd) {
  int err = 0;
  socklen_t len = sizeof err;
  if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0) return Fail();
  return {err == 0 ? 0 : (err == EINPROGRESS ? WSAEWOULDBLOCK : ErrorFromErrno(err)), 0};
}

}  // namespace wsock32::host
