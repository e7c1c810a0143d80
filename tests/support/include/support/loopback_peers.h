// Peers on 127.0.0.1 for the tests that need the other end of a socket: a plain UDP socket the
// test drives itself, and servers that answer from a thread of their own until destroyed (a
// daytime service, a UDP responder or silent port, a refused TCP port). Plain BSD sockets,
// kept apart from the Winsock declarations, which reuse the host's socket type names.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

struct Datagram {
  std::string data;
  uint16_t port = 0;  // the sender's
};

class UdpPeer {
 public:
  // Binds 127.0.0.1:`port` (0: the system picks). A fixed port another run holds is retried
  // for at most `patience`; ok() tells whether the bind succeeded.
  explicit UdpPeer(uint16_t port = 0,
                   std::chrono::milliseconds patience = std::chrono::milliseconds(0));
  ~UdpPeer();
  UdpPeer(const UdpPeer&) = delete;
  UdpPeer& operator=(const UdpPeer&) = delete;

  bool ok() const { return fd_ >= 0; }
  uint16_t port() const { return port_; }
  // Throws std::runtime_error when the datagram does not leave whole.
  void SendTo(uint16_t port, const std::string& data) const;
  // Waits at most `wait` for one datagram.
  std::optional<Datagram> Receive(std::chrono::milliseconds wait) const;
  void Close();

 private:
  int fd_ = -1;
  uint16_t port_ = 0;
};

// A UDP port on 127.0.0.1 that nobody holds: datagrams to it come back port unreachable.
uint16_t ClosedUdpPort();
// True when 127.0.0.1:`port` can be bound for UDP now.
bool PortIsFree(uint16_t port);

// Port 0 takes one the system chooses.
class DaytimeServer {
 public:
  explicit DaytimeServer(int port = 0,
                         std::string line = "Tuesday, December 8, 2026 10:25:49-UTC\r\n");
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

}  // namespace testsupport
