// The socket library as a client sees it: loaded by name, entry points by ordinal; a notice
// window whose procedure records what arrives; a bounded message pump.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "windows.h"
#include "winsock.h"

struct Winsock {
  HMODULE module = nullptr;
  LPFN_ACCEPT accept;
  LPFN_BIND bind;
  LPFN_CLOSESOCKET closesocket;
  LPFN_CONNECT connect;
  LPFN_GETPEERNAME getpeername;
  LPFN_GETSOCKNAME getsockname;
  LPFN_GETSOCKOPT getsockopt;
  LPFN_HTONL htonl;
  LPFN_HTONS htons;
  LPFN_INET_ADDR inet_addr;
  LPFN_INET_NTOA inet_ntoa;
  LPFN_IOCTLSOCKET ioctlsocket;
  LPFN_LISTEN listen;
  LPFN_NTOHL ntohl;
  LPFN_NTOHS ntohs;
  LPFN_RECV recv;
  LPFN_RECVFROM recvfrom;
  LPFN_SELECT select;
  LPFN_SEND send;
  LPFN_SENDTO sendto;
  LPFN_SETSOCKOPT setsockopt;
  LPFN_SHUTDOWN shutdown;
  LPFN_SOCKET socket;
  LPFN_GETHOSTBYADDR gethostbyaddr;
  LPFN_GETHOSTBYNAME gethostbyname;
  LPFN_GETPROTOBYNAME getprotobyname;
  LPFN_GETSERVBYNAME getservbyname;
  LPFN_GETHOSTNAME gethostname;
  LPFN_WSAASYNCSELECT WSAAsyncSelect;
  LPFN_WSAASYNCGETHOSTBYNAME WSAAsyncGetHostByName;
  LPFN_WSACANCELASYNCREQUEST WSACancelAsyncRequest;
  LPFN_WSASETBLOCKINGHOOK WSASetBlockingHook;
  LPFN_WSAUNHOOKBLOCKINGHOOK WSAUnhookBlockingHook;
  LPFN_WSAGETLASTERROR WSAGetLastError;
  LPFN_WSASETLASTERROR WSASetLastError;
  LPFN_WSACANCELBLOCKINGCALL WSACancelBlockingCall;
  LPFN_WSAISBLOCKING WSAIsBlocking;
  LPFN_WSASTARTUP WSAStartup;
  LPFN_WSACLEANUP WSACleanup;
  LPFN___WSAFDISSET WSAFDIsSet;
};

// Loaded once per process, as the control's loader does.
const Winsock& Ws();

constexpr UINT kNotice = WM_USER + 0x66;

struct Notice {
  SOCKET socket;
  int event;
  int error;
};

// A test that owns a started library, a notice window and the sockets it makes.
class WinsockTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  SOCKET Udp();                        // bound to 127.0.0.1, port chosen by the system
  SOCKET Tcp();                        // not bound
  u_short PortOf(SOCKET s);            // host order
  sockaddr_in Loopback(u_short port);  // host-order port
  u_short ClosedPort();                // a loopback UDP port nobody listens on
  void SendTo(SOCKET from, u_short port, const std::string& data);
  void Watch(SOCKET s, LONG events);  // WSAAsyncSelect to the notice window
  // Non-blocking read of one datagram; the error when there is none.
  int ReadOne(SOCKET s, std::string* data, u_short* from_port = nullptr, int size = 2048);
  bool WaitReadable(SOCKET s);  // select, up to 2 seconds
  int Error() { return Ws().WSAGetLastError(); }

  // Dispatches messages until `done` says so or the time is up; false on time-out.
  bool PumpUntil(const std::function<bool()>& done,
                 std::chrono::milliseconds limit = std::chrono::seconds(3));
  void PumpFor(std::chrono::milliseconds span);
  std::vector<Notice> NoticesOf(int event) const;

  HWND window_ = nullptr;
  std::vector<Notice> notices_;
  std::function<void(const Notice&)> on_notice_;
  std::vector<SOCKET> sockets_;

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM w, LPARAM l);
};
