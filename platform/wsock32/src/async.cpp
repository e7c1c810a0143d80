#include "async.h"

#include <poll.h>

#include <array>

#include "windows.h"

namespace wsock32 {
namespace {

using Conn = Socket::Conn;

// What the watch should wait for, given which notices are enabled.
DWORD Wanted(const Socket& s) {
  const AsyncSelect& a = s.async;
  if (a.watch == nullptr || a.parked) return 0;
  DWORD ev = 0;
  if (s.conn == Conn::kListening) {
    if (a.accept && (a.mask & FD_ACCEPT) != 0) ev |= POLLIN;
    return ev;
  }
  if (a.read && (a.mask & FD_READ) != 0 && !s.eof) ev |= POLLIN;
  if (a.oob && (a.mask & FD_OOB) != 0) ev |= POLLPRI;
  if (a.close && (a.mask & FD_CLOSE) != 0 && s.conn == Conn::kConnected) ev |= POLLRDHUP;
  if (a.connect) ev |= POLLOUT;
  if (a.write && (a.mask & FD_WRITE) != 0 && (s.datagram() || s.conn == Conn::kConnected)) {
    ev |= POLLOUT;
  }
  return ev;
}

void Forget(Socket& s) {
  if (s.async.watch != nullptr) Win32CloseWatch(s.async.watch);
  s.async = AsyncSelect{};
  s.notices = false;
}

// Holding s.mu.
void Arm(Socket& s) {
  DWORD want = Wanted(s);
  if (want == s.async.armed || s.async.watch == nullptr) return;
  DWORD saved = GetLastError();  // the caller's Winsock error stands
  if (Win32ArmWatch(s.async.watch, want)) {
    s.async.armed = want;
  } else {
    Forget(s);  // the window's thread has ended
  }
  SetLastError(saved);
}

void CALLBACK OnReady(ULONG_PTR id, DWORD revents) {
  SocketPtr sp = LookupId(id);
  if (!sp) return;
  Socket& s = *sp;
  std::lock_guard lock(s.mu);
  AsyncSelect& a = s.async;
  if (a.watch == nullptr) return;
  a.armed = 0;  // a report disarms the watch

  struct Notice {
    int event;
    int error;
    bool* enabled;
  };
  std::array<Notice, 6> notices{};
  std::size_t count = 0;
  auto add = [&](int event, int error, bool* enabled) {
    if ((a.mask & event) != 0) notices[count++] = {event, error, enabled};
    *enabled = false;
  };
  const bool readable = (revents & (POLLIN | POLLERR | POLLHUP | POLLRDHUP)) != 0;
  const bool failed = (revents & (POLLERR | POLLHUP)) != 0;
  if (a.connect && (revents & (POLLOUT | POLLERR | POLLHUP)) != 0) {
    int error = static_cast<int>(host::PendingError(s.fd).value);
    s.conn = error == 0 ? Conn::kConnected : Conn::kIdle;
    add(FD_CONNECT, error, &a.connect);
    if (error == 0) a.write = true;  // a connected socket can send: FD_WRITE follows
  }
  if (s.conn == Conn::kListening) {
    if (readable && a.accept) add(FD_ACCEPT, 0, &a.accept);
  } else {
    if (readable && a.read && !s.eof) add(FD_READ, 0, &a.read);
    if ((revents & POLLPRI) != 0 && a.oob) add(FD_OOB, 0, &a.oob);
    if ((revents & POLLOUT) != 0 && a.write && (s.datagram() || s.conn == Conn::kConnected)) {
      add(FD_WRITE, 0, &a.write);
    }
    if (!s.datagram() && s.conn == Conn::kConnected && a.close &&
        (revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0) {
      int error = failed ? static_cast<int>(host::PendingError(s.fd).value) : 0;
      add(FD_CLOSE, error, &a.close);
    }
  }
  // An error with nothing to say about it waits for the next call instead of waking us again.
  if (count == 0 && failed) a.parked = true;

  for (std::size_t i = 0; i < count; ++i) {
    const Notice& n = notices[i];
    LPARAM reply = WSAMAKESELECTREPLY(n.event, n.error);
    if (PostMessageA(a.hwnd, a.msg, static_cast<WPARAM>(s.fd), reply)) continue;
    if (GetLastError() == ERROR_INVALID_WINDOW_HANDLE) {
      Forget(s);
      return;
    }
    // The queue is full: keep the rest enabled so that they come once it has room.
    for (std::size_t j = i; j < count; ++j) *notices[j].enabled = true;
    break;
  }
  Arm(s);
}

template <typename F>
void Update(Socket& s, F change) {
  if (!s.notices) return;
  std::lock_guard lock(s.mu);
  change(s.async);
  s.async.parked = false;
  Arm(s);
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
  Arm(s);
  return 0;
}

void StopNotices(Socket& s) {
  std::lock_guard lock(s.mu);
  Forget(s);
}

void ReenableRead(Socket& s, bool end_of_stream) {
  Update(s, [&s, end_of_stream](AsyncSelect& a) {
    a.read = true;
    if (end_of_stream) s.eof = true;
  });
}

void ReenableOob(Socket& s) {
  Update(s, [](AsyncSelect& a) { a.oob = true; });
}

void ReenableWrite(Socket& s) {
  Update(s, [](AsyncSelect& a) { a.write = true; });
}

void ReenableAccept(Socket& s) {
  Update(s, [](AsyncSelect& a) { a.accept = true; });
}

void ConnectStarted(Socket& s) {
  Update(s, [](AsyncSelect& a) { a.connect = true; });
}

}  // namespace wsock32
