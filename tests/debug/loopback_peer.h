// The meter's end of the debug trail for the tests: a UDP socket on 127.0.0.1.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace debugtest {

struct Datagram {
  std::string data;
  uint16_t port = 0;  // the sender's
};

class LoopbackPeer {
 public:
  // Binds 127.0.0.1:`port` (0: the system picks). A fixed port that another test holds is
  // retried for at most `patience_ms`; ok() tells whether the bind succeeded.
  explicit LoopbackPeer(uint16_t port = 0, int patience_ms = 0);
  ~LoopbackPeer();
  LoopbackPeer(const LoopbackPeer&) = delete;
  LoopbackPeer& operator=(const LoopbackPeer&) = delete;

  bool ok() const { return fd_ >= 0; }
  uint16_t port() const { return port_; }
  void SendTo(uint16_t port, const std::string& data) const;
  // At most `wait_ms` for one datagram.
  std::optional<Datagram> Receive(int wait_ms) const;

 private:
  int fd_ = -1;
  uint16_t port_ = 0;
};

// True when 127.0.0.1:`port` can be bound now (nothing listens there).
bool PortIsFree(uint16_t port);

}  // namespace debugtest
