#include "datagram_raw.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <thread>
#include <vector>

namespace bench {

void SendAll(std::uint16_t port, std::size_t payload, Flow& flow) {
  int fd = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(port);
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  std::vector<char> data(payload, 'd');
  for (long sent = 0; sent < flow.total && !flow.stop; ++sent) {
    while (sent - flow.received.load(std::memory_order_acquire) >= flow.window && !flow.stop) {
      std::this_thread::yield();
    }
    sendto(fd, data.data(), data.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
  }
  close(fd);
}

int OpenRaw(int rcvbuf, std::uint16_t* port) {
  int fd = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK, 0);
  setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &rcvbuf, sizeof rcvbuf);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  socklen_t len = sizeof a;
  getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  *port = ntohs(a.sin_port);
  return fd;
}

void ReceiveRaw(int fd, std::size_t bufsize, Flow& flow, Clock::time_point deadline) {
  std::vector<char> buf(bufsize);
  while (flow.received.load(std::memory_order_relaxed) < flow.total) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) break;
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
    for (;;) {
      sockaddr_in from{};
      socklen_t len = sizeof from;
      ssize_t n = recvfrom(fd, buf.data(), buf.size(), 0, reinterpret_cast<sockaddr*>(&from), &len);
      if (n < 0) break;
      flow.received.fetch_add(1, std::memory_order_release);
    }
  }
}

void CloseRaw(int fd) {
  close(fd);
}

}  // namespace bench
