// Start-up and clean-up, the thread's error, and the Windows Sockets 1.1 blocking hooks.
#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>

#include "api.h"
#include "async.h"
#include "sockets.h"
#include "windows.h"

namespace wsock32 {
namespace {

constexpr WORD kVersion = 0x0101;  // 1.1: major in the low byte
constexpr char kDescription[] = "Corvane Windows Sockets 1.1 on Linux sockets";
constexpr char kStatus[] = "Running";
constexpr unsigned short kMaxUdpPayload = 65507;  // 65535 less the IPv4 and UDP headers

std::mutex start_mu;
int start_count = 0;
std::atomic<bool> started{false};

unsigned short MaxSockets() {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return 0x7FFF;
  return static_cast<unsigned short>(std::min<rlim_t>(limit.rlim_cur, 0x7FFF));
}

// Winsock's default hook: dispatch one message of the thread if one waits.
BOOL CALLBACK DefaultBlockingHook() {
  MSG msg;
  if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) return FALSE;
  TranslateMessage(&msg);
  DispatchMessageA(&msg);
  return TRUE;
}

void CloseAll() {
  for (SocketPtr& sock : UnregisterAll()) {
    StopNotices(*sock);
    sock->closed = true;
    if (sock.use_count() > 1) host::Shutdown(sock->fd, SD_BOTH);
  }
}

}  // namespace

bool Started() {
  return started.load(std::memory_order_relaxed);
}

namespace api {

int WINAPI WSAStartup(WORD wVersionRequested, LPWSADATA lpWSAData) {
  if (lpWSAData == nullptr) return WSAEFAULT;
  std::memset(lpWSAData, 0, sizeof *lpWSAData);
  lpWSAData->wVersion = kVersion;
  lpWSAData->wHighVersion = kVersion;
  lpWSAData->iMaxSockets = MaxSockets();
  lpWSAData->iMaxUdpDg = kMaxUdpPayload;
  std::strncpy(lpWSAData->szDescription, kDescription, WSADESCRIPTION_LEN);
  std::strncpy(lpWSAData->szSystemStatus, kStatus, WSASYS_STATUS_LEN);
  const int major = wVersionRequested & 0xFF;
  const int minor = wVersionRequested >> 8;
  if (major < 1 || (major == 1 && minor < 1)) return WSAVERNOTSUPPORTED;
  std::lock_guard lock(start_mu);
  ++start_count;
  started = true;
  return 0;
}

int WINAPI WSACleanup(void) {
  std::unique_lock lock(start_mu);
  if (start_count == 0) {
    SetError(WSANOTINITIALISED);
    return SOCKET_ERROR;
  }
  if (ThisThread().in_progress) {
    SetError(WSAEINPROGRESS);
    return SOCKET_ERROR;
  }
  if (--start_count > 0) return 0;
  started = false;
  lock.unlock();
  CloseAll();  // the last clean-up resets every socket still open, as Winsock does
  return 0;
}

int WINAPI WSAGetLastError(void) {
  return static_cast<int>(GetLastError());
}

void WINAPI WSASetLastError(int iError) {
  SetError(iError);
}

BOOL WINAPI WSAIsBlocking(void) {
  return ThisThread().in_progress ? TRUE : FALSE;
}

int WINAPI WSACancelBlockingCall(void) {
  if (!Started()) {
    SetError(WSANOTINITIALISED);
    return SOCKET_ERROR;
  }
  BlockingState& t = ThisThread();
  if (!t.in_progress) {
    SetError(WSAEINVAL);  // no blocking call to cancel
    return SOCKET_ERROR;
  }
  t.cancel = true;
  return 0;
}

FARPROC WINAPI WSASetBlockingHook(FARPROC lpBlockFunc) {
  if (!Enter()) return nullptr;
  if (lpBlockFunc == nullptr) {
    SetError(WSAEFAULT);
    return nullptr;
  }
  BlockingState& t = ThisThread();
  FARPROC previous = t.hook != nullptr ? t.hook : win32::AsFarProc(&DefaultBlockingHook);
  t.hook = lpBlockFunc;
  return previous;
}

int WINAPI WSAUnhookBlockingHook(void) {
  if (!Enter()) return SOCKET_ERROR;
  ThisThread().hook = nullptr;
  return 0;
}

}  // namespace api
}  // namespace wsock32
