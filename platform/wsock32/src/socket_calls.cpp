// Creating, naming, connecting and closing sockets; their options, modes and select.
#include <poll.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <vector>

#include "api.h"
#include "async.h"
#include "sockets.h"
#include "windows.h"

namespace wsock32 {
namespace {

using Conn = Socket::Conn;

int Fail(int error) {
  SetError(error);
  return SOCKET_ERROR;
}

SocketPtr Get(SOCKET s) {
  SocketPtr sock = Lookup(s);
  if (!sock) SetError(WSAENOTSOCK);
  return sock;
}

void SetConn(Socket& s, Conn c) {
  std::lock_guard lock(s.mu);
  s.conn = c;
}

Conn GetConn(Socket& s) {
  std::lock_guard lock(s.mu);
  return s.conn;
}

// A connection under way: done when the socket has a peer, failed when it has an error.
host::Io ConnectDone(Socket& s) {
  host::Io pending = host::PendingError(s.fd);
  if (pending.error != 0) return pending;
  if (pending.value != 0) return {-1, static_cast<int>(pending.value)};
  host::Addr peer;
  host::Io named = host::PeerName(s.fd, &peer);
  return named.error == WSAENOTCONN ? host::Io{-1, WSAEWOULDBLOCK} : named;
}

int ConnectStream(Socket& s, const host::Addr& to) {
  Conn c = GetConn(s);
  if (c == Conn::kConnected) return WSAEISCONN;
  if (c == Conn::kListening) return WSAEINVAL;
  if (c == Conn::kConnecting) return s.nonblocking ? WSAEALREADY : WSAEINVAL;
  host::Io r = host::Connect(s.fd, to);
  s.bound = true;
  if (r.error == 0) {
    SetConn(s, Conn::kConnected);
    return 0;
  }
  if (r.error != WSAEWOULDBLOCK) return r.error;
  SetConn(s, Conn::kConnecting);
  if (s.nonblocking) {
    ConnectStarted(s);
    return WSAEWOULDBLOCK;
  }
  r = Blocking(s, POLLOUT, 0, ConnectDone);
  SetConn(s, r.error == 0 ? Conn::kConnected : Conn::kIdle);
  return r.error;
}

struct Selected {
  WS_fd_set* set;
  short events;
};

bool Ready(short revents, short events, bool connecting) {
  if (events == POLLIN) return (revents & (POLLIN | POLLHUP | POLLERR)) != 0;
  if (events == POLLOUT) return (revents & POLLOUT) != 0 && !(connecting && (revents & POLLERR));
  return (revents & POLLPRI) != 0 || (connecting && (revents & POLLERR) != 0);
}

}  // namespace

namespace api {

SOCKET WINAPI socket(int af, int type, int protocol) {
  if (!Enter()) return INVALID_SOCKET;
  int error = 0;
  if (af != AF_INET) {
    error = WSAEAFNOSUPPORT;
  } else if (type != SOCK_STREAM && type != SOCK_DGRAM && type != SOCK_RAW) {
    error = WSAESOCKTNOSUPPORT;
  } else if ((type == SOCK_STREAM && protocol != 0 && protocol != IPPROTO_TCP) ||
             (type == SOCK_DGRAM && protocol != 0 && protocol != IPPROTO_UDP)) {
    error = WSAEPROTONOSUPPORT;
  }
  if (error == 0) {
    host::Io r = host::Socket(type, protocol);
    if (r.error == 0) return Register(static_cast<int>(r.value), type);
    error = r.error;
  }
  SetError(error);
  return INVALID_SOCKET;
}

int WINAPI closesocket(SOCKET s) {
  if (!Enter()) return SOCKET_ERROR;
  SocketPtr sock = Unregister(s);
  if (!sock) return Fail(WSAENOTSOCK);
  StopNotices(*sock);
  sock->closed = true;
  // A call blocked on it in another thread holds it open: wake that call. The descriptor
  // closes when the last holder lets go.
  if (sock.use_count() > 1) host::Shutdown(sock->fd, SD_BOTH);
  return 0;
}

int WINAPI bind(SOCKET s, const struct sockaddr* name, int namelen) {
  if (!Enter()) return SOCKET_ERROR;
  SocketPtr sock = Get(s);
  if (!sock) return SOCKET_ERROR;
  host::Addr a;
  if (int err = ToHost(name, namelen, &a)) return Fail(err);
  host::Io r = host::Bind(sock->fd, a);
  if (r.error != 0) return Fail(r.error);
  sock->bound = true;
  return 0;
}

int WINAPI connect(SOCKET s, const struct sockaddr* name, int namelen) {
  if (!Enter()) return SOCKET_ERROR;
  SocketPtr sock = Get(s);
  if (!sock) return SOCKET_ERROR;
  host::Addr a;
  if (int err = ToHost(name, namelen, &a)) return Fail(err);
  int error = 0;
  if (sock->datagram()) {
    error = host::Connect(sock->fd, a).error;
    if (error == 0) sock->bound = true;
  } else {
    error = ConnectStream(*sock, a);
  }
  return error == 0 ? 0 : Fail(error);
}

int WINAPI listen(SOCKET s, int backlog) {
  if (!Enter()) return SOCKET_ERROR;
  SocketPtr sock = Get(s);
  if (!sock) return SOCKET_ERROR;
  if (sock->datagram()) return Fail(WSAEOPNOTSUPP);
  if (!sock->bound) return Fail(WSAEINVAL);
  Conn c = GetConn(*sock);
  if (c == Conn::kConnected || c == Conn::kConnecting) return Fail(WSAEISCONN);
  host::Io r = host::Listen(sock->fd, backlog < 1 ? 1 : backlog);
  if (r.error != 0) return Fail(r.error);
  SetConn(*sock, Conn::kListening);
  return 0;
}

SOCKET WINAPI accept(SOCKET s, struct sockaddr* addr, int* addrlen) {
  if (!Enter()) return INVALID_SOCKET;
  SocketPtr sock = Get(s);
  if (!sock) return INVALID_SOCKET;
  if (addr != nullptr && (addrlen == nullptr || *addrlen < static_cast<int>(sizeof(sockaddr_in)))) {
    SetError(WSAEFAULT);
    return INVALID_SOCKET;
  }
  if (GetConn(*sock) != Conn::kListening) {
    SetError(WSAEINVAL);
    return INVALID_SOCKET;
  }
  host::Addr peer;
  host::Io r =
      Blocking(*sock, POLLIN, 0, [&peer](Socket& so) { return host::Accept(so.fd, &peer); });
  ReenableAccept(*sock, r.error == WSAEWOULDBLOCK);
  if (r.error != 0) {
    SetError(r.error);
    return INVALID_SOCKET;
  }
  SOCKET out = Register(static_cast<int>(r.value), SOCK_STREAM);
  SocketPtr accepted = Lookup(out);
  accepted->bound = true;
  SetConn(*accepted, Conn::kConnected);
  // The new socket has the listening socket's properties, notices included.
  AsyncSelect inherited;
  {
    std::lock_guard lock(sock->mu);
    inherited = sock->async;
  }
  accepted->nonblocking = sock->nonblocking.load();
  if (inherited.mask != 0) StartNotices(*accepted, inherited.hwnd, inherited.msg, inherited.mask);
  if (addr != nullptr) FromHost(peer, addr, addrlen);
  return out;
}

int WINAPI shutdown(SOCKET s, int how) {
  if (!Enter()) return SOCKET_ERROR;
  SocketPtr sock = Get(s);
  if (!sock) return SOCKET_ERROR;
  if (how < SD_RECEIVE || how > SD_BOTH) return Fail(WSAEINVAL);
  host::Io r = host::Shutdown(sock->fd, how);
  return r.error == 0 ? 0 : Fail(r.error);
}

int WINAPI getsockname(SOCKET s, struct sockaddr* name, int* namelen) {
  if (!Enter()) return SOCKET_ERROR;
  SocketPtr sock = Get(s);
  if (!sock) return SOCKET_ERROR;
  if (!sock->bound) return Fail(WSAEINVAL);  // Winsock has no name for an unbound socket
  host::Addr a;
  host::Io r = host::LocalName(sock->fd, &a);
  if (r.error != 0) return Fail(r.error);
  if (int err = FromHost(a, name, namelen)) return Fail(err);
  return 0;
}

int WINAPI getpeername(SOCKET s, struct sockaddr* name, int* namelen) {
  if (!Enter()) return SOCKET_ERROR;
  SocketPtr sock = Get(s);
  if (!sock) return SOCKET_ERROR;
  host::Addr a;
  host::Io r = host::PeerName(sock->fd, &a);
  if (r.error != 0) return Fail(r.error);
  if (int err = FromHost(a, name, namelen)) return Fail(err);
  return 0;
}

int WINAPI ioctlsocket(SOCKET s, LONG cmd, ULONG* argp) {
  if (!Enter()) return SOCKET_ERROR;
  SocketPtr sock = Get(s);
  if (!sock) return SOCKET_ERROR;
  if (argp == nullptr) return Fail(WSAEFAULT);
  switch (cmd) {
    case FIONBIO:
      // A socket with notices cannot go back to blocking.
      if (*argp == 0 && sock->notices) return Fail(WSAEINVAL);
      sock->nonblocking = *argp != 0;
      return 0;
    case FIONREAD: {
      host::Io r = host::ReadableBytes(sock->fd);
      if (r.error != 0) return Fail(r.error);
      *argp = static_cast<ULONG>(r.value);
      return 0;
    }
    case SIOCATMARK: {
      // TRUE when no out-of-band data waits (Winsock's sense, not BSD's).
      pollfd p{sock->fd, POLLPRI, 0};
      *argp = (poll(&p, 1, 0) == 1 && (p.revents & POLLPRI) != 0) ? FALSE : TRUE;
      return 0;
    }
    default:
      return Fail(WSAEINVAL);
  }
}

int WINAPI setsockopt(SOCKET s, int level, int optname, const char* optval, int optlen) {
  if (!Enter()) return SOCKET_ERROR;
  SocketPtr sock = Get(s);
  if (!sock) return SOCKET_ERROR;
  host::Io r = host::SetOption(sock->fd, level, optname, optval, optlen, sock->datagram());
  if (r.error != 0) return Fail(r.error);
  if (level != SOL_SOCKET) return 0;
  // The descriptor never blocks, so the library's own waits keep the time-outs.
  if (optname == SO_RCVTIMEO || optname == SO_SNDTIMEO) {
    DWORD ms = 0;
    std::memcpy(&ms, optval, sizeof ms);
    (optname == SO_RCVTIMEO ? sock->recv_timeout : sock->send_timeout) = ms;
  } else if (optname == SO_RCVBUF || optname == SO_SNDBUF) {
    int size = 0;
    std::memcpy(&size, optval, sizeof size);
    (optname == SO_RCVBUF ? sock->receive_buffer : sock->send_buffer) = size;
  }
  return 0;
}

int WINAPI getsockopt(SOCKET s, int level, int optname, char* optval, int* optlen) {
  if (!Enter()) return SOCKET_ERROR;
  SocketPtr sock = Get(s);
  if (!sock) return SOCKET_ERROR;
  host::Io r = host::GetOption(sock->fd, level, optname, optval, optlen);
  if (r.error != 0) return Fail(r.error);
  // The host's value is what it was given: more than was asked for, or its own minimum.
  if (level == SOL_SOCKET && (optname == SO_RCVBUF || optname == SO_SNDBUF)) {
    const int set = (optname == SO_RCVBUF ? sock->receive_buffer : sock->send_buffer).load();
    if (set >= 0) std::memcpy(optval, &set, sizeof set);
  }
  return 0;
}

int WINAPI select(int /*nfds*/, WS_fd_set* readfds, WS_fd_set* writefds, WS_fd_set* exceptfds,
                  const struct WS_timeval* timeout) {
  if (!Enter()) return SOCKET_ERROR;
  const Selected sets[] = {{readfds, POLLIN}, {writefds, POLLOUT}, {exceptfds, POLLPRI}};
  std::vector<pollfd> fds;
  std::vector<bool> connecting;
  for (const Selected& sel : sets) {
    if (sel.set == nullptr) continue;
    if (sel.set->fd_count > WS_FD_SETSIZE) return Fail(WSAEINVAL);
    for (u_int i = 0; i < sel.set->fd_count; ++i) {
      SocketPtr sock = Lookup(sel.set->fd_array[i]);
      if (!sock) return Fail(WSAENOTSOCK);
      fds.push_back({sock->fd, sel.events, 0});
      connecting.push_back(GetConn(*sock) == Conn::kConnecting);
    }
  }
  if (fds.empty()) return Fail(WSAEINVAL);

  using Clock = std::chrono::steady_clock;
  const bool forever = timeout == nullptr;
  const auto wait =
      forever ? Clock::duration::zero()
              : std::chrono::seconds(timeout->tv_sec) + std::chrono::microseconds(timeout->tv_usec);
  const auto deadline = Clock::now() + wait;
  BlockingState& t = ThisThread();
  t.in_progress = true;
  t.cancel = false;
  int n = 0;
  for (;;) {
    int step = t.hook != nullptr ? 10 : -1;
    if (!forever) {
      auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
      int ms = left > 0 ? static_cast<int>(left) : 0;
      step = step < 0 ? ms : std::min(step, ms);
    }
    n = poll(fds.data(), fds.size(), step);
    if (n != 0 || (!forever && Clock::now() >= deadline)) break;
    if (t.hook != nullptr) {
      while (!t.cancel && CallHook(t)) {
      }
    }
    if (t.cancel) break;
  }
  const bool cancelled = t.cancel;
  t.in_progress = false;
  t.cancel = false;
  if (cancelled) return Fail(WSAEINTR);
  if (n < 0) return Fail(host::ErrorFromErrno(errno));

  int total = 0;
  std::size_t k = 0;
  for (const Selected& sel : sets) {
    if (sel.set == nullptr) continue;
    u_int kept = 0;
    for (u_int i = 0; i < sel.set->fd_count; ++i, ++k) {
      if (Ready(fds[k].revents, sel.events, connecting[k])) {
        sel.set->fd_array[kept++] = sel.set->fd_array[i];
      }
    }
    sel.set->fd_count = kept;
    total += static_cast<int>(kept);
  }
  return total;
}

int WINAPI __WSAFDIsSet(SOCKET fd, WS_fd_set* set) {
  if (set == nullptr) return 0;
  for (u_int i = 0; i < set->fd_count && i < WS_FD_SETSIZE; ++i) {
    if (set->fd_array[i] == fd) return 1;
  }
  return 0;
}

int WINAPI WSAAsyncSelect(SOCKET s, HWND hWnd, UINT wMsg, LONG lEvent) {
  if (!Enter()) return SOCKET_ERROR;
  SocketPtr sock = Get(s);
  if (!sock) return SOCKET_ERROR;
  if ((lEvent & ~0x3F) != 0 || (lEvent != 0 && !IsWindow(hWnd))) return Fail(WSAEINVAL);
  int error = StartNotices(*sock, hWnd, wMsg, lEvent);
  return error == 0 ? 0 : Fail(error);
}

}  // namespace api
}  // namespace wsock32
