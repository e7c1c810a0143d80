#include "controls/winsock.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "forms/runtime_error.h"
#include "queue_pump.h"
#include "support/loopback_peers.h"

using namespace std::chrono_literals;
using controls::Winsock;

namespace {

// What a host of the control sees: its events in order, as text.
struct Recorder {
  std::vector<std::string> events;
  std::vector<std::string> data;

  void Attach(Winsock& w, bool read_on_arrival = true) {
    w.OnConnect = [this, &w] { events.push_back("Connect state " + std::to_string(w.State())); };
    w.OnClose = [this, &w] { events.push_back("Close state " + std::to_string(w.State())); };
    w.OnError = [this](int number, const std::string& text) {
      events.push_back("Error " + std::to_string(number) + " " + text);
    };
    w.OnDataArrival = [this, &w, read_on_arrival](long bytes) {
      events.push_back("DataArrival " + std::to_string(bytes));
      if (read_on_arrival) data.push_back(w.GetData());
    };
  }
};

std::vector<std::uint8_t> SntpRequest() {
  std::vector<std::uint8_t> r(48, 0);
  r[0] = 0x0B;
  return r;
}

int ErrorNumberOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const forms::RuntimeError& e) {
    EXPECT_EQ(e.Description(), controls::WinsockErrorText(e.Number()));
    return e.Number();
  }
  return 0;
}

TEST(WinsockUdp, RequestReachesThePeerAndEachReplyArrivesOnce) {
  testsupport::UdpResponder peer([](const std::string&) { return std::string("\xE9t\xE9 12:00\r\n"); });
  Winsock w;
  Recorder r;
  r.Attach(w);
  w.SetProtocol(controls::sckUDPProtocol);
  w.SetRemoteHost("127.0.0.1");
  w.SetRemotePort(peer.port());
  for (int round = 0; round < 2; ++round) {
    w.SendData(SntpRequest());
    EXPECT_EQ(w.State(), controls::sckOpen);
    EXPECT_NE(w.LocalPort(), 0);
    ASSERT_TRUE(PumpUntil([&] { return r.data.size() == static_cast<std::size_t>(round + 1); }, 5s));
    w.Close();  // the next round opens a new socket: notices of the old one must not leak in
    EXPECT_EQ(w.State(), controls::sckClosed);
  }
  PumpFor(100ms);
  // Bytes in the ANSI code page (1252) arrive as UTF-8 text.
  EXPECT_EQ(r.data, (std::vector<std::string>{"\u00e9t\u00e9 12:00\r\n", "\u00e9t\u00e9 12:00\r\n"}));
  EXPECT_EQ(r.events, (std::vector<std::string>{"DataArrival 11", "DataArrival 11"}));
  ASSERT_EQ(peer.requests().size(), 2u);
  EXPECT_EQ(peer.requests()[0], std::string("\x0B", 1) + std::string(47, '\0'));
}

TEST(WinsockUdp, DatagramsStayApartAndTextIsSentInTheAnsiCodePage) {
  testsupport::UdpResponder peer([](const std::string& q) { return "echo:" + q; });
  Winsock w;
  Recorder r;
  r.Attach(w, false);
  w.SetProtocol(controls::sckUDPProtocol);
  w.SetRemoteHost("localhost");
  w.SetRemotePort(peer.port());
  w.SendData(std::string("caf\u00e9"));
  ASSERT_TRUE(PumpUntil([&] { return r.events.size() == 1; }, 5s));
  w.SendData(std::string("two"));
  ASSERT_TRUE(PumpUntil([&] { return r.events.size() == 2; }, 5s));
  EXPECT_EQ(w.BytesReceived(), 9);  // the first datagram, not both
  EXPECT_EQ(w.GetData(), "echo:caf\u00e9");
  EXPECT_EQ(w.GetData(), "echo:two");
  EXPECT_EQ(w.GetData(), "");
  EXPECT_EQ(peer.requests().front(), "caf\xE9");
  // A character 1252 cannot hold is refused, never sent altered.
  EXPECT_EQ(ErrorNumberOf([&] { w.SendData(std::string("\u65e5")); }), 40014);
  EXPECT_EQ(peer.requests().size(), 2u);
}

