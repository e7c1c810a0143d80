// The socket library as the sockets control uses it: loaded by name once per process, started
// with Windows Sockets 1.1, entry points resolved by ordinal.
#pragma once

#include "windows.h"
#include "winsock.h"

namespace controls {

struct SocketLibrary {
  LPFN_SOCKET socket;
  LPFN_CLOSESOCKET closesocket;
  LPFN_BIND bind;
  LPFN_CONNECT connect;
  LPFN_SEND send;
  LPFN_SENDTO sendto;
  LPFN_RECV recv;
  LPFN_RECVFROM recvfrom;
  LPFN_GETSOCKNAME getsockname;
  LPFN_HTONS htons;
  LPFN_NTOHS ntohs;
  LPFN_INET_NTOA inet_ntoa;
  LPFN_GETHOSTBYNAME gethostbyname;
  LPFN_WSAASYNCSELECT WSAAsyncSelect;
  LPFN_WSAASYNCGETHOSTBYNAME WSAAsyncGetHostByName;
  LPFN_WSAGETLASTERROR WSAGetLastError;
};

// Throws forms::RuntimeError 10093 when the library cannot be loaded or started.
const SocketLibrary& Sockets();

}  // namespace controls
