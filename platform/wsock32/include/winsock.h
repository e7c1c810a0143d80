// Windows Sockets 1.1: types, constants and entry-point types with the layouts of 64-bit
// Windows, for a client that loads the socket library at run time (LoadLibraryA "WSOCK32.DLL")
// and resolves its entry points with GetProcAddress, by ordinal (WSOCK32_ORD_*) or by name.
// The library exports no function symbols, so nothing links against it.
//
// This header can be used beside the C library's headers, but not with its socket headers
// (<sys/socket.h>, <netinet/in.h>, <netdb.h>): like Windows' own winsock.h it declares
// sockaddr, in_addr, hostent and the rest itself. Where the C library's names are always
// present and mean something else, the Windows type has a WS_ name:
//   - u_long is the C library's (64 bits); Windows' 32-bit u_long is ULONG in every structure
//     and entry-point type here, so a u_long* passed for a ULONG* does not compile;
//   - Windows' fd_set and timeval are WS_fd_set and WS_timeval, with WS_FD_* macros.
#pragma once

#include <sys/types.h>  // the C library's u_char, u_short, u_int: the same sizes as Windows'

#include "win32/types.h"
#include "wsaerror.h"

typedef UINT_PTR SOCKET;
#define INVALID_SOCKET (~WIN32_INT_CAST(SOCKET, 0))
#define SOCKET_ERROR (-1)

#define WSADESCRIPTION_LEN 256
#define WSASYS_STATUS_LEN 128

// The 64-bit layout: the limits come before the texts.
typedef struct WSAData {
  WORD wVersion;
  WORD wHighVersion;
  unsigned short iMaxSockets;
  unsigned short iMaxUdpDg;
  char* lpVendorInfo;
  char szDescription[WSADESCRIPTION_LEN + 1];
  char szSystemStatus[WSASYS_STATUS_LEN + 1];
} WSADATA, *LPWSADATA;

#define WS_FD_SETSIZE 64
typedef struct WS_fd_set {
  u_int fd_count;
  SOCKET fd_array[WS_FD_SETSIZE];
} WS_fd_set;

#define WS_FD_ZERO(set) ((set)->fd_count = 0)
#define WS_FD_SET(fd, set)                                             \
  do {                                                                 \
    u_int ws_i_;                                                       \
    for (ws_i_ = 0; ws_i_ < (set)->fd_count; ++ws_i_) {                \
      if ((set)->fd_array[ws_i_] == (fd)) break;                       \
    }                                                                  \
    if (ws_i_ == (set)->fd_count && (set)->fd_count < WS_FD_SETSIZE) { \
      (set)->fd_array[(set)->fd_count++] = (fd);                       \
    }                                                                  \
  } while (0)

struct WS_timeval {
  LONG tv_sec;
  LONG tv_usec;
};

struct in_addr {
  union {
    struct {
      u_char s_b1, s_b2, s_b3, s_b4;
    } S_un_b;
    struct {
      u_short s_w1, s_w2;
    } S_un_w;
    ULONG S_addr;
  } S_un;
};
#define s_addr S_un.S_addr

struct sockaddr {
  u_short sa_family;
  char sa_data[14];
};

struct sockaddr_in {
  short sin_family;
  u_short sin_port;
  struct in_addr sin_addr;
  char sin_zero[8];
};

struct hostent {
  char* h_name;
  char** h_aliases;
  short h_addrtype;
  short h_length;
  char** h_addr_list;
};
#define h_addr h_addr_list[0]

// The 64-bit layout: the protocol comes before the port.
struct servent {
  char* s_name;
  char** s_aliases;
  char* s_proto;
  short s_port;
};

struct protoent {
  char* p_name;
  char** p_aliases;
  short p_proto;
};

struct linger {
  u_short l_onoff;
  u_short l_linger;
};

typedef struct sockaddr SOCKADDR;
typedef struct sockaddr* PSOCKADDR;
typedef struct sockaddr* LPSOCKADDR;
typedef struct sockaddr_in SOCKADDR_IN;
typedef struct sockaddr_in* LPSOCKADDR_IN;
typedef struct in_addr IN_ADDR;
typedef struct hostent HOSTENT;
typedef struct servent SERVENT;
typedef struct protoent PROTOENT;
typedef struct linger LINGER;

