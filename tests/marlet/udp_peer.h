// A plain BSD UDP socket on 127.0.0.1 for the other end of engine tests. Kept apart from
// the Winsock declarations, which reuse the host's socket type names.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace marlet_test {

struct Received {
  std::string data;
  uint16_t port;
};

class UdpPeer {
 public:
  // Binds 127.0.0.1 on a port the system chooses.
  UdpPeer();
  ~UdpPeer();
  UdpPeer(const UdpPeer&) = delete;
  UdpPeer& operator=(const UdpPeer&) = delete;

  uint16_t port() const { return port_; }
  void SendTo(uint16_t port, const std::string& data) const;
  // Waits at most `wait` for one datagram.
  std::optional<Received> Receive(std::chrono::milliseconds wait) const;
  void Close();

 private:
  int fd_ = -1;
  uint16_t port_ = 0;
};

// A port on 127.0.0.1 that nothing listens on: bound once, then closed.
uint16_t ClosedPort();

}  // namespace marlet_test
