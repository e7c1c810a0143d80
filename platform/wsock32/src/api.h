// The library's entry points, with Windows' names and signatures. They are reached only through
// the export table (exports.cpp), never by symbol.
#pragma once

#include "winsock.h"

namespace wsock32::api {

SOCKET WINAPI accept(SOCKET s, struct sockaddr* addr, int* addrlen);
int WINAPI bind(SOCKET s, const struct sockaddr* name, int namelen);
int WINAPI closesocket(SOCKET s);
int WINAPI connect(SOCKET s, const struct sockaddr* name, int namelen);
int WINAPI getpeername(SOCKET s, struct sockaddr* name, int* namelen);
int WINAPI getsockname(SOCKET s, struct sockaddr* name, int* namelen);
int WINAPI getsockopt(SOCKET s, int level, int optname, char* optval, int* optlen);
ULONG WINAPI htonl(ULONG hostlong);
u_short WINAPI htons(u_short hostshort);
ULONG WINAPI inet_addr(const char* cp);
char* WINAPI inet_ntoa(struct in_addr in);
int WINAPI ioctlsocket(SOCKET s, LONG cmd, ULONG* argp);
int WINAPI listen(SOCKET s, int backlog);
ULONG WINAPI ntohl(ULONG netlong);
u_short WINAPI ntohs(u_short netshort);
int WINAPI recv(SOCKET s, char* buf, int len, int flags);
int WINAPI recvfrom(SOCKET s, char* buf, int len, int flags, struct sockaddr* from, int* fromlen);
int WINAPI select(int nfds, WS_fd_set* readfds, WS_fd_set* writefds, WS_fd_set* exceptfds,
                  const struct WS_timeval* timeout);
int WINAPI send(SOCKET s, const char* buf, int len, int flags);
int WINAPI sendto(SOCKET s, const char* buf, int len, int flags, const struct sockaddr* to,
                  int tolen);
int WINAPI setsockopt(SOCKET s, int level, int optname, const char* optval, int optlen);
int WINAPI shutdown(SOCKET s, int how);
SOCKET WINAPI socket(int af, int type, int protocol);

struct hostent* WINAPI gethostbyaddr(const char* addr, int len, int type);
struct hostent* WINAPI gethostbyname(const char* name);
struct protoent* WINAPI getprotobyname(const char* name);
struct protoent* WINAPI getprotobynumber(int number);
struct servent* WINAPI getservbyname(const char* name, const char* proto);
struct servent* WINAPI getservbyport(int port, const char* proto);
int WINAPI gethostname(char* name, int namelen);

int WINAPI WSAAsyncSelect(SOCKET s, HWND hWnd, UINT wMsg, LONG lEvent);
HANDLE WINAPI WSAAsyncGetHostByAddr(HWND hWnd, UINT wMsg, const char* addr, int len, int type,
                                    char* buf, int buflen);
HANDLE WINAPI WSAAsyncGetHostByName(HWND hWnd, UINT wMsg, const char* name, char* buf, int buflen);
HANDLE WINAPI WSAAsyncGetProtoByNumber(HWND hWnd, UINT wMsg, int number, char* buf, int buflen);
HANDLE WINAPI WSAAsyncGetProtoByName(HWND hWnd, UINT wMsg, const char* name, char* buf, int buflen);
HANDLE WINAPI WSAAsyncGetServByPort(HWND hWnd, UINT wMsg, int port, const char* proto, char* buf,
                                    int buflen);
HANDLE WINAPI WSAAsyncGetServByName(HWND hWnd, UINT wMsg, const char* name, const char* proto,
                                    char* buf, int buflen);
int WINAPI WSACancelAsyncRequest(HANDLE hAsyncTaskHandle);
FARPROC WINAPI WSASetBlockingHook(FARPROC lpBlockFunc);
int WINAPI WSAUnhookBlockingHook(void);
int WINAPI WSAGetLastError(void);
void WINAPI WSASetLastError(int iError);
int WINAPI WSACancelBlockingCall(void);
BOOL WINAPI WSAIsBlocking(void);
int WINAPI WSAStartup(WORD wVersionRequested, LPWSADATA lpWSAData);
int WINAPI WSACleanup(void);
int WINAPI WSAFDIsSet(SOCKET fd, WS_fd_set* set);  // exported as __WSAFDIsSet

}  // namespace wsock32::api
