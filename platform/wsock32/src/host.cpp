#include "host.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
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

// Errors that an ICMP message sets on a datagram socket; each has an error queue entry.
bool FromIcmp(int err) {
  return err == ECONNREFUSED || err == EHOSTUNREACH || err == ENETUNREACH || err == EHOSTDOWN ||
         err == EPROTO || err == EMSGSIZE || err == ETIMEDOUT;
}

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
    int err = errno;
    if (datagram && FromIcmp(err)) {
      DropQueuedError(fd);
      // Winsock says "reset" for a port-unreachable reply, whatever the socket's state.
      return {-1, err == ECONNREFUSED ? WSAECONNRESET : ErrorFromErrno(err)};
    }
    return {-1, ErrorFromErrno(err)};
  }
  if (from != nullptr && msg.msg_namelen >= sizeof sa) *from = FromHost(sa);
  if (datagram && static_cast<std::size_t>(n) > len) {
    return {static_cast<long>(len), WSAEMSGSIZE};
  }
  return {static_cast<long>(n), 0};
}

Io Send(int fd, const void* buf, std::size_t len, int flags, const Addr* to) {
  sockaddr_in sa{};
  if (to != nullptr) sa = ToHost(*to);
  ssize_t n = sendto(fd, buf, len, flags | MSG_DONTWAIT | MSG_NOSIGNAL,
                     to != nullptr ? reinterpret_cast<sockaddr*>(&sa) : nullptr,
                     to != nullptr ? sizeof sa : 0);
  return Result(n);
}

void DropQueuedError(int fd) {
  std::array<char, 512> control{};
  std::array<char, 64> data{};
  iovec iov{data.data(), data.size()};
  msghdr msg{};
  msg.msg_iov = &iov;
  msg.msg_iovlen = 1;
  msg.msg_control = control.data();
  msg.msg_controllen = control.size();
  recvmsg(fd, &msg, MSG_ERRQUEUE | MSG_DONTWAIT);
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
