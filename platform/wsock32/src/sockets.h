// The library's sockets: a table from SOCKET to the host descriptor and Winsock's state for it,
// the start-up count, and the Windows Sockets 1.1 blocking model.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "host.h"
#include "win32/module.h"
#include "winsock.h"

namespace wsock32 {

void SetError(int code);
// Whether a socket call may proceed on this thread: WSAStartup has been called and no blocking
// call is in progress here (Windows Sockets 1.1 allows one per thread). Sets the error if not.
bool Enter();
bool Started();

// WSAAsyncSelect's registration and which notices are enabled (Winsock's re-enabling rules).
// The watch reports edges; `missed` keeps what was ready while its notice was disabled, and
// `check` what a re-enabling call could not settle, to be looked at once the thread is idle.
struct AsyncSelect {
  HWND hwnd = nullptr;
  UINT msg = 0;
  LONG mask = 0;
  HANDLE watch = nullptr;
  bool read = false;
  bool write = false;
  bool accept = false;
  bool oob = false;
  bool close = false;
  bool connect = false;  // FD_CONNECT still to come
  DWORD missed = 0;      // poll bits
  DWORD check = 0;       // poll bits
  bool recheck = false;  // asked of the queue
};

struct Socket {
  enum class Conn { kIdle, kConnecting, kConnected, kListening };

  Socket(int fd_, std::uint32_t generation_, int type_)
      : fd(fd_), generation(generation_), type(type_) {}
  ~Socket() { host::Close(fd); }
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;

  ULONG_PTR id() const {
    return (static_cast<ULONG_PTR>(generation) << 32) | static_cast<unsigned>(fd);
  }
  bool datagram() const { return type != SOCK_STREAM; }

  const int fd;
  const std::uint32_t generation;
  const int type;
  std::atomic<bool> closed{false};
  std::atomic<bool> nonblocking{false};
  std::atomic<bool> notices{false};  // async.mask != 0, read without the lock
  std::atomic<bool> bound{false};
  std::atomic<int> owed_resets{0};  // ICMP errors a send consumed, still owed to a receive
  std::atomic<DWORD> recv_timeout{0};
  std::atomic<DWORD> send_timeout{0};
  // SO_RCVBUF and SO_SNDBUF as set, which Winsock reads back; -1 until set.
  std::atomic<int> receive_buffer{-1};
  std::atomic<int> send_buffer{-1};

  std::mutex mu;  // guards what follows
  Conn conn = Conn::kIdle;
  bool eof = false;
  AsyncSelect async;
};
using SocketPtr = std::shared_ptr<Socket>;

SOCKET Register(int fd, int type);
SocketPtr Lookup(SOCKET s);  // nullptr for a handle that is not an open socket of ours
SocketPtr LookupId(ULONG_PTR id);
SocketPtr Unregister(SOCKET s);
std::vector<SocketPtr> UnregisterAll();

// Runs a non-blocking host operation; for a blocking socket waits for `events` and tries again
// until it no longer would block, the timeout passes, or the call is cancelled.
host::Io RunBlocking(Socket& s, short events, DWORD timeout_ms, host::Io (*op)(Socket&, void*),
                     void* arg);
template <typename Op>
host::Io Blocking(Socket& s, short events, DWORD timeout_ms, Op op) {
  return RunBlocking(
      s, events, timeout_ms, [](Socket& sock, void* f) { return (*static_cast<Op*>(f))(sock); },
      &op);
}

// The blocking hook of this thread and whether a blocking call is in progress.
struct BlockingState {
  bool in_progress = false;
  bool cancel = false;
  FARPROC hook = nullptr;
};
BlockingState& ThisThread();
// Runs the hook once; TRUE while it had something to do. Hooks return BOOL, not FARPROC's type.
inline bool CallHook(const BlockingState& t) {
  return win32::ProcAs<BOOL(WINAPI*)()>(t.hook)() != FALSE;
}

// Windows' address record to the host's, checking its length and family.
int ToHost(const struct sockaddr* name, int namelen, host::Addr* out);
// Fills a Windows address record; WSAEFAULT when the room is too small.
int FromHost(const host::Addr& a, struct sockaddr* name, int* namelen);

}  // namespace wsock32
