#include "controls/inet.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "forms/runtime_error.h"
#include "ftp_server.h"
#include "queue_pump.h"
#include "support/loopback_peers.h"

using namespace std::chrono_literals;
using controls::Inet;

namespace {

struct Outcome {
  std::vector<int> states;
  long code = 0;
  std::string info;
};

// Executes one operation and pumps until the control no longer executes.
Outcome Execute(Inet& inet, const std::string& operation, std::chrono::milliseconds limit = 10s) {
  Outcome run;
  inet.OnStateChanged = [&](int state) {
    run.states.push_back(state);
    // What the control says when the state changes is what a host can read then.
    if (state == controls::icError) {
      run.code = inet.ResponseCode();
      run.info = inet.ResponseInfo();
    }
  };
  inet.Execute("", operation);
  EXPECT_TRUE(inet.StillExecuting());
  EXPECT_TRUE(PumpUntil([&] { return !inet.StillExecuting(); }, limit)) << operation;
  inet.OnStateChanged = nullptr;
  return run;
}

std::string Text(const std::vector<int>& states) {
  std::string out;
  for (int s : states) out += std::to_string(s) + " ";
  return out;
}

TEST(Inet, ListsThenQuitsWithTheStatesOfTheExchange) {
  test_support::FtpServer server;
  std::ofstream(server.root() / "setup_1000000012345678.txt") << "x";
  Inet inet;
  inet.SetURL(server.host());
  inet.SetUserName("meter");
  inet.SetPassword("secret");
  inet.SetRequestTimeout(10);
  Outcome dir = Execute(inet, "DIR");
  // Look-up, connection, the greeting; then each command with its replies (LIST has two),
  // and the end.
  EXPECT_TRUE(std::regex_match(Text(dir.states), std::regex("1 2 3 4 7 8 (5 6 (7 8 )+)+12 ")))
      << Text(dir.states);
  // USER, PASS, PWD, EPSV, TYPE, LIST at least.
  EXPECT_GE(std::count(dir.states.begin(), dir.states.end(), 5), 6);
  std::string listing;
  for (std::string part; !(part = inet.GetChunk(7)).empty();) listing += part;
  EXPECT_NE(listing.find("setup_1000000012345678.txt"), std::string::npos) << listing;

  // The session stays logged on: a second listing needs no new connection.
  Outcome again = Execute(inet, "DIR");
  EXPECT_TRUE(std::regex_match(Text(again.states), std::regex("(5 6 (7 8 )+)+12 ")))
      << Text(again.states);

  Outcome quit = Execute(inet, "QUIT");
  EXPECT_EQ(quit.states, (std::vector<int>{5, 6, 7, 8, 9, 10, 12}));
}

TEST(Inet, FailuresEndInTheErrorStateWithCodeAndText) {
  test_support::FtpServer server;
  testsupport::RefusedPort refused;
  struct Case {
    std::string url;
    std::string password;
    long code;
    std::string info;
    std::vector<int> head;  // the states up to the first reply, when there is one
  } cases[] = {
      {server.host(), "wrong", 530, "Authentication failed.", {1, 2, 3, 4, 7, 8}},
      {"127.0.0.1:" + std::to_string(refused.port()), "secret", 12029,
       "A connection with the server could not be established", {1, 2, 3, 11}},
      {std::string(64, 'a') + ".invalid", "secret", 12007,
       "The server name or address could not be resolved", {1, 11}},
      {"no such host", "secret", 12007, "The server name or address could not be resolved",
       {1, 11}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.url);
    Inet inet;
    inet.SetURL(c.url);
    inet.SetUserName("meter");
    inet.SetPassword(c.password);
    inet.SetRequestTimeout(10);
    Outcome run = Execute(inet, "DIR");
    EXPECT_EQ(run.code, c.code);
    EXPECT_EQ(run.info, c.info);
    ASSERT_GE(run.states.size(), c.head.size());
    EXPECT_EQ(std::vector<int>(run.states.begin(), run.states.begin() + c.head.size()), c.head);
    if (c.code == 530) {
      // A refused log-on closes the connection before the error is told.
      EXPECT_EQ(std::vector<int>(run.states.end() - 3, run.states.end()),
                (std::vector<int>{9, 10, 11}));
    }
    EXPECT_EQ(run.states.back(), 11);
  }
}

TEST(Inet, ServerThatStopsAnsweringEndsWithinTheTimeOut) {
  test_support::FtpServer server;
  Inet inet;
  inet.SetURL(server.host());
  inet.SetUserName("meter");
  inet.SetPassword("secret");
  inet.SetRequestTimeout(1);
  server.Pause();
  auto start = std::chrono::steady_clock::now();
  Outcome run = Execute(inet, "DIR", 5s);
  server.Resume();
  EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
  EXPECT_EQ(run.code, 12002);
  EXPECT_EQ(run.info, "The operation timed out");
}

TEST(Inet, CancelEndsAtOnceAndSilently) {
  test_support::FtpServer server;
  Inet inet;
  inet.SetURL(server.host());
  inet.SetUserName("meter");
  inet.SetPassword("secret");
  inet.SetRequestTimeout(10);
  server.Pause();
  std::vector<int> states;
  inet.OnStateChanged = [&](int s) { states.push_back(s); };
  inet.Execute("", "DIR");
  PumpFor(200ms);
  auto start = std::chrono::steady_clock::now();
  inet.Cancel();
  EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
  EXPECT_FALSE(inet.StillExecuting());
  std::size_t seen = states.size();
  PumpFor(200ms);
  EXPECT_EQ(states.size(), seen);
  server.Resume();
  // A new operation after Cancel logs on afresh.
  Outcome run = Execute(inet, "DIR");
  EXPECT_EQ(run.states.front(), 1);
  EXPECT_EQ(run.states.back(), 12);
}

TEST(Inet, PropertiesAndRefusals) {
  Inet inet;
  struct UrlCase {
    std::string url;
    std::string host;
    long port;
    std::string user;
  } urls[] = {
      {"ftp.example.invalid", "ftp.example.invalid", 21, ""},
      {"127.0.0.1:2121", "127.0.0.1", 2121, ""},
      {"FTP://tech:pw@localhost:21/meters/a", "localhost", 21, "tech"},
  };
  for (const UrlCase& u : urls) {
    SCOPED_TRACE(u.url);
    inet.SetURL(u.url);
    EXPECT_EQ(inet.RemoteHost(), u.host);
    EXPECT_EQ(inet.RemotePort(), u.port);
    EXPECT_EQ(inet.Protocol(), controls::icFTP);
  }
  EXPECT_EQ(inet.UserName(), "tech");
  EXPECT_EQ(inet.URL(), "ftp://localhost/meters/a");
  auto number_of = [](const std::function<void()>& call) {
    try {
      call();
    } catch (const forms::RuntimeError& e) {
      return e.Number();
    }
    return 0;
  };
  struct Refusal {
    const char* what;
    std::function<void()> call;
    int number;
  } refusals[] = {
      {"port text", [&] { inet.SetURL("host:21x"); }, 35751},
      {"port too large", [&] { inet.SetURL("host:65536"); }, 35751},
      {"other scheme", [&] { inet.SetURL("http://host/"); }, 35751},
      {"unknown operation", [&] { inet.Execute("", "DELETE x"); }, 380},
      {"negative time-out", [&] { inet.SetRequestTimeout(-1); }, 380},
  };
  for (const Refusal& r : refusals) {
    SCOPED_TRACE(r.what);
    EXPECT_EQ(number_of(r.call), r.number);
  }
  EXPECT_FALSE(inet.StillExecuting());
  // Busy: a second Execute is refused while the first runs.
  inet.SetURL("no such host");
  inet.Execute("", "DIR");
  EXPECT_EQ(number_of([&] { inet.Execute("", "DIR"); }), 35764);
  EXPECT_TRUE(PumpUntil([&] { return !inet.StillExecuting(); }, 5s));
}

}  // namespace
