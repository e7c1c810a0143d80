#include <arpa/inet.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "meter_sim.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// meter-sim started on 127.0.0.1 with a free port, stopped by its process id.
class Simulator {
 public:
  explicit Simulator(std::vector<std::string> args) {
    args.insert(args.begin(), {METER_SIM_PATH, "--address", "127.0.0.1", "--port", "0",
                               "--duration", "30"});
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(out[1], 1);
      std::vector<char*> argv;
      for (auto& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      execv(argv[0], argv.data());
      _exit(127);
    }
    close(out[1]);
    out_ = out[0];
    const std::string first = ReadUntil("\n", milliseconds(5000));
    const auto colon = first.rfind(':');
    if (first.rfind("meter-sim listening on 127.0.0.1:", 0) == 0 && colon != std::string::npos) {
      port_ = static_cast<uint16_t>(std::stoi(first.substr(colon + 1)));
    }
  }
  ~Simulator() { Finish(); }
  uint16_t port() const { return port_; }
  // Stops it and returns what it printed after the first line.
  std::string Finish() {
    if (pid_ <= 0) return {};
    kill(pid_, SIGTERM);
    std::string rest = ReadUntil("lines\n", milliseconds(5000));
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
    close(out_);
    return rest;
  }

 private:
  std::string ReadUntil(const std::string& end, milliseconds limit) {
    std::string text;
    const auto deadline = Clock::now() + limit;
    while (text.find(end) == std::string::npos && Clock::now() < deadline) {
      pollfd p{out_, POLLIN, 0};
      if (poll(&p, 1, 100) <= 0) continue;
      char c;
      if (read(out_, &c, 1) != 1) break;
      text += c;
    }
    return text;
  }
  pid_t pid_ = -1;
  int out_ = -1;
  uint16_t port_ = 0;
};

// A technician's end: a UDP socket on 127.0.0.1 that sends requests and collects answers.
class Client {
 public:
  Client() {
    fd_ = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    int big = 4 << 20;
    setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &big, sizeof big);
  }
  ~Client() { close(fd_); }
  void Send(uint16_t port, const std::string& text) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    sendto(fd_, text.data(), text.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
  }
  // Datagrams until `quiet` passes without one, or `limit` in all.
  std::vector<std::string> Receive(milliseconds quiet, milliseconds limit = milliseconds(10000)) {
    std::vector<std::string> got;
    const auto deadline = Clock::now() + limit;
    while (Clock::now() < deadline) {
      pollfd p{fd_, POLLIN, 0};
      if (poll(&p, 1, static_cast<int>(quiet.count())) <= 0) break;
      char buf[65536];
      ssize_t n = recv(fd_, buf, sizeof buf, 0);
      if (n >= 0) got.emplace_back(buf, static_cast<std::size_t>(n));
    }
    return got;
  }

 private:
  int fd_ = -1;
};

std::string Lines(int first, int count, const char* end = "\n") {
  std::string s;
  for (int i = first; i < first + count; ++i) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "Mv900 trace %06d", i);
    s += std::string(buf) + end;
  }
  return s;
}

TEST(MeterSim, AnswersSendDataWithTraceLines) {
  const std::string big = metersim::BigDatagram(false);
  struct Case {
    std::vector<std::string> args;
    std::vector<std::string> requests;
    std::vector<std::string> expected;
    std::string summary;
  } cases[] = {
      {{}, {"SendData", "SendData"}, {Lines(1, 3), Lines(4, 3)}, "2 requests, 2 datagrams, 6 lines"},
      {{"--crlf", "--count", "2", "--per-datagram", "1"},
       {"SendData"},
       {Lines(1, 1, "\r\n"), Lines(2, 1, "\r\n")},
       "1 requests, 2 datagrams, 2 lines"},
      {{"--count", "5", "--per-datagram", "2"}, {"SendData"}, {Lines(1, 2), Lines(3, 2), Lines(5, 1)},
       "1 requests, 3 datagrams, 5 lines"},
      {{"--big", "--count", "1"}, {"SendData"}, {big, Lines(1, 1)}, "1 requests, 2 datagrams"},
      {{"--silent"}, {"SendData"}, {}, "1 requests, 0 datagrams, 0 lines"},
      // Only the exact eight characters are a request.
      {{}, {"senddata", "SendData\n", "SendDat", ""}, {}, "0 requests, 0 datagrams, 0 lines"},
  };
  for (const Case& c : cases) {
    Simulator sim(c.args);
    ASSERT_NE(sim.port(), 0);
    Client client;
    std::vector<std::string> got;
    for (const std::string& r : c.requests) {
      client.Send(sim.port(), r);
      for (auto& d : client.Receive(milliseconds(300))) got.push_back(d);
    }
    EXPECT_EQ(got, c.expected) << c.args.size();
    EXPECT_NE(sim.Finish().find(c.summary), std::string::npos) << c.summary;
  }
  EXPECT_EQ(big.size(), metersim::kBigSize);
  EXPECT_GT(metersim::kBigSize, 2048u);
}

TEST(MeterSim, RateAndStreaming) {
  {
    Simulator sim({"--rate", "50", "--count", "10", "--per-datagram", "1"});
    Client client;
    const auto start = Clock::now();
    client.Send(sim.port(), "SendData");
    auto got = client.Receive(milliseconds(500));
    const auto took = Clock::now() - start;
    EXPECT_EQ(got.size(), 10u);
    // Nine gaps of 20 ms between ten datagrams.
    EXPECT_GE(took, milliseconds(170) + milliseconds(500));
  }
  {
    Simulator sim({"--stream", "0.5", "--per-datagram", "4"});
    Client client;
    client.Send(sim.port(), "SendData");
    auto got = client.Receive(milliseconds(400), milliseconds(5000));
    ASSERT_GT(got.size(), 10u);
    // Contiguous numbering: nothing skipped by the simulator (the socket may still drop).
    EXPECT_EQ(got.front(), Lines(1, 4));
    EXPECT_EQ(got[1], Lines(5, 4));
  }
}

TEST(MeterSim, CommandLine) {
  struct Case {
    std::vector<std::string> args;
    bool ok;
  } cases[] = {
      {{}, true},
      {{"--port", "65535", "--rate", "0.5", "--crlf", "--big", "--silent"}, true},
      {{"--port", "65536"}, false},
      {{"--port", "-1"}, false},
      {{"--count", "x"}, false},
      {{"--rate", "-3"}, false},
      {{"--count"}, false},
      {{"--colour", "red"}, false},
  };
  for (const Case& c : cases) {
    const metersim::Parsed p = metersim::ParseOptions(c.args);
    EXPECT_EQ(p.options.has_value(), c.ok) << (c.args.empty() ? "" : c.args[0]);
    EXPECT_EQ(p.error.empty(), c.ok);
  }
  const metersim::Options defaults = *metersim::ParseOptions({}).options;
  EXPECT_EQ(defaults.address, "127.0.0.1");
  EXPECT_EQ(defaults.port, 12345);

  Simulator refused({"--address", "meter.example"});  // names are never looked up
  EXPECT_EQ(refused.port(), 0);
}

}  // namespace
