#include "async.h"

#include <poll.h>

#include <array>

#include "windows.h"

namespace wsock32 {
namespace {

using Conn = Socket::Conn;

// Everything a notice can follow, watched once as edges: no re-arming while notices come.
constexpr DWORD kInterest = POLLIN | POLLPRI | POLLOUT | POLLRDHUP | WIN32_WATCH_EDGE;
constexpr DWORD kReadable = POLLIN | POLLERR | POLLHUP | POLLRDHUP;

void Forget(Socket& s) {
  if (s.async.watch != nullptr) Win32CloseWatch(s.async.watch);
  s.async = AsyncSelect{};
  s.notices = false;
}

// Holding s.mu: a recheck is asked of the queue exactly while some notice waits on one.
void SyncRecheck(Socket& s) {
  AsyncSelect& a = s.async;
  const bool want = a.check != 0;
  if (a.watch == nullptr || want == a.recheck) return;
  DWORD saved = GetLastError();  // the caller's Winsock error stands
  if (Win32RecheckWatch(a.watch, want ? TRUE : FALSE)) {
    a.recheck = want;
  } else {
    Forget(s);  // the window's thread has ended
  }
  SetLastError(saved);
}

struct Notice {
  int event;
  int error;
  bool* enabled;
  DWORD bits;
};

// Holding s.mu: posts the enabled notices that `revents` makes due, in Winsock's order.
void Deliver(Socket& s, DWORD revents) {
  AsyncSelect& a = s.async;
  std::array<Notice, 6> due{};
  std::size_t count = 0;
  auto ready = [&](int event, bool* enabled, DWORD bits, int error) {
    if (!*enabled) {
      a.missed |= bits;
      return;
    }
    *enabled = false;
    a.check &= ~bits;
    a.missed &= ~bits;
    if ((a.mask & event) != 0) due[count++] = {event, error, enabled, bits};
  };
  if (s.conn == Conn::kConnecting && (revents & (POLLOUT | POLLERR | POLLHUP)) != 0) {
    int error = static_cast<int>(host::PendingError(s.fd).value);
    s.conn = error == 0 ? Conn::kConnected : Conn::kIdle;
    ready(FD_CONNECT, &a.connect, 0, error);
    if (error == 0) a.write = true;  // a connected socket can send: FD_WRITE follows
  }
  if (s.conn == Conn::kListening) {
    if ((revents & POLLIN) != 0) ready(FD_ACCEPT, &a.accept, POLLIN, 0);
  } else if (s.datagram() || s.conn == Conn::kConnected) {
    // An unconnected stream polls as hung up: nothing to read or send on it yet.
    if ((revents & kReadable) != 0 && !s.eof) ready(FD_READ, &a.read, POLLIN, 0);
    if ((revents & POLLPRI) != 0) ready(FD_OOB, &a.oob, POLLPRI, 0);
    if ((revents & POLLOUT) != 0) ready(FD_WRITE, &a.write, POLLOUT, 0);
    if (!s.datagram() && s.conn == Conn::kConnected && a.close &&
        (revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0) {
      const bool failed = (revents & (POLLERR | POLLHUP)) != 0;
      ready(FD_CLOSE, &a.close, 0, failed ? static_cast<int>(host::PendingError(s.fd).value) : 0);
    }
  }
  for (std::size_t i = 0; i < count; ++i) {
    const Notice& n = due[i];
    LPARAM reply = WSAMAKESELECTREPLY(n.event, n.error);
    if (PostMessageA(a.hwnd, a.msg, static_cast<WPARAM>(s.fd), reply)) continue;
    if (GetLastError() == ERROR_INVALID_WINDOW_HANDLE) {
      Forget(s);
      return;
    }
    // The queue is full: the rest stays due and is looked at again once the thread is idle.
    for (std::size_t j = i; j < count; ++j) {
      *due[j].enabled = true;
      a.check |= due[j].bits;
    }
    break;
  }
}

void CALLBACK OnReady(ULONG_PTR id, DWORD revents) {
  SocketPtr sp = LookupId(id);
  if (!sp) return;
  Socket& s = *sp;
  std::lock_guard lock(s.mu);
  AsyncSelect& a = s.async;
  if (a.watch == nullptr) return;
  if (revents == 0) {  // the recheck asked for: look now
    a.recheck = false;
    if (a.check == 0) return;
    a.check = 0;
    pollfd p{s.fd, POLLIN | POLLPRI | POLLOUT | POLLRDHUP, 0};
    if (poll(&p, 1, 0) <= 0) return;
    revents = static_cast<DWORD>(p.revents);
  }
  Deliver(s, revents);
  if (s.async.watch != nullptr) SyncRecheck(s);
}

// A re-enabling call: the notice may come again. Unless the call showed that it is not due,
// and nothing was missed meanwhile, it is looked at once the thread is idle.
template <typename F>
void Reenable(Socket& s, DWORD bits, bool settled, F enable) {
  if (!s.notices) return;
  std::lock_guard lock(s.mu);
  AsyncSelect& a = s.async;
  if (a.watch == nullptr) return;
  enable(a);
  if (!settled || (a.missed & bits) != 0) {
    a.check |= bits;
  } else {
    a.check &= ~bits;
  }
  a.missed &= ~bits;
  SyncRecheck(s);
}

}  // namespace

int StartNotices(Socket& s, HWND hwnd, UINT msg, LONG mask) {
  std::lock_guard lock(s.mu);
  Forget(s);
  s.nonblocking = true;  // even when notices are turned off, as in Winsock
  if (mask == 0) return 0;
  HANDLE watch = Win32CreateWatch(hwnd, s.fd, OnReady, s.id());
  if (watch == nullptr) return WSAEINVAL;
  AsyncSelect& a = s.async;
  a.hwnd = hwnd;
  a.msg = msg;
  a.mask = mask;
  a.watch = watch;
  a.read = a.write = a.accept = a.oob = a.close = true;
  a.connect = s.conn == Conn::kConnecting;
  s.notices = true;
  // What is ready already counts as a first edge: data waiting, room to send.
  if (!Win32ArmWatch(watch, kInterest)) {
    Forget(s);
    return WSAEINVAL;
  }
  return 0;
}

void StopNotices(Socket& s) {
  std::lock_guard lock(s.mu);
  Forget(s);
}

void ReenableRead(Socket& s, bool end_of_stream, bool would_block) {
  if (end_of_stream) {
    std::lock_guard lock(s.mu);
    s.eof = true;
  }
  Reenable(s, POLLIN, would_block || end_of_stream, [](AsyncSelect& a) { a.read = true; });
}

void ReenableOob(Socket& s) {
  Reenable(s, POLLPRI, false, [](AsyncSelect& a) { a.oob = true; });
}

void ReenableWrite(Socket& s) {
  Reenable(s, POLLOUT, true, [](AsyncSelect& a) { a.write = true; });
}

void ReenableAccept(Socket& s, bool would_block) {
  Reenable(s, POLLIN, would_block, [](AsyncSelect& a) { a.accept = true; });
}

void ConnectStarted(Socket& s) {
  Reenable(s, POLLOUT, true, [](AsyncSelect& a) { a.connect = true; });
}

}  // namespace wsock32