#define AF_UNSPEC 0
#define AF_INET 2
#define PF_INET AF_INET
#define SOCK_STREAM 1
#define SOCK_DGRAM 2
#define SOCK_RAW 3
#define IPPROTO_IP 0
#define IPPROTO_ICMP 1
#define IPPROTO_TCP 6
#define IPPROTO_UDP 17
#define INADDR_ANY 0x00000000UL
#define INADDR_LOOPBACK 0x7f000001UL
#define INADDR_BROADCAST 0xffffffffUL
#define INADDR_NONE 0xffffffffUL

#define MSG_OOB 0x1
#define MSG_PEEK 0x2
#define MSG_DONTROUTE 0x4
#define MAXGETHOSTSTRUCT 1024
#define SOMAXCONN 5
#define SD_RECEIVE 0
#define SD_SEND 1
#define SD_BOTH 2

#define IOCPARM_MASK 0x7f
#define IOC_VOID 0x20000000UL
#define IOC_OUT 0x40000000UL
#define IOC_IN 0x80000000UL
#define WS_IOR(x, y, t) \
  WIN32_INT_CAST(LONG, IOC_OUT | ((sizeof(t) & IOCPARM_MASK) << 16) | ((x) << 8) | (y))
#define WS_IOW(x, y, t) \
  WIN32_INT_CAST(LONG, IOC_IN | ((sizeof(t) & IOCPARM_MASK) << 16) | ((x) << 8) | (y))
#define FIONREAD WS_IOR('f', 127, ULONG)
#define FIONBIO WS_IOW('f', 126, ULONG)
#define SIOCATMARK WS_IOR('s', 7, ULONG)

// Level 0xFFFF options.
#define SOL_SOCKET 0xffff
#define SO_DEBUG 0x0001
#define SO_ACCEPTCONN 0x0002
#define SO_REUSEADDR 0x0004
#define SO_KEEPALIVE 0x0008
#define SO_DONTROUTE 0x0010
#define SO_BROADCAST 0x0020
#define SO_USELOOPBACK 0x0040
#define SO_LINGER 0x0080
#define SO_OOBINLINE 0x0100
#define SO_DONTLINGER WIN32_INT_CAST(int, ~SO_LINGER)
#define SO_SNDBUF 0x1001
#define SO_RCVBUF 0x1002
#define SO_SNDLOWAT 0x1003
#define SO_RCVLOWAT 0x1004
#define SO_SNDTIMEO 0x1005
#define SO_RCVTIMEO 0x1006
#define SO_ERROR 0x1007
#define SO_TYPE 0x1008
// Level 0 (IP) options, with the numbers of Windows Sockets 1.1 (2.x renumbered them).
#define IP_OPTIONS 1
#define IP_MULTICAST_IF 2
#define IP_MULTICAST_TTL 3
#define IP_MULTICAST_LOOP 4
#define IP_ADD_MEMBERSHIP 5
#define IP_DROP_MEMBERSHIP 6
#define IP_TTL 7
#define IP_TOS 8
#define IP_DONTFRAGMENT 9
#define TCP_NODELAY 0x0001

struct ip_mreq {
  struct in_addr imr_multiaddr;
  struct in_addr imr_interface;
};

// WSAAsyncSelect events; the notice carries the socket in wParam and
// WSAMAKESELECTREPLY(event, error) in lParam.
#define FD_READ 0x01
#define FD_WRITE 0x02
#define FD_OOB 0x04
#define FD_ACCEPT 0x08
#define FD_CONNECT 0x10
#define FD_CLOSE 0x20
#define WSAMAKEASYNCREPLY(buflen, error)                                            \
  WIN32_INT_CAST(LONG, (WIN32_INT_CAST(DWORD, WIN32_INT_CAST(WORD, error)) << 16) | \
                           WIN32_INT_CAST(WORD, buflen))
#define WSAMAKESELECTREPLY(event, error) WSAMAKEASYNCREPLY(event, error)
#define WSAGETASYNCBUFLEN(lParam) WIN32_INT_CAST(WORD, WIN32_INT_CAST(DWORD_PTR, lParam) & 0xffff)
#define WSAGETASYNCERROR(lParam) \
  WIN32_INT_CAST(WORD, (WIN32_INT_CAST(DWORD_PTR, lParam) >> 16) & 0xffff)
#define WSAGETSELECTEVENT(lParam) WSAGETASYNCBUFLEN(lParam)
#define WSAGETSELECTERROR(lParam) WSAGETASYNCERROR(lParam)