TEST(WinsockUdp, SilentAndClosedPorts) {
  testsupport::UdpResponder silent([](const std::string&) { return std::string(); });
  struct Case {
    const char* name;
    int port;
    std::vector<std::string> events;
  } cases[] = {
      {"silent", silent.port(), {}},
      {"closed", testsupport::ClosedUdpPort(), {"Error 10054 The connection is reset by remote side"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Winsock w;
    Recorder r;
    r.Attach(w);
    w.SetProtocol(controls::sckUDPProtocol);
    w.SetRemoteHost("127.0.0.1");
    w.SetRemotePort(c.port);
    w.SendData(SntpRequest());
    PumpFor(300ms);
    EXPECT_EQ(r.events, c.events);
    EXPECT_EQ(w.State(), controls::sckOpen);
  }
  EXPECT_EQ(silent.requests().size(), 1u);
}

TEST(WinsockTcp, DaytimeAnswerThenPeerCloses) {
  testsupport::DaytimeServer daytime;
  Winsock w;
  Recorder r;
  r.Attach(w);
  w.Connect("localhost", daytime.port());
  EXPECT_EQ(w.State(), controls::sckResolvingHost);
  ASSERT_TRUE(PumpUntil([&] { return w.State() == controls::sckClosing; }, 5s));
  EXPECT_EQ(r.events, (std::vector<std::string>{
                          "Connect state 7",
                          "DataArrival " + std::to_string(daytime.line().size()),
                          "Close state 8"}));
  EXPECT_EQ(r.data, std::vector<std::string>{daytime.line()});
  w.Close();
  EXPECT_EQ(w.State(), controls::sckClosed);
  // Closed once more and reconnected: the same control serves the next test.
  w.Connect("127.0.0.1", daytime.port());
  ASSERT_TRUE(PumpUntil([&] { return r.data.size() == 2; }, 5s));
  EXPECT_EQ(daytime.connections(), 2);
}

TEST(WinsockTcp, ClosedInsideDataArrivalHearsNoMore) {
  testsupport::DaytimeServer daytime;
  Winsock w;
  std::vector<std::string> events;
  w.OnDataArrival = [&](long) {
    events.push_back("DataArrival " + w.GetData());
    while (w.State() != controls::sckClosed) w.Close();
  };
  w.OnClose = [&] { events.push_back("Close"); };
  w.OnConnect = [&] { events.push_back("Connect"); };
  w.Connect("127.0.0.1", daytime.port());
  ASSERT_TRUE(PumpUntil([&] { return events.size() == 2; }, 5s));
  PumpFor(200ms);
  EXPECT_EQ(events, (std::vector<std::string>{"Connect", "DataArrival " + daytime.line()}));
}

TEST(WinsockTcp, DestroyedInsideItsOwnEvent) {
  testsupport::DaytimeServer daytime;
  auto w = std::make_unique<Winsock>();
  int arrivals = 0;
  w->OnDataArrival = [&](long) {
    ++arrivals;
    w.reset();
  };
  w->Connect("127.0.0.1", daytime.port());
  EXPECT_TRUE(PumpUntil([&] { return w == nullptr; }, 5s));
  PumpFor(100ms);
  EXPECT_EQ(arrivals, 1);
}

TEST(WinsockTcp, ConnectionFailuresArriveAsErrorEvents) {
  testsupport::RefusedPort refused;
  struct Case {
    std::string host;
    int port;
    std::string error;
  } cases[] = {
      {"127.0.0.1", refused.port(), "Error 10061 Connection is forcefully rejected"},
      {std::string(64, 'a') + ".invalid", 13, "Error 11001 Authoritative answer: Host not found"},
      {"no such host", 13, "Error 11001 Authoritative answer: Host not found"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.host);
    Winsock w;
    Recorder r;
    r.Attach(w);
    w.Connect(c.host, c.port);
    ASSERT_TRUE(PumpUntil([&] { return !r.events.empty(); }, 5s));
    EXPECT_EQ(r.events, std::vector<std::string>{c.error});
    EXPECT_EQ(w.State(), controls::sckError);
    w.Close();
    EXPECT_EQ(w.State(), controls::sckClosed);
  }
}

TEST(Winsock, MethodsRefusedInTheWrongStateOrWithBadValues) {
  testsupport::DaytimeServer daytime;
  Winsock connected;
  connected.Connect("127.0.0.1", daytime.port());
  ASSERT_TRUE(PumpUntil([&] { return connected.State() != controls::sckResolvingHost; }, 5s));
  Winsock udp;
  udp.SetProtocol(controls::sckUDPProtocol);
  Winsock tcp;
  struct Case {
    const char* what;
    std::function<void()> call;
    int number;
  } cases[] = {
      {"connect twice", [&] { connected.Connect(); }, 40006},
      {"protocol while open", [&] { connected.SetProtocol(controls::sckUDPProtocol); }, 40020},
      {"unknown protocol", [&] { tcp.SetProtocol(2); }, 380},
      {"port above 65535", [&] { tcp.SetRemotePort(65536); }, 380},
      {"negative port", [&] { tcp.SetRemotePort(-1); }, 380},
      {"send on a closed stream", [&] { tcp.SendData(std::string("x")); }, 40006},
      {"connect a datagram port", [&] { udp.Connect("127.0.0.1", 13); }, 40026},
      {"send to a name that cannot exist", [&] {
         udp.SetRemoteHost("no such host");
         udp.SendData(std::string("x"));
       }, 11001},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(ErrorNumberOf(c.call), c.number);
  }
  EXPECT_EQ(tcp.RemotePort(), 0);
  EXPECT_EQ(tcp.Protocol(), controls::sckTCPProtocol);
}

}  // namespace
