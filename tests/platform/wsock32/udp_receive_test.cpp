// What a datagram socket's receive buffer holds, and which ICMP errors its calls report.
#include <string>

#include "host_probe.h"
#include "wsock_fixture.h"

namespace {

class UdpReceive : public WinsockTest {
 protected:
  // Bound to loopback and non-blocking, so that a read of nothing returns at once.
  SOCKET Socket() {
    SOCKET s = Udp();
    ULONG on = 1;
    EXPECT_EQ(Ws().ioctlsocket(s, FIONBIO, &on), 0);
    return s;
  }
};

int SetInt(SOCKET s, int name, int value) {
  return Ws().setsockopt(s, SOL_SOCKET, name, reinterpret_cast<char*>(&value), sizeof value);
}

int GetInt(SOCKET s, int name) {
  int value = -7;
  int len = sizeof value;
  EXPECT_EQ(Ws().getsockopt(s, SOL_SOCKET, name, reinterpret_cast<char*>(&value), &len), 0);
  return value;
}

// Datagram i of a burst: NULs, with the index in its first two bytes.
std::string Datagram(int size, int i) {
  std::string d(static_cast<std::size_t>(size), '\0');
  d[0] = static_cast<char>(i & 0xFF);
  d[1] = static_cast<char>(i >> 8);
  return d;
}

TEST_F(UdpReceive, ABurstOfTheBuffersSizeInDataArrivesWhole) {
  struct Burst {
    int size;
    int count;
  };
  // Each burst is 2048 bytes of data, the control's default InBufferSize.
  const Burst bursts[] = {{16, 128}, {32, 64}, {100, 20}, {512, 4}, {2048, 1}};
  for (const Burst& b : bursts) {
    SCOPED_TRACE(std::to_string(b.count) + " datagrams of " + std::to_string(b.size));
    SOCKET rx = Socket();
    SOCKET tx = Socket();
    ASSERT_EQ(SetInt(rx, SO_RCVBUF, 2048), 0);
    for (int i = 0; i < b.count; ++i) SendTo(tx, PortOf(rx), Datagram(b.size, i));
    ASSERT_TRUE(WaitReadable(rx));
    int got = 0;
    int err = 0;
    std::string d;
    while ((err = ReadOne(rx, &d, nullptr, 4096)) == 0) {
      EXPECT_EQ(d, Datagram(b.size, got));
      ++got;
    }
    EXPECT_EQ(err, WSAEWOULDBLOCK);
    EXPECT_EQ(got, b.count);
  }
}

TEST_F(UdpReceive, BufferSizesReadBackAsSet) {
  // Linux grants its own minimum, double, or at most its system limit; Winsock reads back
  // what was set.
  const int sizes[] = {0, 1, 2048, 24576, 10'000'000};
  for (int name : {SO_RCVBUF, SO_SNDBUF}) {
    for (int size : sizes) {
      SCOPED_TRACE((name == SO_RCVBUF ? "receive " : "send ") + std::to_string(size));
      SOCKET s = Udp();
      ASSERT_EQ(SetInt(s, name, size), 0);
      EXPECT_EQ(GetInt(s, name), size);
    }
  }
}

struct IcmpCase {
  const char* what;
  int type;
  int code;
  unsigned short mtu;
  bool reported;  // as WSAECONNRESET
};

const IcmpCase kIcmpCases[] = {
    {"net unreachable", 3, 0, 0, false},
    {"host unreachable", 3, 1, 0, false},
    {"protocol unreachable", 3, 2, 0, false},
    {"port unreachable", 3, 3, 0, true},
    // An MTU above any IP datagram's size: the path MTU the kernel notes for loopback is no limit.
    {"fragmentation needed", 3, 4, 65535, false},
    {"administratively prohibited", 3, 13, 0, false},
    {"TTL exceeded", 11, 0, 0, false},
    {"parameter problem", 12, 0, 0, false},
};

TEST_F(UdpReceive, OnlyPortUnreachableIsReportedToTheNextReceive) {
  for (const IcmpCase& c : kIcmpCases) {
    SCOPED_TRACE(c.what);
    SOCKET s = Socket();
    SOCKET peer = Socket();
    Watch(s, FD_READ);
    notices_.clear();
    if (!InjectIcmpError(PortOf(s), PortOf(peer), c.type, c.code, c.mtu)) {
      GTEST_SKIP() << "no raw socket: ICMP errors cannot be made on loopback here";
    }
    ASSERT_TRUE(PumpUntil([this] { return NoticesOf(FD_READ).size() == 1; }));
    std::string d;
    EXPECT_EQ(ReadOne(s, &d), c.reported ? WSAECONNRESET : WSAEWOULDBLOCK);
    EXPECT_EQ(ReadOne(s, &d), WSAEWOULDBLOCK);
    // The notices go on: the next datagram is noticed and read.
    SendTo(peer, PortOf(s), "back");
    ASSERT_TRUE(PumpUntil([this] { return NoticesOf(FD_READ).size() == 2; }));
    ASSERT_EQ(ReadOne(s, &d), 0);
    EXPECT_EQ(d, "back");
  }
}

TEST_F(UdpReceive, AnIcmpErrorDoesNotStopTheNextSend) {
  for (const IcmpCase& c : kIcmpCases) {
    SCOPED_TRACE(c.what);
    SOCKET s = Socket();
    SOCKET peer = Socket();
    if (!InjectIcmpError(PortOf(s), PortOf(peer), c.type, c.code, c.mtu)) {
      GTEST_SKIP() << "no raw socket: ICMP errors cannot be made on loopback here";
    }
    ASSERT_TRUE(WaitReadable(s));
    SendTo(s, PortOf(peer), "out");
    std::string d;
    ASSERT_TRUE(WaitReadable(peer));
    ASSERT_EQ(ReadOne(peer, &d), 0);
    EXPECT_EQ(d, "out");
    SendTo(peer, PortOf(s), "back");
    // The send took the error off the socket; a port unreachable is still owed to a receive.
    if (c.reported) {
      EXPECT_EQ(ReadOne(s, &d), WSAECONNRESET);
    }
    ASSERT_TRUE(WaitReadable(s));
    ASSERT_EQ(ReadOne(s, &d), 0);
    EXPECT_EQ(d, "back");
    EXPECT_EQ(ReadOne(s, &d), WSAEWOULDBLOCK);
    WS_fd_set set{};
    WS_FD_ZERO(&set);
    WS_FD_SET(s, &set);
    WS_timeval now{0, 0};
    EXPECT_EQ(Ws().select(0, &set, nullptr, nullptr, &now), 0);  // nothing left queued
  }
}

}  // namespace