// Entry-point types, with the names of Windows' winsock2.h typedefs.
typedef SOCKET(WINAPI* LPFN_ACCEPT)(SOCKET s, struct sockaddr* addr, int* addrlen);
typedef int(WINAPI* LPFN_BIND)(SOCKET s, const struct sockaddr* name, int namelen);
typedef int(WINAPI* LPFN_CLOSESOCKET)(SOCKET s);
typedef int(WINAPI* LPFN_CONNECT)(SOCKET s, const struct sockaddr* name, int namelen);
typedef int(WINAPI* LPFN_GETPEERNAME)(SOCKET s, struct sockaddr* name, int* namelen);
typedef int(WINAPI* LPFN_GETSOCKNAME)(SOCKET s, struct sockaddr* name, int* namelen);
typedef int(WINAPI* LPFN_GETSOCKOPT)(SOCKET s, int level, int optname, char* optval, int* optlen);
typedef ULONG(WINAPI* LPFN_HTONL)(ULONG hostlong);
typedef u_short(WINAPI* LPFN_HTONS)(u_short hostshort);
typedef ULONG(WINAPI* LPFN_INET_ADDR)(const char* cp);
typedef char*(WINAPI* LPFN_INET_NTOA)(struct in_addr in);
typedef int(WINAPI* LPFN_IOCTLSOCKET)(SOCKET s, LONG cmd, ULONG* argp);
typedef int(WINAPI* LPFN_LISTEN)(SOCKET s, int backlog);
typedef ULONG(WINAPI* LPFN_NTOHL)(ULONG netlong);
typedef u_short(WINAPI* LPFN_NTOHS)(u_short netshort);
typedef int(WINAPI* LPFN_RECV)(SOCKET s, char* buf, int len, int flags);
typedef int(WINAPI* LPFN_RECVFROM)(SOCKET s, char* buf, int len, int flags, struct sockaddr* from,
                                   int* fromlen);
typedef int(WINAPI* LPFN_SELECT)(int nfds, WS_fd_set* readfds, WS_fd_set* writefds,
                                 WS_fd_set* exceptfds, const struct WS_timeval* timeout);
typedef int(WINAPI* LPFN_SEND)(SOCKET s, const char* buf, int len, int flags);
typedef int(WINAPI* LPFN_SENDTO)(SOCKET s, const char* buf, int len, int flags,
                                 const struct sockaddr* to, int tolen);
typedef int(WINAPI* LPFN_SETSOCKOPT)(SOCKET s, int level, int optname, const char* optval,
                                     int optlen);
typedef int(WINAPI* LPFN_SHUTDOWN)(SOCKET s, int how);
typedef SOCKET(WINAPI* LPFN_SOCKET)(int af, int type, int protocol);
typedef struct hostent*(WINAPI* LPFN_GETHOSTBYADDR)(const char* addr, int len, int type);
typedef struct hostent*(WINAPI* LPFN_GETHOSTBYNAME)(const char* name);
typedef struct protoent*(WINAPI* LPFN_GETPROTOBYNAME)(const char* name);
typedef struct protoent*(WINAPI* LPFN_GETPROTOBYNUMBER)(int number);
typedef struct servent*(WINAPI* LPFN_GETSERVBYNAME)(const char* name, const char* proto);
typedef struct servent*(WINAPI* LPFN_GETSERVBYPORT)(int port, const char* proto);
typedef int(WINAPI* LPFN_GETHOSTNAME)(char* name, int namelen);
typedef int(WINAPI* LPFN_WSAASYNCSELECT)(SOCKET s, HWND hWnd, UINT wMsg, LONG lEvent);
typedef HANDLE(WINAPI* LPFN_WSAASYNCGETHOSTBYADDR)(HWND hWnd, UINT wMsg, const char* addr, int len,
                                                   int type, char* buf, int buflen);
typedef HANDLE(WINAPI* LPFN_WSAASYNCGETHOSTBYNAME)(HWND hWnd, UINT wMsg, const char* name,
                                                   char* buf, int buflen);
typedef HANDLE(WINAPI* LPFN_WSAASYNCGETPROTOBYNUMBER)(HWND hWnd, UINT wMsg, int number, char* buf,
                                                      int buflen);
typedef HANDLE(WINAPI* LPFN_WSAASYNCGETPROTOBYNAME)(HWND hWnd, UINT wMsg, const char* name,
                                                    char* buf, int buflen);
typedef HANDLE(WINAPI* LPFN_WSAASYNCGETSERVBYPORT)(HWND hWnd, UINT wMsg, int port,
                                                   const char* proto, char* buf, int buflen);
typedef HANDLE(WINAPI* LPFN_WSAASYNCGETSERVBYNAME)(HWND hWnd, UINT wMsg, const char* name,
                                                   const char* proto, char* buf, int buflen);
