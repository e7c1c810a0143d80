#include <string>
#include <vector>

#include "wsock_fixture.h"

namespace {

using namespace std::chrono_literals;

class TcpSockets : public WinsockTest {
 protected:
  SOCKET Listener() {
    SOCKET l = Tcp();
    sockaddr_in a = Loopback(0);
    EXPECT_EQ(Ws().bind(l, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    EXPECT_EQ(Ws().listen(l, SOMAXCONN), 0) << Error();
    return l;
  }
  // A connected pair made with blocking calls.
  void Pair(SOCKET* client, SOCKET* server) {
    SOCKET l = Listener();
    *client = Tcp();
    sockaddr_in a = Loopback(PortOf(l));
    ASSERT_EQ(Ws().connect(*client, reinterpret_cast<sockaddr*>(&a), sizeof a), 0) << Error();
    sockaddr_in peer{};
    int len = sizeof peer;
    *server = Ws().accept(l, reinterpret_cast<sockaddr*>(&peer), &len);
    ASSERT_NE(*server, INVALID_SOCKET) << Error();
    sockets_.push_back(*server);
    EXPECT_EQ(Ws().ntohs(peer.sin_port), PortOf(*client));
  }
  void SetInt(SOCKET s, int level, int name, int value) {
    ASSERT_EQ(Ws().setsockopt(s, level, name, reinterpret_cast<char*>(&value), sizeof value), 0);
  }
};

TEST_F(TcpSockets, WriteNoticeOnceThenAgainOnlyAfterWouldBlock) {
  SOCKET client = INVALID_SOCKET;
  SOCKET server = INVALID_SOCKET;
  Pair(&client, &server);
  SetInt(client, 0xFFFF, SO_SNDBUF, 4096);
  SetInt(server, 0xFFFF, SO_RCVBUF, 4096);
  Watch(client, FD_WRITE);
  ASSERT_TRUE(PumpUntil([this] { return NoticesOf(FD_WRITE).size() == 1; }));

  std::string chunk(16384, 'w');
  int sent = 0;
  int result = 0;
  for (int i = 0; i < 1000; ++i) {
    result = Ws().send(client, chunk.data(), static_cast<int>(chunk.size()), 0);
    if (result == SOCKET_ERROR) break;
    sent += result;
  }
  ASSERT_EQ(result, SOCKET_ERROR);
  ASSERT_EQ(Error(), WSAEWOULDBLOCK);
  PumpFor(100ms);
  EXPECT_EQ(NoticesOf(FD_WRITE).size(), 1u);  // still full: nothing new

  std::vector<char> buf(65536);
  int got = 0;
  ASSERT_TRUE(PumpUntil(
      [&] {
        while (got < sent) {
          int n = Ws().recv(server, buf.data(), static_cast<int>(buf.size()), 0);
          if (n <= 0) break;
          got += n;
        }
        return NoticesOf(FD_WRITE).size() == 2;
      },
      5s));
  EXPECT_GT(Ws().send(client, "more", 4, 0), 0);
  PumpFor(100ms);
  EXPECT_EQ(NoticesOf(FD_WRITE).size(), 2u);  // a send that succeeded re-enables nothing
}

TEST_F(TcpSockets, ConnectAcceptAndCloseNotices) {
  SOCKET l = Listener();
  Watch(l, FD_ACCEPT);
  SOCKET client = Tcp();
  Watch(client, FD_CONNECT | FD_WRITE | FD_READ | FD_CLOSE);
  sockaddr_in a = Loopback(PortOf(l));
  int rc = Ws().connect(client, reinterpret_cast<sockaddr*>(&a), sizeof a);
  if (rc == SOCKET_ERROR) {
    EXPECT_EQ(Error(), WSAEWOULDBLOCK);
  }
  ASSERT_TRUE(PumpUntil([this] {
    return !NoticesOf(FD_CONNECT).empty() && !NoticesOf(FD_ACCEPT).empty() &&
           !NoticesOf(FD_WRITE).empty();
  }));
  EXPECT_EQ(NoticesOf(FD_CONNECT)[0].error, 0);
  EXPECT_EQ(NoticesOf(FD_CONNECT)[0].socket, client);
  EXPECT_EQ(NoticesOf(FD_ACCEPT)[0].socket, l);
  EXPECT_TRUE(NoticesOf(FD_READ).empty());  // nothing was sent yet

  SOCKET server = Ws().accept(l, nullptr, nullptr);
  ASSERT_NE(server, INVALID_SOCKET) << Error();
  sockets_.push_back(server);
  // The accepted socket has the listener's notices (FD_ACCEPT only), so it is non-blocking.
  char buf[16];
  EXPECT_EQ(Ws().recv(server, buf, sizeof buf, 0), SOCKET_ERROR);
  EXPECT_EQ(Error(), WSAEWOULDBLOCK);

  ASSERT_EQ(Ws().send(server, "bye", 3, 0), 3);
  ASSERT_EQ(Ws().closesocket(server), 0);
  std::erase(sockets_, server);
  std::string got;
  on_notice_ = [&](const Notice& n) {
    if (n.event != FD_READ) return;
    int k = Ws().recv(client, buf, sizeof buf, 0);
    if (k > 0) got.append(buf, static_cast<std::size_t>(k));
  };
  ASSERT_TRUE(PumpUntil([this] { return !NoticesOf(FD_CLOSE).empty(); }));
  PumpUntil([&] { return got == "bye"; }, 1s);
  EXPECT_EQ(got, "bye");
  EXPECT_EQ(NoticesOf(FD_CLOSE)[0].error, 0);
  EXPECT_EQ(Ws().recv(client, buf, sizeof buf, 0), 0);  // end of stream
  PumpFor(100ms);
  EXPECT_EQ(NoticesOf(FD_CLOSE).size(), 1u);
}

TEST_F(TcpSockets, RefusedConnectionIsNoticedWithItsError) {
  SOCKET l = Listener();
  u_short port = PortOf(l);
  Ws().closesocket(l);
  std::erase(sockets_, l);
  SOCKET client = Tcp();
  Watch(client, FD_CONNECT);
  sockaddr_in a = Loopback(port);
  Ws().connect(client, reinterpret_cast<sockaddr*>(&a), sizeof a);
  ASSERT_TRUE(PumpUntil([this] { return !NoticesOf(FD_CONNECT).empty(); }));
  EXPECT_EQ(NoticesOf(FD_CONNECT)[0].error, WSAECONNREFUSED);

  SOCKET blocking = Tcp();
  EXPECT_EQ(Ws().connect(blocking, reinterpret_cast<sockaddr*>(&a), sizeof a), SOCKET_ERROR);
  EXPECT_EQ(Error(), WSAECONNREFUSED);
}

TEST_F(TcpSockets, StreamRulesOfWinsock) {
  SOCKET s = Tcp();
  EXPECT_EQ(Ws().listen(s, 5), SOCKET_ERROR);  // not bound
  EXPECT_EQ(Error(), WSAEINVAL);
  char buf[4];
  EXPECT_EQ(Ws().recv(s, buf, sizeof buf, 0), SOCKET_ERROR);
  EXPECT_EQ(Error(), WSAENOTCONN);
  EXPECT_EQ(Ws().accept(s, nullptr, nullptr), INVALID_SOCKET);
  EXPECT_EQ(Error(), WSAEINVAL);
  ULONG on = 1;
  EXPECT_EQ(Ws().ioctlsocket(s, FIONBIO, &on), 0);
  Watch(s, FD_READ);
  ULONG off = 0;
  EXPECT_EQ(Ws().ioctlsocket(s, FIONBIO, &off), SOCKET_ERROR);  // notices keep it non-blocking
  EXPECT_EQ(Error(), WSAEINVAL);

  SOCKET client = INVALID_SOCKET;
  SOCKET server = INVALID_SOCKET;
  Pair(&client, &server);
  ASSERT_EQ(Ws().send(client, "abc", 3, 0), 3);
  ULONG waiting = 0;
  ASSERT_TRUE(PumpUntil([&] {
    Ws().ioctlsocket(server, FIONREAD, &waiting);
    return waiting == 3;
  }));
  sockaddr_in peer{};
  int len = sizeof peer;
  ASSERT_EQ(Ws().getpeername(server, reinterpret_cast<sockaddr*>(&peer), &len), 0);
  EXPECT_EQ(Ws().ntohs(peer.sin_port), PortOf(client));
  EXPECT_EQ(Ws().recv(server, buf, sizeof buf, 0), 3);  // blocking socket, data there
  ASSERT_EQ(Ws().shutdown(client, SD_SEND), 0);
  EXPECT_EQ(Ws().recv(server, buf, sizeof buf, 0), 0);
  EXPECT_EQ(Ws().send(client, "x", 1, 0), SOCKET_ERROR);
  EXPECT_EQ(Error(), WSAESHUTDOWN);
}

}  // namespace
