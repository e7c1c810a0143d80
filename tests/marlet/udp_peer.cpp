#include "udp_peer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace marlet_test {
namespace {

sockaddr_in Loopback(uint16_t port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return a;
}

}  // namespace

UdpPeer::UdpPeer() {
  fd_ = socket(AF_INET, SOCK_DGRAM, 0);
  if (fd_ < 0) throw std::runtime_error("socket");
  sockaddr_in a = Loopback(0);
  socklen_t n = sizeof a;
  if (bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
      getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &n) != 0) {
    throw std::runtime_error("bind");
  }
  port_ = ntohs(a.sin_port);
}

UdpPeer::~UdpPeer() {
  Close();
}

void UdpPeer::Close() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
}

void UdpPeer::SendTo(uint16_t port, const std::string& data) const {
  const sockaddr_in a = Loopback(port);
  if (sendto(fd_, data.data(), data.size(), 0, reinterpret_cast<const sockaddr*>(&a), sizeof a) !=
      static_cast<ssize_t>(data.size())) {
    throw std::runtime_error("sendto");
  }
}

std::optional<Received> UdpPeer::Receive(std::chrono::milliseconds wait) const {
  pollfd p{fd_, POLLIN, 0};
  if (poll(&p, 1, static_cast<int>(wait.count())) != 1) return std::nullopt;
  char buffer[70000];
  sockaddr_in from{};
  socklen_t n = sizeof from;
  const ssize_t got =
      recvfrom(fd_, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &n);
  if (got < 0) return std::nullopt;
  return Received{std::string(buffer, static_cast<size_t>(got)), ntohs(from.sin_port)};
}

uint16_t ClosedPort() {
  UdpPeer probe;
  return probe.port();
}

}  // namespace marlet_test
