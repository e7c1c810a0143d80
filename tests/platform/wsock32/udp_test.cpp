#include <cstring>
#include <string>
#include <thread>

#include <unistd.h>

#include "host_probe.h"
#include "wsock_fixture.h"

namespace {

using namespace std::chrono_literals;

using UdpSockets = WinsockTest;

TEST_F(UdpSockets, BindToPortZeroChoosesAPortAndNamesIt) {
  SOCKET unbound = Ws().socket(AF_INET, SOCK_DGRAM, 0);
  sockets_.push_back(unbound);
  sockaddr_in a{};
  int len = sizeof a;
  EXPECT_EQ(Ws().getsockname(unbound, reinterpret_cast<sockaddr*>(&a), &len), SOCKET_ERROR);
  EXPECT_EQ(Error(), WSAEINVAL);  // Winsock has no name for an unbound socket

  SOCKET s = Udp();
  len = sizeof a;
  ASSERT_EQ(Ws().getsockname(s, reinterpret_cast<sockaddr*>(&a), &len), 0);
  EXPECT_EQ(len, static_cast<int>(sizeof(sockaddr_in)));
  EXPECT_EQ(a.sin_family, AF_INET);
  EXPECT_NE(a.sin_port, 0);
  EXPECT_EQ(a.sin_addr.s_addr, Ws().htonl(INADDR_LOOPBACK));
  len = sizeof a - 1;
  EXPECT_EQ(Ws().getsockname(s, reinterpret_cast<sockaddr*>(&a), &len), SOCKET_ERROR);
  EXPECT_EQ(Error(), WSAEFAULT);
}

TEST_F(UdpSockets, OneReadNoticeDrainsABurstAndWriteIsNoticedOnce) {
  SOCKET rx = Udp();
  SOCKET tx = Udp();
  Watch(rx, FD_READ | FD_WRITE);
  EXPECT_TRUE(HostNonBlocking(static_cast<int>(rx)));
  ASSERT_TRUE(PumpUntil([this] { return !NoticesOf(FD_WRITE).empty(); }));

  std::vector<std::string> got;
  on_notice_ = [&](const Notice& n) {
    if (n.event != FD_READ) return;
    std::string d;
    u_short from = 0;
    int err = 0;
    while ((err = ReadOne(rx, &d, &from)) == 0) {
      got.push_back(d);
      EXPECT_EQ(from, PortOf(tx));
    }
    EXPECT_EQ(err, WSAEWOULDBLOCK);
  };
  for (int i = 0; i < 5; ++i) SendTo(tx, PortOf(rx), "burst " + std::to_string(i));
  ASSERT_TRUE(PumpUntil([&] { return got.size() == 5; }));
  PumpFor(200ms);
  EXPECT_EQ(got, (std::vector<std::string>{"burst 0", "burst 1", "burst 2", "burst 3", "burst 4"}));
  ASSERT_EQ(NoticesOf(FD_READ).size(), 1u);
  EXPECT_EQ(NoticesOf(FD_READ)[0].socket, rx);
  EXPECT_EQ(NoticesOf(FD_READ)[0].error, 0);
  EXPECT_EQ(NoticesOf(FD_WRITE).size(), 1u);  // no would-block, no second write notice
}

TEST_F(UdpSockets, ReadNoticeComesAgainWhileDataIsLeft) {
  SOCKET rx = Udp();
  SOCKET tx = Udp();
  Watch(rx, FD_READ);
  std::vector<std::string> got;
  on_notice_ = [&](const Notice&) {
    std::string d;
    if (ReadOne(rx, &d) == 0) got.push_back(d);  // one per notice
  };
  for (int i = 0; i < 3; ++i) SendTo(tx, PortOf(rx), std::string(1, static_cast<char>('a' + i)));
  ASSERT_TRUE(PumpUntil([&] { return got.size() == 3; }));
  PumpFor(200ms);
  EXPECT_EQ(got, (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(NoticesOf(FD_READ).size(), 3u);
  // Data that waited before the notices were asked for is noticed too.
  Watch(rx, 0);
  SendTo(tx, PortOf(rx), "early");
  ASSERT_TRUE(WaitReadable(rx));
  notices_.clear();
  Watch(rx, FD_READ);
  ASSERT_TRUE(PumpUntil([&] { return got.size() == 4; }));
  EXPECT_EQ(got.back(), "early");
}

TEST_F(UdpSockets, ReadOnAnotherThreadStillBringsTheNextNotice) {
  SOCKET rx = Udp();
  SOCKET tx = Udp();
  Watch(rx, FD_READ);
  SendTo(tx, PortOf(rx), "first");
  SendTo(tx, PortOf(rx), "second");
  ASSERT_TRUE(PumpUntil([this] { return NoticesOf(FD_READ).size() == 1; }));
  std::string d;
  int err = -1;
  std::thread([&] { err = ReadOne(rx, &d); }).join();
  ASSERT_EQ(err, 0);
  EXPECT_EQ(d, "first");
  ASSERT_TRUE(PumpUntil([this] { return NoticesOf(FD_READ).size() == 2; }));
  EXPECT_EQ(ReadOne(rx, &d), 0);
  EXPECT_EQ(d, "second");
  EXPECT_EQ(ReadOne(rx, &d), WSAEWOULDBLOCK);
  PumpFor(std::chrono::milliseconds(100));
  EXPECT_EQ(NoticesOf(FD_READ).size(), 2u);
}

TEST_F(UdpSockets, OversizedDatagramFailsWithMessageSizeAndTheNextIsReadable) {
  SOCKET rx = Udp();
  SOCKET tx = Udp();
  std::string big(3000, '\0');
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>('A' + i % 26);
  SendTo(tx, PortOf(rx), big);
  SendTo(tx, PortOf(rx), std::string(100, 'x'));
  SendTo(tx, PortOf(rx), "after");
  ASSERT_TRUE(WaitReadable(rx));
  char buf[100];
  std::memset(buf, 0, sizeof buf);
  sockaddr_in from{};
  int fromlen = sizeof from;
  EXPECT_EQ(Ws().recvfrom(rx, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &fromlen),
            SOCKET_ERROR);
  EXPECT_EQ(Error(), WSAEMSGSIZE);
  EXPECT_EQ(std::string(buf, sizeof buf), big.substr(0, 100));  // the first part, as Winsock
  EXPECT_EQ(Ws().ntohs(from.sin_port), PortOf(tx));
  std::string d;
  EXPECT_EQ(ReadOne(rx, &d, nullptr, 100), 0);  // exactly the buffer's size is no overflow
  EXPECT_EQ(d, std::string(100, 'x'));
  EXPECT_EQ(ReadOne(rx, &d), 0);
  EXPECT_EQ(d, "after");
}

TEST_F(UdpSockets, PortUnreachableIsReportedOnTheNextReadOncePerDatagram) {
  SOCKET s = Udp();
  Ws().WSAAsyncSelect(s, window_, kNotice, FD_READ);
  u_short closed = ClosedPort();
  SendTo(s, closed, "one");
  ASSERT_TRUE(PumpUntil([this] { return !NoticesOf(FD_READ).empty(); }));
  std::string d;
  EXPECT_EQ(ReadOne(s, &d), WSAECONNRESET);
  EXPECT_EQ(ReadOne(s, &d), WSAEWOULDBLOCK);

  // A send after the reply still goes out (Linux would refuse it), and the error stays owed.
  SendTo(s, closed, "two");
  ASSERT_TRUE(WaitReadable(s));
  SendTo(s, closed, "three");
  SOCKET peer = Udp();
  SendTo(peer, PortOf(s), "live");
  int resets = 0;
  bool live = false;
  for (int i = 0; i < 20 && !(resets == 2 && live); ++i) {
    if (!WaitReadable(s)) break;
    int err = ReadOne(s, &d);
    if (err == WSAECONNRESET) ++resets;
    if (err == 0 && d == "live") live = true;
  }
  EXPECT_EQ(resets, 2);
  EXPECT_TRUE(live);
  EXPECT_EQ(ReadOne(s, &d), WSAEWOULDBLOCK);
  // Every error was taken off the kernel's queue: nothing is left that looks readable.
  WS_fd_set set{};
  WS_FD_ZERO(&set);
  WS_FD_SET(s, &set);
  WS_timeval now{0, 0};
  EXPECT_EQ(Ws().select(0, &set, nullptr, nullptr, &now), 0);
}

TEST_F(UdpSockets, SecondBindNeedsReuseAddress) {
  SOCKET first = Udp();
  SOCKET second = Ws().socket(AF_INET, SOCK_DGRAM, 0);
  sockets_.push_back(second);
  sockaddr_in a = Loopback(PortOf(first));
  EXPECT_EQ(Ws().bind(second, reinterpret_cast<sockaddr*>(&a), sizeof a), SOCKET_ERROR);
  EXPECT_EQ(Error(), WSAEADDRINUSE);

  SOCKET x = Ws().socket(AF_INET, SOCK_DGRAM, 0);
  SOCKET y = Ws().socket(AF_INET, SOCK_DGRAM, 0);
  sockets_.push_back(x);
  sockets_.push_back(y);
  int on = 1;
  ASSERT_EQ(Ws().setsockopt(x, 0xFFFF, 4, reinterpret_cast<char*>(&on), sizeof on), 0);
  ASSERT_EQ(Ws().setsockopt(y, 0xFFFF, 4, reinterpret_cast<char*>(&on), sizeof on), 0);
  sockaddr_in any = Loopback(0);
  ASSERT_EQ(Ws().bind(x, reinterpret_cast<sockaddr*>(&any), sizeof any), 0);
  sockaddr_in same = Loopback(PortOf(x));
  EXPECT_EQ(Ws().bind(y, reinterpret_cast<sockaddr*>(&same), sizeof same), 0) << Error();
  EXPECT_EQ(Ws().bind(x, reinterpret_cast<sockaddr*>(&any), sizeof any), SOCKET_ERROR);
  EXPECT_EQ(Error(), WSAEINVAL);  // already bound
}

TEST_F(UdpSockets, ClosedAndForeignHandlesAreNotSockets) {
  SOCKET s = Udp();
  ASSERT_EQ(Ws().closesocket(s), 0);
  sockets_.clear();
  char buf[8];
  EXPECT_EQ(Ws().recv(s, buf, sizeof buf, 0), SOCKET_ERROR);
  EXPECT_EQ(Error(), WSAENOTSOCK);
  EXPECT_EQ(Ws().closesocket(s), SOCKET_ERROR);
  EXPECT_EQ(Error(), WSAENOTSOCK);
  int pipefd[2];
  ASSERT_EQ(pipe(pipefd), 0);
  EXPECT_EQ(Ws().send(static_cast<SOCKET>(pipefd[1]), "x", 1, 0), SOCKET_ERROR);
  EXPECT_EQ(Error(), WSAENOTSOCK);
  close(pipefd[0]);
  close(pipefd[1]);
  EXPECT_EQ(Ws().WSAAsyncSelect(INVALID_SOCKET, window_, kNotice, FD_READ), SOCKET_ERROR);
  EXPECT_EQ(Error(), WSAENOTSOCK);
  EXPECT_EQ(Ws().socket(AF_INET, 9, 0), INVALID_SOCKET);
  EXPECT_EQ(Error(), WSAESOCKTNOSUPPORT);
  EXPECT_EQ(Ws().socket(23, SOCK_DGRAM, 0), INVALID_SOCKET);
  EXPECT_EQ(Error(), WSAEAFNOSUPPORT);
}

TEST_F(UdpSockets, OptionNumbersReachTheHostOptions) {
  SOCKET s = Udp();
  auto fd = static_cast<int>(s);
  auto set = [&](int level, int name, int value) {
    return Ws().setsockopt(s, level, name, reinterpret_cast<char*>(&value), sizeof value);
  };
  auto get = [&](int level, int name) {
    int value = -7;
    int len = sizeof value;
    EXPECT_EQ(Ws().getsockopt(s, level, name, reinterpret_cast<char*>(&value), &len), 0);
    EXPECT_EQ(len, 4);
    return value;
  };
  ASSERT_EQ(set(0xFFFF, 0x0004, 1), 0);
  EXPECT_EQ(ReadHostOption(fd, HostOption::kReuseAddr), 1);
  EXPECT_NE(get(0xFFFF, 0x0004), 0);
  ASSERT_EQ(set(0xFFFF, 0x0010, 1), 0);
  EXPECT_EQ(ReadHostOption(fd, HostOption::kDontRoute), 1);
  ASSERT_EQ(set(0xFFFF, 0x0020, 1), 0);
  EXPECT_EQ(ReadHostOption(fd, HostOption::kBroadcast), 1);
  EXPECT_NE(get(0xFFFF, 0x0020), 0);
  ASSERT_EQ(set(0xFFFF, 0x1001, 32768), 0);
  EXPECT_EQ(ReadHostOption(fd, HostOption::kSendBuffer), 65536);  // Linux doubles it
  EXPECT_EQ(get(0xFFFF, 0x1001), 32768);                          // Winsock reads it back
  ASSERT_EQ(set(0xFFFF, 0x1002, 24576), 0);
  EXPECT_GT(ReadHostOption(fd, HostOption::kReceiveBuffer), 2 * 24576);  // room for overhead
  EXPECT_EQ(get(0xFFFF, 0x1002), 24576);
  ASSERT_EQ(set(0, 7, 33), 0);
  EXPECT_EQ(ReadHostOption(fd, HostOption::kTtl), 33);
  EXPECT_EQ(get(0, 7), 33);
  ASSERT_EQ(set(0, 8, 0x10), 0);
  EXPECT_EQ(ReadHostOption(fd, HostOption::kTos), 0x10);
  EXPECT_EQ(get(0, 8), 0x10);
  EXPECT_EQ(get(0xFFFF, SO_TYPE), SOCK_DGRAM);
  EXPECT_EQ(get(0xFFFF, SO_ERROR), 0);
  ASSERT_EQ(set(0xFFFF, SO_RCVTIMEO, 1500), 0);
  EXPECT_EQ(get(0xFFFF, SO_RCVTIMEO), 1500);

  linger l{1, 7};
  ASSERT_EQ(Ws().setsockopt(s, 0xFFFF, SO_LINGER, reinterpret_cast<char*>(&l), sizeof l), 0);
  linger back{};
  int len = sizeof back;
  ASSERT_EQ(Ws().getsockopt(s, 0xFFFF, SO_LINGER, reinterpret_cast<char*>(&back), &len), 0);
  EXPECT_EQ(back.l_onoff, 1);
  EXPECT_EQ(back.l_linger, 7);
  EXPECT_EQ(get(0xFFFF, SO_DONTLINGER), 0);

  EXPECT_EQ(set(0xFFFF, 0x0040, 1), SOCKET_ERROR);  // SO_USELOOPBACK
  EXPECT_EQ(Error(), WSAENOPROTOOPT);
  EXPECT_EQ(set(99, 1, 1), SOCKET_ERROR);
  EXPECT_EQ(Error(), WSAEINVAL);
  short tiny = 1;
  EXPECT_EQ(Ws().setsockopt(s, 0, 7, reinterpret_cast<char*>(&tiny), sizeof tiny), SOCKET_ERROR);
  EXPECT_EQ(Error(), WSAEFAULT);
  EXPECT_EQ(set(0xFFFF, SO_TYPE, 1), SOCKET_ERROR);
  EXPECT_EQ(Error(), WSAENOPROTOOPT);
}

TEST_F(UdpSockets, SelectKeepsTheReadySockets) {
  SOCKET a = Udp();
  SOCKET b = Udp();
  SendTo(b, PortOf(a), "x");
  WS_fd_set set{};
  WS_FD_ZERO(&set);
  WS_FD_SET(a, &set);
  WS_FD_SET(b, &set);
  WS_timeval tv{2, 0};
  ASSERT_EQ(Ws().select(0, &set, nullptr, nullptr, &tv), 1);
  EXPECT_TRUE(Ws().__WSAFDIsSet(a, &set));
  EXPECT_FALSE(Ws().__WSAFDIsSet(b, &set));
  WS_FD_ZERO(&set);
  WS_FD_SET(b, &set);
  WS_timeval short_wait{0, 50000};
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Ws().select(0, &set, nullptr, nullptr, &short_wait), 0);
  EXPECT_GE(std::chrono::steady_clock::now() - start, 45ms);
  EXPECT_EQ(set.fd_count, 0u);
  EXPECT_EQ(Ws().select(0, nullptr, nullptr, nullptr, &tv), SOCKET_ERROR);
  EXPECT_EQ(Error(), WSAEINVAL);
}

TEST_F(UdpSockets, ClosingStopsNoticesAndADestroyedWindowIsLetGo) {
  SOCKET rx = Udp();
  SOCKET tx = Udp();
  Watch(rx, FD_READ);
  SendTo(tx, PortOf(rx), "x");
  ASSERT_TRUE(WaitReadable(rx));
  ASSERT_EQ(Ws().closesocket(rx), 0);
  std::erase(sockets_, rx);
  PumpFor(100ms);
  EXPECT_TRUE(NoticesOf(FD_READ).empty());

  SOCKET other = Udp();
  Watch(other, FD_READ);
  DestroyWindow(window_);
  SendTo(tx, PortOf(other), "y");
  PumpFor(100ms);
  EXPECT_TRUE(notices_.empty());
  std::string d;
  EXPECT_EQ(ReadOne(other, &d), 0);  // still a working socket
  EXPECT_EQ(d, "y");
}

TEST_F(UdpSockets, BlockingReadTimesOutOrIsCancelledFromTheHook) {
  SOCKET s = Udp();
  int ms = 100;
  ASSERT_EQ(Ws().setsockopt(s, 0xFFFF, SO_RCVTIMEO, reinterpret_cast<char*>(&ms), sizeof ms), 0);
  char buf[16];
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Ws().recv(s, buf, sizeof buf, 0), SOCKET_ERROR);
  EXPECT_EQ(Error(), WSAETIMEDOUT);
  EXPECT_GE(std::chrono::steady_clock::now() - start, 90ms);

  EXPECT_FALSE(Ws().WSAIsBlocking());
  EXPECT_EQ(Ws().WSACancelBlockingCall(), SOCKET_ERROR);
  EXPECT_EQ(Error(), WSAEINVAL);

  ms = 3000;  // a bound in case the hook never cancels
  ASSERT_EQ(Ws().setsockopt(s, 0xFFFF, SO_RCVTIMEO, reinterpret_cast<char*>(&ms), sizeof ms), 0);
  static int calls;
  static int in_progress_error;
  static BOOL blocking;
  calls = 0;
  struct Hook {
    static BOOL WINAPI Run() {
      blocking = Ws().WSAIsBlocking();
      char b[4];
      if (Ws().recv(INVALID_SOCKET, b, 4, 0) == SOCKET_ERROR)
        in_progress_error = Ws().WSAGetLastError();
      if (++calls == 3) Ws().WSACancelBlockingCall();
      return FALSE;
    }
  };
  FARPROC previous = Ws().WSASetBlockingHook(win32::AsFarProc(&Hook::Run));
  EXPECT_NE(previous, nullptr);  // the default hook
  EXPECT_EQ(Ws().recvfrom(s, buf, sizeof buf, 0, nullptr, nullptr), SOCKET_ERROR);
  EXPECT_EQ(Error(), WSAEINTR);
  EXPECT_EQ(calls, 3);
  EXPECT_TRUE(blocking);
  EXPECT_EQ(in_progress_error, WSAEINPROGRESS);
  EXPECT_EQ(Ws().WSAUnhookBlockingHook(), 0);
  EXPECT_FALSE(Ws().WSAIsBlocking());
}

}  // namespace
