// The traffic side of the datagram benchmark, on plain BSD sockets: a sender that keeps
// a bounded number of datagrams in flight, and the raw poll + recvfrom receiver that the
// engine is measured against.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <thread>

namespace bench {

struct Run {
  double seconds = 0;
  uint64_t received = 0;
};

// Sends `count` datagrams of `size` bytes to 127.0.0.1:port, never more than `window`
// ahead of what the receiver has counted, so a healthy receiver loses nothing.
class Sender {
 public:
  Sender(uint16_t port, size_t size, uint64_t count, const std::atomic<uint64_t>& received);
  ~Sender();
  Sender(const Sender&) = delete;
  Sender& operator=(const Sender&) = delete;

 private:
  void Loop(uint16_t port, size_t size, uint64_t count);

  const std::atomic<uint64_t>& received_;
  std::thread thread_;
};

inline constexpr uint64_t kWindow = 32;
// Both receivers ask for the same socket receive buffer, so neither drops for want of room.
inline constexpr int kReceiveBuffer = 65536;

Run RawReceive(size_t size, uint64_t count);

// Receiver-limited: batches of `batch` datagrams are put in the receiver's queue first, then
// drained; only the draining is timed. Payloads start with "seq:" and a 10-digit number.
inline constexpr int kDrainBuffer = 1 << 20;  // the kernel caps it at its rmem_max
class BatchSender {
 public:
  BatchSender();
  ~BatchSender();
  BatchSender(const BatchSender&) = delete;
  BatchSender& operator=(const BatchSender&) = delete;
  void Send(uint16_t port, size_t size, uint64_t first, uint64_t count);

 private:
  int fd_;
};
Run RawDrain(size_t size, uint64_t count, uint64_t batch);

}  // namespace bench