typedef int(WINAPI* LPFN_WSACANCELASYNCREQUEST)(HANDLE hAsyncTaskHandle);
typedef FARPROC(WINAPI* LPFN_WSASETBLOCKINGHOOK)(FARPROC lpBlockFunc);
typedef int(WINAPI* LPFN_WSAUNHOOKBLOCKINGHOOK)(void);
typedef int(WINAPI* LPFN_WSAGETLASTERROR)(void);
typedef void(WINAPI* LPFN_WSASETLASTERROR)(int iError);
typedef int(WINAPI* LPFN_WSACANCELBLOCKINGCALL)(void);
typedef BOOL(WINAPI* LPFN_WSAISBLOCKING)(void);
typedef int(WINAPI* LPFN_WSASTARTUP)(WORD wVersionRequested, LPWSADATA lpWSAData);
typedef int(WINAPI* LPFN_WSACLEANUP)(void);
typedef int(WINAPI* LPFN___WSAFDISSET)(SOCKET fd, WS_fd_set* set);

// The ordinals of the Windows Sockets 1.1 library.
enum {
  WSOCK32_ORD_ACCEPT = 1,
  WSOCK32_ORD_BIND = 2,
  WSOCK32_ORD_CLOSESOCKET = 3,
  WSOCK32_ORD_CONNECT = 4,
  WSOCK32_ORD_GETPEERNAME = 5,
  WSOCK32_ORD_GETSOCKNAME = 6,
  WSOCK32_ORD_GETSOCKOPT = 7,
  WSOCK32_ORD_HTONL = 8,
  WSOCK32_ORD_HTONS = 9,
  WSOCK32_ORD_INET_ADDR = 10,
  WSOCK32_ORD_INET_NTOA = 11,
  WSOCK32_ORD_IOCTLSOCKET = 12,
  WSOCK32_ORD_LISTEN = 13,
  WSOCK32_ORD_NTOHL = 14,
  WSOCK32_ORD_NTOHS = 15,
  WSOCK32_ORD_RECV = 16,
  WSOCK32_ORD_RECVFROM = 17,
  WSOCK32_ORD_SELECT = 18,
  WSOCK32_ORD_SEND = 19,
  WSOCK32_ORD_SENDTO = 20,
  WSOCK32_ORD_SETSOCKOPT = 21,
  WSOCK32_ORD_SHUTDOWN = 22,
  WSOCK32_ORD_SOCKET = 23,
  WSOCK32_ORD_GETHOSTBYADDR = 51,
  WSOCK32_ORD_GETHOSTBYNAME = 52,
  WSOCK32_ORD_GETPROTOBYNAME = 53,
  WSOCK32_ORD_GETPROTOBYNUMBER = 54,
  WSOCK32_ORD_GETSERVBYNAME = 55,
  WSOCK32_ORD_GETSERVBYPORT = 56,
  WSOCK32_ORD_GETHOSTNAME = 57,
  WSOCK32_ORD_WSAASYNCSELECT = 101,
  WSOCK32_ORD_WSAASYNCGETHOSTBYADDR = 102,
  WSOCK32_ORD_WSAASYNCGETHOSTBYNAME = 103,
  WSOCK32_ORD_WSAASYNCGETPROTOBYNUMBER = 104,
  WSOCK32_ORD_WSAASYNCGETPROTOBYNAME = 105,
  WSOCK32_ORD_WSAASYNCGETSERVBYPORT = 106,
  WSOCK32_ORD_WSAASYNCGETSERVBYNAME = 107,
  WSOCK32_ORD_WSACANCELASYNCREQUEST = 108,
  WSOCK32_ORD_WSASETBLOCKINGHOOK = 109,
  WSOCK32_ORD_WSAUNHOOKBLOCKINGHOOK = 110,
  WSOCK32_ORD_WSAGETLASTERROR = 111,
  WSOCK32_ORD_WSASETLASTERROR = 112,
  WSOCK32_ORD_WSACANCELBLOCKINGCALL = 113,
  WSOCK32_ORD_WSAISBLOCKING = 114,
  WSOCK32_ORD_WSASTARTUP = 115,
  WSOCK32_ORD_WSACLEANUP = 116,
  WSOCK32_ORD___WSAFDISSET = 151
};

// Every entry point of Windows Sockets 1.1, once: X(ordinal, exported name, entry-point type).
// The library's export table and a client's function table are both made from it.
#define WSOCK32_ENTRY_POINTS(X)                                                                    \
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
