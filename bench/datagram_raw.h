// The host side of the datagram benchmark: the sender, and the raw poll + recvfrom receiver
// that the library is measured against. Apart from the library's side because the host's
// socket headers and winsock.h cannot meet.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>

namespace bench {

using Clock = std::chrono::steady_clock;

// The receiver counts what arrived; the sender stays at most `window` datagrams ahead of it,
// so that neither side loses datagrams to a full receive buffer and both measure delivery.
struct Flow {
  long total = 0;
  long window = 0;
  std::atomic<long> received{0};
  std::atomic<bool> stop{false};
};

void SendAll(std::uint16_t port, std::size_t payload, Flow& flow);

// A UDP socket on 127.0.0.1 with the given receive buffer (SO_RCVBUF); its port.
int OpenRaw(int rcvbuf, std::uint16_t* port);
void ReceiveRaw(int fd, std::size_t bufsize, Flow& flow, Clock::time_point deadline);
void CloseRaw(int fd);

}  // namespace bench
