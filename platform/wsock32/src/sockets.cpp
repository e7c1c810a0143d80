#include "sockets.h"

#include <poll.h>

#include <chrono>
#include <cstring>
#include <shared_mutex>

#include "windows.h"

namespace wsock32 {
namespace {

struct Table {
  std::shared_mutex mu;
  std::vector<SocketPtr> by_fd;
  std::uint32_t next_generation = 1;
};

Table& T() {
  static auto* table = new Table;
  return *table;
}

thread_local BlockingState tls_blocking;

// While a blocking call waits with no hook, it still looks this often whether the socket was
// closed under it.
constexpr int kCloseCheckMs = 250;
// With a hook, the hook runs this often.
constexpr int kHookEveryMs = 10;

}  // namespace

// Winsock's error is the thread's Windows error (WSAGetLastError is GetLastError).
void SetError(int code) {
  SetLastError(static_cast<DWORD>(code));
}

BlockingState& ThisThread() {
  return tls_blocking;
}

bool Enter() {
  if (!Started()) {
    SetError(WSANOTINITIALISED);
    return false;
  }
  if (tls_blocking.in_progress) {
    SetError(WSAEINPROGRESS);
    return false;
  }
  return true;
}

SOCKET Register(int fd, int type) {
  std::unique_lock lock(T().mu);
  auto index = static_cast<std::size_t>(fd);
  if (T().by_fd.size() <= index) T().by_fd.resize(index + 1);
  T().by_fd[index] = std::make_shared<Socket>(fd, T().next_generation++, type);
  return static_cast<SOCKET>(fd);
}

SocketPtr Lookup(SOCKET s) {
  std::shared_lock lock(T().mu);
  return s < T().by_fd.size() ? T().by_fd[s] : nullptr;
}

SocketPtr LookupId(ULONG_PTR id) {
  SocketPtr s = Lookup(id & 0xFFFFFFFFu);
  return s && s->generation == (id >> 32) ? s : nullptr;
}

SocketPtr Unregister(SOCKET s) {
  std::unique_lock lock(T().mu);
  if (s >= T().by_fd.size()) return nullptr;
  SocketPtr out = std::move(T().by_fd[s]);
  T().by_fd[s] = nullptr;
  return out;
}

std::vector<SocketPtr> UnregisterAll() {
  std::unique_lock lock(T().mu);
  std::vector<SocketPtr> out;
  for (auto& s : T().by_fd) {
    if (s) out.push_back(std::move(s));
  }
  T().by_fd.clear();
  return out;
}

host::Io RunBlocking(Socket& s, short events, DWORD timeout_ms, host::Io (*op)(Socket&, void*),
                     void* arg) {
  host::Io r = op(s, arg);
  if (r.error != WSAEWOULDBLOCK || s.nonblocking) return r;

  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  BlockingState& t = tls_blocking;
  t.in_progress = true;
  t.cancel = false;
  for (;;) {
    if (s.closed) {
      r = {-1, WSAEINTR};
      break;
    }
    int step = t.hook != nullptr ? kHookEveryMs : kCloseCheckMs;
    if (timeout_ms != 0) {
      auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
      if (left <= 0) {
        r = {-1, WSAETIMEDOUT};
        break;
      }
      step = std::min<int>(step, static_cast<int>(left));
    }
    pollfd p{s.fd, events, 0};
    if (poll(&p, 1, step) > 0) {
      r = op(s, arg);
      if (r.error != WSAEWOULDBLOCK) break;
      continue;
    }
    if (t.hook != nullptr) {
      while (!t.cancel && CallHook(t)) {
      }
    }
    if (t.cancel) {
      r = {-1, WSAEINTR};
      break;
    }
  }
  t.in_progress = false;
  t.cancel = false;
  if (s.closed && r.error == 0) r = {-1, WSAEINTR};
  return r;
}

int ToHost(const struct sockaddr* name, int namelen, host::Addr* out) {
  if (name == nullptr || namelen < static_cast<int>(sizeof(sockaddr_in))) return WSAEFAULT;
  sockaddr_in sin{};
  std::memcpy(&sin, name, sizeof sin);
  if (sin.sin_family != AF_INET) return WSAEAFNOSUPPORT;
  *out = {sin.sin_addr.S_un.S_addr, sin.sin_port};
  return 0;
}

int FromHost(const host::Addr& a, struct sockaddr* name, int* namelen) {
  if (name == nullptr || namelen == nullptr || *namelen < static_cast<int>(sizeof(sockaddr_in))) {
    return WSAEFAULT;
  }
  sockaddr_in sin{};
  sin.sin_family = AF_INET;
  sin.sin_port = a.port;
  sin.sin_addr.S_un.S_addr = a.addr;
  std::memcpy(name, &sin, sizeof sin);
  *namelen = sizeof sin;
  return 0;
}

}  // namespace wsock32
