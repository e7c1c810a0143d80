// Peers on 127.0.0.1 for the controls' tests, each serving from its own thread until it is
// destroyed: a daytime service, a UDP responder (or a silent port), a refused TCP port.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace peers {

// Port 0 takes one the system chooses.
class DaytimeServer {
 public:
  explicit DaytimeServer(int port = 0, std::string line = "Tuesday, December 8, 2026 10:25:49-UTC\r\n");
  ~DaytimeServer();
  int port() const { return port_; }
  const std::string& line() const { return line_; }
  int connections() const { return connections_; }

 private:
  void Serve();
  int fd_ = -1;
  int port_ = 0;
  std::string line_;
  std::atomic<int> connections_{0};
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// Answers each datagram with reply(request); an empty answer sends nothing (a silent port).
class UdpResponder {
 public:
  using Reply = std::function<std::string(const std::string& request)>;
  explicit UdpResponder(Reply reply, int port = 0);
  ~UdpResponder();
  int port() const { return port_; }
  std::vector<std::string> requests() const;

 private:
  void Serve();
  int fd_ = -1;
  int port_ = 0;
  Reply reply_;
  mutable std::mutex mu_;
  std::vector<std::string> requests_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// A TCP port bound on 127.0.0.1 without listening: connections to it are refused, and no one
// else can take it while it lives.
class RefusedPort {
 public:
  RefusedPort();
  ~RefusedPort();
  int port() const { return port_; }

 private:
  int fd_ = -1;
  int port_ = 0;
};

// A UDP port nobody holds: datagrams to it are answered with port unreachable.
int ClosedUdpPort();

}  // namespace peers

// Pumps the thread's message queue until done() or the time is up; true when done.
bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit);
// Pumps for the whole time given.
void PumpFor(std::chrono::milliseconds time);
