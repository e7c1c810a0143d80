// The socket library's entry points, one per Winsock 1.1 function. The control links
// against no socket library: each entry starts on a placeholder that fails the way a
// library that is not loaded would, and is pointed at the library's export of the same
// ordinal while the library is loaded.
#pragma once

#include "windows.h"
#include "winsock.h"

namespace marlet {

// X(ordinal, name, entry-point type)
#define MARLET_SOCKET_FUNCTIONS(X)                                                                 \
  X(WSOCK32_ORD_ACCEPT, accept, LPFN_ACCEPT)                                                       \
  X(WSOCK32_ORD_BIND, bind, LPFN_BIND)                                                             \
  X(WSOCK32_ORD_CLOSESOCKET, closesocket, LPFN_CLOSESOCKET)                                        \
  X(WSOCK32_ORD_CONNECT, connect, LPFN_CONNECT)                                                    \
  X(WSOCK32_ORD_GETPEERNAME, getpeername, LPFN_GETPEERNAME)                                        \
  X(WSOCK32_ORD_GETSOCKNAME, getsockname, LPFN_GETSOCKNAME)                                        \
  X(WSOCK32_ORD_GETSOCKOPT, getsockopt, LPFN_GETSOCKOPT)                                           \
  X(WSOCK32_ORD_HTONL, htonl, LPFN_HTONL)                                                          \
  X(WSOCK32_ORD_HTONS, htons, LPFN_HTONS)                                                          \
  X(WSOCK32_ORD_INET_ADDR, inet_addr, LPFN_INET_ADDR)                                              \
  X(WSOCK32_ORD_INET_NTOA, inet_ntoa, LPFN_INET_NTOA)                                              \
  X(WSOCK32_ORD_IOCTLSOCKET, ioctlsocket, LPFN_IOCTLSOCKET)                                        \
  X(WSOCK32_ORD_LISTEN, listen, LPFN_LISTEN)                                                       \
  X(WSOCK32_ORD_NTOHL, ntohl, LPFN_NTOHL)                                                          \
  X(WSOCK32_ORD_NTOHS, ntohs, LPFN_NTOHS)                                                          \
  X(WSOCK32_ORD_RECV, recv, LPFN_RECV)                                                             \
  X(WSOCK32_ORD_RECVFROM, recvfrom, LPFN_RECVFROM)                                                 \
  X(WSOCK32_ORD_SELECT, select, LPFN_SELECT)                                                       \
  X(WSOCK32_ORD_SEND, send, LPFN_SEND)                                                             \
  X(WSOCK32_ORD_SENDTO, sendto, LPFN_SENDTO)                                                       \
  X(WSOCK32_ORD_SETSOCKOPT, setsockopt, LPFN_SETSOCKOPT)                                           \
  X(WSOCK32_ORD_SHUTDOWN, shutdown, LPFN_SHUTDOWN)                                                 \
  X(WSOCK32_ORD_SOCKET, socket, LPFN_SOCKET)                                                       \
  X(WSOCK32_ORD_GETHOSTBYADDR, gethostbyaddr, LPFN_GETHOSTBYADDR)                                  \
  X(WSOCK32_ORD_GETHOSTBYNAME, gethostbyname, LPFN_GETHOSTBYNAME)                                  \
  X(WSOCK32_ORD_GETPROTOBYNAME, getprotobyname, LPFN_GETPROTOBYNAME)                               \
  X(WSOCK32_ORD_GETPROTOBYNUMBER, getprotobynumber, LPFN_GETPROTOBYNUMBER)                         \
  X(WSOCK32_ORD_GETSERVBYNAME, getservbyname, LPFN_GETSERVBYNAME)                                  \
  X(WSOCK32_ORD_GETSERVBYPORT, getservbyport, LPFN_GETSERVBYPORT)                                  \
  X(WSOCK32_ORD_GETHOSTNAME, gethostname, LPFN_GETHOSTNAME)                                        \
  X(WSOCK32_ORD_WSAASYNCSELECT, WSAAsyncSelect, LPFN_WSAASYNCSELECT)                               \
  X(WSOCK32_ORD_WSAASYNCGETHOSTBYADDR, WSAAsyncGetHostByAddr, LPFN_WSAASYNCGETHOSTBYADDR)          \
  X(WSOCK32_ORD_WSAASYNCGETHOSTBYNAME, WSAAsyncGetHostByName, LPFN_WSAASYNCGETHOSTBYNAME)          \
  X(WSOCK32_ORD_WSAASYNCGETPROTOBYNUMBER, WSAAsyncGetProtoByNumber, LPFN_WSAASYNCGETPROTOBYNUMBER) \
  X(WSOCK32_ORD_WSAASYNCGETPROTOBYNAME, WSAAsyncGetProtoByName, LPFN_WSAASYNCGETPROTOBYNAME)       \
  X(WSOCK32_ORD_WSAASYNCGETSERVBYPORT, WSAAsyncGetServByPort, LPFN_WSAASYNCGETSERVBYPORT)          \
  X(WSOCK32_ORD_WSAASYNCGETSERVBYNAME, WSAAsyncGetServByName, LPFN_WSAASYNCGETSERVBYNAME)          \
  X(WSOCK32_ORD_WSACANCELASYNCREQUEST, WSACancelAsyncRequest, LPFN_WSACANCELASYNCREQUEST)          \
  X(WSOCK32_ORD_WSASETBLOCKINGHOOK, WSASetBlockingHook, LPFN_WSASETBLOCKINGHOOK)                   \
  X(WSOCK32_ORD_WSAUNHOOKBLOCKINGHOOK, WSAUnhookBlockingHook, LPFN_WSAUNHOOKBLOCKINGHOOK)          \
  X(WSOCK32_ORD_WSAGETLASTERROR, WSAGetLastError, LPFN_WSAGETLASTERROR)                            \
  X(WSOCK32_ORD_WSASETLASTERROR, WSASetLastError, LPFN_WSASETLASTERROR)                            \
  X(WSOCK32_ORD_WSACANCELBLOCKINGCALL, WSACancelBlockingCall, LPFN_WSACANCELBLOCKINGCALL)          \
  X(WSOCK32_ORD_WSAISBLOCKING, WSAIsBlocking, LPFN_WSAISBLOCKING)                                  \
  X(WSOCK32_ORD_WSASTARTUP, WSAStartup, LPFN_WSASTARTUP)                                           \
  X(WSOCK32_ORD_WSACLEANUP, WSACleanup, LPFN_WSACLEANUP)                                           \
  X(WSOCK32_ORD___WSAFDISSET, __WSAFDIsSet, LPFN___WSAFDISSET)

struct SocketFunctionTable {
#define MARLET_TABLE_ENTRY(ordinal, name, type) type name;
  MARLET_SOCKET_FUNCTIONS(MARLET_TABLE_ENTRY)
#undef MARLET_TABLE_ENTRY
};

// The one table of the process. Shared by every engine on every thread, without a lock.
extern SocketFunctionTable g_sockets;

// Points every entry at its placeholder.
void ResetSocketFunctions(SocketFunctionTable& table);
// Points every entry whose ordinal the module exports at that export; the others keep
// what they had.
void ResolveSocketFunctions(SocketFunctionTable& table, HMODULE module);

}  // namespace marlet
