#include "comms/test_logic.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <netinet/in.h>
#include <unistd.h>

#include <map>
#include <memory>
#include <regex>

#include "fake_test_view.h"
#include "ftp_server.h"
#include "support/loopback_peers.h"
#include "ntp_server.h"

using namespace std::chrono_literals;
using Lamp = comms::Test;

namespace {

int FreeUdpPort() { return testsupport::ClosedUdpPort(); }

// A window with its logic, every default replaced by loopback peers before anything runs.
struct Window {
  FakeTestView view;
  comms::TestLogic logic;

  explicit Window(comms::TestPorts ports, std::chrono::milliseconds watchdog = 1500ms)
      : view(watchdog), logic(view, ports) {
    view.Attach(&logic);
    logic.Form_Load();
    view.sntp_server = "127.0.0.1";
    view.daytime_server = "127.0.0.1";
    view.ftp_server = "";
    view.ftp_user = "";
    view.ftp_password = "";
  }
};

// The label's texts, each as one letter, so that their order reads as a pattern.
std::string Letters(const std::vector<std::string>& texts) {
  static const std::map<std::string, char> letter{
      {"Looking up IP address of host computer", 'L'},
      {"IP address found", 'F'},
      {"Connecting to host computer", 'C'},
      {"Connected", 'K'},
      {"Sending a request to host computer", 'S'},
      {"Request sent", 's'},
      {"Receiving a response from host computer", 'R'},
      {"Response received", 'r'},
      {"Disconnecting from host computer", 'D'},
      {"Disconnected", 'd'},
      {"Request completed", 'Z'},
  };
  std::string out;
  for (const std::string& t : texts) {
    auto it = letter.find(t);
    out += it != letter.end() ? std::string(1, it->second) : "[" + t + "]";
  }
  return out;
}

TEST(CommsTestLogic, LoadsItsDefaults) {
  FakeTestView view;
  comms::TestLogic logic(view);
  logic.Form_Load();
  EXPECT_EQ(view.sntp_list.size(), 10u);
  EXPECT_EQ(view.daytime_list.size(), 7u);
  EXPECT_EQ(view.sntp_server, view.sntp_list.front());
  EXPECT_EQ(view.daytime_server, view.daytime_list.front());
  EXPECT_FALSE(view.ftp_server.empty());
  EXPECT_FALSE(view.ftp_user.empty());
  EXPECT_EQ(view.ftp_status, std::vector<std::string>{"Click Test to Execute..."});
  EXPECT_FALSE(logic.FtpConnected());
  EXPECT_FALSE(view.watchdog);
}

TEST(CommsTestLogic, SntpAnswersTurnTheLampGreenAndSilenceWaitsForTheWatchdog) {
  const int chrony_port = FreeUdpPort();
  testsupport::NtpServer chrony({chrony_port, 10});
  testsupport::UdpResponder any_datagram([](const std::string&) { return std::string("hello"); });
  testsupport::UdpResponder silent([](const std::string&) { return std::string(); });
  struct Case {
    const char* name;
    int port;
    std::string host;
    int lamp;
    std::string verdict;  // a pattern
  } cases[] = {
      // chronyd serves this machine's own clock: no offset beyond what a loaded run adds.
      {"chrony", chrony_port, "127.0.0.1", comms::kLampGreen,
       R"(Synchronised: stratum 10, leap 0 \(no warning\), offset [+-]0\.\d\d\d s)"},
      {"any datagram, name typed", any_datagram.port(), "localhost", comms::kLampGreen,
       R"(Not a time reply \(5 bytes\))"},
      {"silent", silent.port(), "127.0.0.1", comms::kLampRed, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Window w({c.port, 13});
    w.view.sntp_server = c.host;  // not one of the list: used as typed
    w.logic.Cmd_SNTP_Click();
    EXPECT_FALSE(w.view.enabled[Lamp::Sntp]);
    EXPECT_TRUE(w.view.watchdog);
    EXPECT_EQ(w.view.lamps[Lamp::Sntp], comms::kLampRed);
    ASSERT_TRUE(w.view.PumpUntil([&] { return w.view.enabled[Lamp::Sntp]; }, 5s));
    EXPECT_EQ(w.view.lamps[Lamp::Sntp], c.lamp);
    EXPECT_TRUE(std::regex_match(w.view.verdict, std::regex(c.verdict))) << w.view.verdict;
    EXPECT_EQ(w.logic.WinSock.State(), controls::sckClosed);
    EXPECT_FALSE(w.view.watchdog);
    EXPECT_TRUE(w.view.AllEnabled());
    EXPECT_EQ(w.view.watchdog_fired, c.lamp == comms::kLampRed ? 1 : 0);
    EXPECT_TRUE(w.view.messages.empty());
  }
}

TEST(CommsTestLogic, DaytimeAnswersOrTellsTheSocketError) {
  testsupport::DaytimeServer daytime;
  testsupport::RefusedPort refused;
  struct Case {
    const char* name;
    std::string host;
    int port;
    int lamp;
    std::vector<std::string> messages;
  } cases[] = {
      {"answers", "127.0.0.1", daytime.port(), comms::kLampGreen, {}},
      {"refused", "127.0.0.1", refused.port(), comms::kLampRed,
       {"Winsock_1 Error: 10061\r\nConnection is forcefully rejected"}},
      {"no such host", "no such host", 13, comms::kLampRed,
       {"Winsock_1 Error: 11001\r\nAuthoritative answer: Host not found"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Window w({123, c.port});
    w.view.daytime_server = c.host;
    w.view.enable_log.clear();
    w.logic.Cmd_DayTime_Click();
    ASSERT_FALSE(w.view.enable_log.empty());
    EXPECT_EQ(w.view.enable_log.front(), std::make_pair(Lamp::DayTime, false));
    ASSERT_TRUE(w.view.PumpUntil([&] { return w.view.enabled[Lamp::DayTime]; }, 5s));
    EXPECT_EQ(w.view.lamps[Lamp::DayTime], c.lamp);
    EXPECT_EQ(w.logic.Winsock1.State(), controls::sckClosed);
    std::vector<std::string> shown;
    for (const forms::Message& m : w.view.messages) {
      EXPECT_EQ(m.buttons, forms::vbInformation);
      EXPECT_EQ(m.title, "");
      shown.push_back(m.prompt);
    }
    EXPECT_EQ(shown, c.messages);
    // An error does not end the test: only the watchdog does.
    EXPECT_EQ(w.view.watchdog_fired, c.messages.empty() ? 0 : 1);
  }
  EXPECT_EQ(daytime.connections(), 1);
}

TEST(CommsTestLogic, FtpLogOnListsAndQuitsWithTheStateTextsInOrder) {
  test_support::FtpServer server;
  Window w({123, 13}, 10s);
  w.view.ftp_server = server.host();
  w.view.ftp_user = "meter";
  w.view.ftp_password = "secret";
  w.view.ftp_status.clear();
  w.logic.Cmd_FTP_Click();  // runs the whole exchange, events included
  EXPECT_EQ(w.view.lamps[Lamp::Ftp], comms::kLampGreen);
  EXPECT_TRUE(w.view.enabled[Lamp::Ftp]);
  EXPECT_FALSE(w.view.watchdog);
  EXPECT_FALSE(w.logic.Inet1.StillExecuting());
  const std::string order = Letters(w.view.ftp_status);
  // Look-up, connection and greeting; each command with its replies; the listing completed;
  // then QUIT, its reply, and the end of the connection.
  EXPECT_TRUE(std::regex_match(order, std::regex("LFCKRr(Ss(Rr)+)+Z" "SsRrDdZ"))) << order;
  EXPECT_FALSE(w.logic.FtpConnected());
}

TEST(CommsTestLogic, FtpRefusedLogOnLocksTheButtonsUntilTheWatchdog) {
  test_support::FtpServer server;
  Window w({123, 13}, 1500ms);
  w.view.ftp_server = server.host();
  w.view.ftp_user = "meter";
  w.view.ftp_password = "wrong";
  auto start = std::chrono::steady_clock::now();
  w.logic.Cmd_FTP_Click();
  ASSERT_FALSE(w.view.ftp_status.empty());
  EXPECT_EQ(w.view.ftp_status.back(), "Error 530 Authentication failed.");
  EXPECT_EQ(w.view.lamps[Lamp::Ftp], comms::kLampRed);
  if (w.view.watchdog_fired == 0) {
    EXPECT_TRUE(w.view.NoneEnabled());
    EXPECT_TRUE(w.view.watchdog);
  }
  ASSERT_TRUE(w.view.PumpUntil([&] { return w.view.AllEnabled(); }, 5s));
  EXPECT_EQ(w.view.watchdog_fired, 1);
  EXPECT_GE(std::chrono::steady_clock::now() - start, 1400ms);
  EXPECT_EQ(w.view.lamps[Lamp::Ftp], comms::kLampRed);
}

TEST(CommsTestLogic, UnloadDuringATestClosesBothSockets) {
  testsupport::UdpResponder silent([](const std::string&) { return std::string(); });
  testsupport::DaytimeServer daytime;
  Window w({silent.port(), daytime.port()});
  w.logic.Cmd_SNTP_Click();
  w.logic.Winsock1.Connect("127.0.0.1", daytime.port());
  EXPECT_NE(w.logic.WinSock.State(), controls::sckClosed);
  EXPECT_NE(w.logic.Winsock1.State(), controls::sckClosed);
  w.logic.Form_Unload();
  EXPECT_EQ(w.logic.WinSock.State(), controls::sckClosed);
  EXPECT_EQ(w.logic.Winsock1.State(), controls::sckClosed);
  EXPECT_TRUE(w.view.NoneEnabled());
}

}  // namespace
