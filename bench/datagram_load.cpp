#include "datagram_load.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace bench {
namespace {

using Clock = std::chrono::steady_clock;

sockaddr_in Loopback(uint16_t port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return a;
}

}  // namespace

Sender::Sender(uint16_t port, size_t size, uint64_t count, const std::atomic<uint64_t>& received)
    : received_(received), thread_([=, this] { Loop(port, size, count); }) {}

Sender::~Sender() {
  thread_.join();
}

void Sender::Loop(uint16_t port, size_t size, uint64_t count) {
  const int fd = socket(AF_INET, SOCK_DGRAM, 0);
  const sockaddr_in to = Loopback(port);
  const std::vector<char> payload(size, 'd');
  for (uint64_t sent = 0; sent < count; ++sent) {
    // A datagram the receiver lost would stall the window for good: give up waiting
    // after a while, and let the count show the loss.
    const auto give_up = Clock::now() + std::chrono::milliseconds(500);
    while (sent >= received_.load(std::memory_order_acquire) + kWindow && Clock::now() < give_up) {
      std::this_thread::yield();
    }
    sendto(fd, payload.data(), payload.size(), 0, reinterpret_cast<const sockaddr*>(&to),
           sizeof to);
  }
  close(fd);
}

Run RawReceive(size_t size, uint64_t count) {
  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK, 0);
  setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &kReceiveBuffer, sizeof kReceiveBuffer);
  sockaddr_in a = Loopback(0);
  socklen_t n = sizeof a;
  bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  getsockname(fd, reinterpret_cast<sockaddr*>(&a), &n);

  std::atomic<uint64_t> received{0};
  std::vector<char> buffer(2048 + 1);
  const auto start = Clock::now();
  {
    Sender sender(ntohs(a.sin_port), size, count, received);
    auto last_progress = Clock::now();
    while (received.load() < count && Clock::now() - last_progress < std::chrono::seconds(2)) {
      pollfd p{fd, POLLIN, 0};
      if (poll(&p, 1, 20) <= 0) continue;
      for (;;) {
        sockaddr_in from{};
        socklen_t from_length = sizeof from;
        const ssize_t got = recvfrom(fd, buffer.data(), buffer.size() - 1, 0,
                                     reinterpret_cast<sockaddr*>(&from), &from_length);
        if (got < 0) break;
        received.fetch_add(1, std::memory_order_release);
        last_progress = Clock::now();
      }
    }
  }
  Run run;
  run.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  run.received = received.load();
  close(fd);
  return run;
}

BatchSender::BatchSender() : fd_(socket(AF_INET, SOCK_DGRAM, 0)) {
  const int size = kDrainBuffer;
  setsockopt(fd_, SOL_SOCKET, SO_SNDBUF, &size, sizeof size);
}

BatchSender::~BatchSender() {
  close(fd_);
}

void BatchSender::Send(uint16_t port, size_t size, uint64_t first, uint64_t count) {
  const sockaddr_in to = Loopback(port);
  std::vector<char> payload(size < 14 ? 14 : size, 'd');
  for (uint64_t i = 0; i < count; ++i) {
    char head[16];
    std::snprintf(head, sizeof head, "seq:%010llu", static_cast<unsigned long long>(first + i));
    std::copy(head, head + 14, payload.begin());
    sendto(fd_, payload.data(), size, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
  }
}

Run RawDrain(size_t size, uint64_t count, uint64_t batch) {
  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK, 0);
  setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &kDrainBuffer, sizeof kDrainBuffer);
  sockaddr_in a = Loopback(0);
  socklen_t n = sizeof a;
  bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  getsockname(fd, reinterpret_cast<sockaddr*>(&a), &n);
  BatchSender sender;
  std::vector<char> buffer(2048 + 1);
  Run run;
  Clock::duration drained{};
  for (uint64_t sent = 0; sent < count; sent += batch) {
    const uint64_t b = std::min(batch, count - sent);
    sender.Send(ntohs(a.sin_port), size, sent, b);
    const auto start = Clock::now();
    uint64_t got = 0;
    // The queue is full already: a would-block means the batch lost some on the way in.
    while (got < b) {
      sockaddr_in from{};
      socklen_t from_length = sizeof from;
      if (recvfrom(fd, buffer.data(), buffer.size() - 1, 0, reinterpret_cast<sockaddr*>(&from),
                   &from_length) < 0) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 20) <= 0) break;
        continue;
      }
      ++got;
    }
    drained += Clock::now() - start;
    run.received += got;
  }
  run.seconds = std::chrono::duration<double>(drained).count();
  close(fd);
  return run;
}

}  // namespace bench
