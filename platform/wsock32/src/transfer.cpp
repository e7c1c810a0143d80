// recv, recvfrom, send and sendto.
#include <poll.h>

#include "api.h"
#include "async.h"
#include "sockets.h"

namespace wsock32 {
namespace {

constexpr int kKnownFlags = MSG_OOB | MSG_PEEK | MSG_DONTROUTE;

int Fail(int error) {
  SetError(error);
  return SOCKET_ERROR;
}

int Receive(SOCKET s, char* buf, int len, int flags, struct sockaddr* from, int* fromlen) {
  if (!Enter()) return SOCKET_ERROR;
  SocketPtr sock = Lookup(s);
  if (!sock) return Fail(WSAENOTSOCK);
  if (len < 0 || (buf == nullptr && len > 0)) return Fail(WSAEFAULT);
  if (from != nullptr && (fromlen == nullptr || *fromlen < static_cast<int>(sizeof(sockaddr_in)))) {
    return Fail(WSAEFAULT);
  }
  if ((flags & ~kKnownFlags) != 0) return Fail(WSAEOPNOTSUPP);
  if (sock->datagram() && !sock->bound) return Fail(WSAEINVAL);

  host::Io r;
  host::Addr peer;
  int owed = sock->owed_resets.load();
  while (owed > 0 && !sock->owed_resets.compare_exchange_weak(owed, owed - 1)) {
  }
  if (owed > 0) {
    r = {-1, WSAECONNRESET};
  } else {
    const bool datagram = sock->datagram();
    const auto size = static_cast<std::size_t>(len);
    r = Blocking(*sock, POLLIN, sock->recv_timeout, [&](Socket& so) {
      return host::Receive(so.fd, buf, size, flags, &peer, datagram);
    });
  }
  if ((flags & MSG_OOB) != 0) {
    ReenableOob(*sock);
  } else {
    ReenableRead(*sock, !sock->datagram() && r.error == 0 && r.value == 0 && len > 0,
                 r.error == WSAEWOULDBLOCK);
  }
  if (from != nullptr && (r.error == 0 || r.error == WSAEMSGSIZE)) FromHost(peer, from, fromlen);
  if (r.error != 0) return Fail(r.error);
  return static_cast<int>(r.value);
}

int Send(SOCKET s, const char* buf, int len, int flags, const struct sockaddr* to, int tolen) {
  if (!Enter()) return SOCKET_ERROR;
  SocketPtr sock = Lookup(s);
  if (!sock) return Fail(WSAENOTSOCK);
  if (len < 0 || (buf == nullptr && len > 0)) return Fail(WSAEFAULT);
  if ((flags & ~kKnownFlags) != 0) return Fail(WSAEOPNOTSUPP);
  host::Addr dest;
  // A stream ignores the address, as Winsock does.
  const bool addressed = to != nullptr && sock->datagram();
  if (addressed) {
    if (int err = ToHost(to, tolen, &dest)) return Fail(err);
  }
  const host::Addr* target = addressed ? &dest : nullptr;
  const bool blocking_stream = !sock->datagram() && !sock->nonblocking;
  std::size_t done = 0;
  auto once = [&](Socket& so) {
    int owed = 0;
    host::Io io = host::Send(so.fd, buf + done, static_cast<std::size_t>(len) - done, flags, target,
                             so.datagram(), &owed);
    so.owed_resets += owed;
    return io;
  };
  host::Io r;
  for (;;) {
    r = Blocking(*sock, POLLOUT, sock->send_timeout, once);
    if (r.error != 0) break;
    done += static_cast<std::size_t>(r.value);
    // A blocking stream send returns when all of it is on its way.
    if (!blocking_stream || done == static_cast<std::size_t>(len)) break;
  }
  if (r.error == WSAEWOULDBLOCK) ReenableWrite(*sock);
  if (addressed && (r.error == 0 || done > 0)) sock->bound = true;
  if (done > 0) return static_cast<int>(done);
  if (r.error != 0) return Fail(r.error);
  return 0;
}

}  // namespace

namespace api {

int WINAPI recv(SOCKET s, char* buf, int len, int flags) {
  return Receive(s, buf, len, flags, nullptr, nullptr);
}

int WINAPI recvfrom(SOCKET s, char* buf, int len, int flags, struct sockaddr* from, int* fromlen) {
  return Receive(s, buf, len, flags, from, fromlen);
}

int WINAPI send(SOCKET s, const char* buf, int len, int flags) {
  return Send(s, buf, len, flags, nullptr, 0);
}

int WINAPI sendto(SOCKET s, const char* buf, int len, int flags, const struct sockaddr* to,
                  int tolen) {
  return Send(s, buf, len, flags, to, tolen);
}

}  // namespace api
}  // namespace wsock32
