// The asynchronous lookups. The lookup runs during the call and its reply is posted before the
// call returns, so the reply always comes after the handle is known; a request can therefore
// never be cancelled (WSAEALREADY), only asked about.
#include <atomic>
#include <cstring>

#include "api.h"
#include "pack.h"
#include "sockets.h"
#include "windows.h"

namespace wsock32 {
namespace {

std::atomic<ULONG_PTR> last_task{0};

// Packs the result into the caller's buffer and posts the reply: the handle in wParam, the
// length (or the length needed, with WSAENOBUFS) and the error in lParam.
template <typename Entry>
HANDLE Reply(HWND hWnd, UINT wMsg, const host::Io& r, const Entry& entry,
             std::size_t (*pack)(const Entry&, char*, std::size_t), char* buf, int buflen) {
  if (!IsWindow(hWnd) || buf == nullptr || buflen < 0) {
    SetError(buf == nullptr || buflen < 0 ? WSAEFAULT : WSAEINVAL);
    return nullptr;
  }
  int error = r.error;
  std::size_t length = 0;
  if (error == 0) {
    length = pack(entry, buf, static_cast<std::size_t>(buflen));
    if (length > static_cast<std::size_t>(buflen)) error = WSAENOBUFS;
  }
  ULONG_PTR task = ++last_task;
  PostMessageA(hWnd, wMsg, task, WSAMAKEASYNCREPLY(length, error));
  return reinterpret_cast<HANDLE>(task);
}

}  // namespace

namespace api {

HANDLE WINAPI WSAAsyncGetHostByName(HWND hWnd, UINT wMsg, const char* name, char* buf, int buflen) {
  if (!Enter()) return nullptr;
  host::HostInfo info;
  host::Io r = name != nullptr ? host::ResolveName(name, &info) : host::Io{-1, WSAEFAULT};
  if (r.error == 0 && info.addrs.empty()) r.error = WSANO_DATA;
  return Reply(hWnd, wMsg, r, info, PackHost, buf, buflen);
}

HANDLE WINAPI WSAAsyncGetHostByAddr(HWND hWnd, UINT wMsg, const char* addr, int len, int type,
                                    char* buf, int buflen) {
  if (!Enter()) return nullptr;
  host::HostInfo info;
  host::Io r{-1, WSAEFAULT};
  if (type != AF_INET) {
    r.error = WSAEAFNOSUPPORT;
  } else if (addr != nullptr && len >= static_cast<int>(sizeof(ULONG))) {
    ULONG a = 0;
    std::memcpy(&a, addr, sizeof a);
    r = host::ResolveAddress(a, &info);
  }
  return Reply(hWnd, wMsg, r, info, PackHost, buf, buflen);
}

HANDLE WINAPI WSAAsyncGetProtoByNumber(HWND hWnd, UINT wMsg, int number, char* buf, int buflen) {
  if (!Enter()) return nullptr;
  host::NamedEntry e;
  host::Io r = host::ProtocolByNumber(number, &e);
  return Reply(hWnd, wMsg, r, e, PackProtocol, buf, buflen);
}

HANDLE WINAPI WSAAsyncGetProtoByName(HWND hWnd, UINT wMsg, const char* name, char* buf,
                                     int buflen) {
  if (!Enter()) return nullptr;
  host::NamedEntry e;
  host::Io r = name != nullptr ? host::ProtocolByName(name, &e) : host::Io{-1, WSAEFAULT};
  return Reply(hWnd, wMsg, r, e, PackProtocol, buf, buflen);
}

HANDLE WINAPI WSAAsyncGetServByPort(HWND hWnd, UINT wMsg, int port, const char* proto, char* buf,
                                    int buflen) {
  if (!Enter()) return nullptr;
  host::NamedEntry e;
  host::Io r = host::ServiceByPort(port, proto, &e);
  return Reply(hWnd, wMsg, r, e, PackService, buf, buflen);
}

HANDLE WINAPI WSAAsyncGetServByName(HWND hWnd, UINT wMsg, const char* name, const char* proto,
                                    char* buf, int buflen) {
  if (!Enter()) return nullptr;
  host::NamedEntry e;
  host::Io r = name != nullptr ? host::ServiceByName(name, proto, &e) : host::Io{-1, WSAEFAULT};
  return Reply(hWnd, wMsg, r, e, PackService, buf, buflen);
}

int WINAPI WSACancelAsyncRequest(HANDLE hAsyncTaskHandle) {
  if (!Enter()) return SOCKET_ERROR;
  auto task = reinterpret_cast<ULONG_PTR>(hAsyncTaskHandle);
  SetError(task != 0 && task <= last_task ? WSAEALREADY : WSAEINVAL);
  return SOCKET_ERROR;
}

}  // namespace api
}  // namespace wsock32
