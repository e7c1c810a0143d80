#include "socket_library.h"

#include <mutex>

#include "forms/runtime_error.h"

namespace controls {
namespace {

template <typename F>
bool Resolve(HMODULE module, int ordinal, F* out) {
  FARPROC p = GetProcAddress(module, MAKEINTRESOURCEA(ordinal));
  *out = win32::ProcAs<F>(p);
  return p != nullptr;
}

bool Load(SocketLibrary* lib) {
  HMODULE m = LoadLibraryA("WSOCK32.DLL");
  if (m == nullptr) return false;
  LPFN_WSASTARTUP startup = nullptr;
  bool ok = Resolve(m, WSOCK32_ORD_WSASTARTUP, &startup) &&
            Resolve(m, WSOCK32_ORD_SOCKET, &lib->socket) &&
            Resolve(m, WSOCK32_ORD_CLOSESOCKET, &lib->closesocket) &&
            Resolve(m, WSOCK32_ORD_BIND, &lib->bind) &&
            Resolve(m, WSOCK32_ORD_CONNECT, &lib->connect) &&
            Resolve(m, WSOCK32_ORD_SEND, &lib->send) &&
            Resolve(m, WSOCK32_ORD_SENDTO, &lib->sendto) &&
            Resolve(m, WSOCK32_ORD_RECV, &lib->recv) &&
            Resolve(m, WSOCK32_ORD_RECVFROM, &lib->recvfrom) &&
            Resolve(m, WSOCK32_ORD_GETSOCKNAME, &lib->getsockname) &&
            Resolve(m, WSOCK32_ORD_HTONS, &lib->htons) &&
            Resolve(m, WSOCK32_ORD_NTOHS, &lib->ntohs) &&
            Resolve(m, WSOCK32_ORD_INET_NTOA, &lib->inet_ntoa) &&
            Resolve(m, WSOCK32_ORD_GETHOSTBYNAME, &lib->gethostbyname) &&
            Resolve(m, WSOCK32_ORD_WSAASYNCSELECT, &lib->WSAAsyncSelect) &&
            Resolve(m, WSOCK32_ORD_WSAASYNCGETHOSTBYNAME, &lib->WSAAsyncGetHostByName) &&
            Resolve(m, WSOCK32_ORD_WSAGETLASTERROR, &lib->WSAGetLastError);
  WSADATA data{};
  if (!ok || startup(0x0101, &data) != 0) {
    FreeLibrary(m);
    return false;
  }
  return true;  // kept loaded and started for the life of the process
}

}  // namespace

const SocketLibrary& Sockets() {
  static SocketLibrary lib{};
  static bool loaded = false;
  static std::once_flag once;
  std::call_once(once, [] { loaded = Load(&lib); });
  if (!loaded) throw forms::RuntimeError(10093, "WinsockInit should be called first");
  return lib;
}

}  // namespace controls
