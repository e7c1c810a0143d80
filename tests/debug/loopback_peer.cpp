#include "loopback_peer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace debugtest {
namespace {

sockaddr_in Loopback(uint16_t port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return a;
}

int BindLoopback(uint16_t port) {
  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  const sockaddr_in a = Loopback(port);
  if (bind(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

}  // namespace

LoopbackPeer::LoopbackPeer(uint16_t port, int patience_ms) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(patience_ms);
  while ((fd_ = BindLoopback(port)) < 0 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  if (fd_ < 0) return;
  sockaddr_in a{};
  socklen_t n = sizeof a;
  getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &n);
  port_ = ntohs(a.sin_port);
}

LoopbackPeer::~LoopbackPeer() {
  if (fd_ >= 0) close(fd_);
}

void LoopbackPeer::SendTo(uint16_t port, const std::string& data) const {
  const sockaddr_in a = Loopback(port);
  sendto(fd_, data.data(), data.size(), 0, reinterpret_cast<const sockaddr*>(&a), sizeof a);
}

std::optional<Datagram> LoopbackPeer::Receive(int wait_ms) const {
  pollfd p{fd_, POLLIN, 0};
  if (poll(&p, 1, wait_ms) != 1) return std::nullopt;
  char buf[65536];
  sockaddr_in from{};
  socklen_t n = sizeof from;
  const ssize_t got =
      recvfrom(fd_, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &n);
  if (got < 0) return std::nullopt;
  return Datagram{std::string(buf, static_cast<size_t>(got)), ntohs(from.sin_port)};
}

bool PortIsFree(uint16_t port) {
  const int fd = BindLoopback(port);
  if (fd < 0) return false;
  close(fd);
  return true;
}

}  // namespace debugtest
