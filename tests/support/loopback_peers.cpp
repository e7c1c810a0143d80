#include "support/loopback_peers.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace testsupport {
namespace {

sockaddr_in Loopback(int port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(static_cast<uint16_t>(port));
  return a;
}

// -1 when the port cannot be bound.
int TryBind(int type, int port, bool reuse) {
  const int fd = socket(AF_INET, type | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  int one = 1;
  if (reuse) setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  const sockaddr_in a = Loopback(port);
  if (bind(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

int Bound(int type, int port) {
  const int fd = TryBind(type, port, true);
  if (fd < 0) throw std::runtime_error("cannot bind 127.0.0.1:" + std::to_string(port));
  return fd;
}

int PortOf(int fd) {
  sockaddr_in a{};
  socklen_t len = sizeof a;
  getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  return ntohs(a.sin_port);
}

// Waits up to 50 ms for fd to be readable: the serving loops look at their stop flag between.
bool Readable(int fd) {
  pollfd p{fd, POLLIN, 0};
  return poll(&p, 1, 50) > 0;
}

}  // namespace

UdpPeer::UdpPeer(uint16_t port, std::chrono::milliseconds patience) {
  const auto deadline = std::chrono::steady_clock::now() + patience;
  while ((fd_ = TryBind(SOCK_DGRAM, port, false)) < 0 &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  if (fd_ >= 0) port_ = static_cast<uint16_t>(PortOf(fd_));
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
    throw std::runtime_error("sendto 127.0.0.1:" + std::to_string(port));
  }
}

std::optional<Datagram> UdpPeer::Receive(std::chrono::milliseconds wait) const {
  pollfd p{fd_, POLLIN, 0};
  if (poll(&p, 1, static_cast<int>(wait.count())) != 1) return std::nullopt;
  static thread_local char buffer[65536];
  sockaddr_in from{};
  socklen_t n = sizeof from;
  const ssize_t got =
      recvfrom(fd_, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &n);
  if (got < 0) return std::nullopt;
  return Datagram{std::string(buffer, static_cast<size_t>(got)), ntohs(from.sin_port)};
}

uint16_t ClosedUdpPort() {
  const int fd = Bound(SOCK_DGRAM, 0);
  const int port = PortOf(fd);
  close(fd);
  return static_cast<uint16_t>(port);
}

bool PortIsFree(uint16_t port) {
  const int fd = TryBind(SOCK_DGRAM, port, false);
  if (fd < 0) return false;
  close(fd);
  return true;
}

DaytimeServer::DaytimeServer(int port, std::string line) : line_(std::move(line)) {
  fd_ = Bound(SOCK_STREAM, port);
  listen(fd_, 8);
  port_ = PortOf(fd_);
  thread_ = std::thread([this] { Serve(); });
}

DaytimeServer::~DaytimeServer() {
  stop_ = true;
  thread_.join();
  close(fd_);
}

void DaytimeServer::Serve() {
  while (!stop_) {
    if (!Readable(fd_)) continue;
    int c = accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (c < 0) continue;
    ++connections_;
    send(c, line_.data(), line_.size(), MSG_NOSIGNAL);
    close(c);
  }
}

UdpResponder::UdpResponder(Reply reply, int port) : reply_(std::move(reply)) {
  fd_ = Bound(SOCK_DGRAM, port);
  port_ = PortOf(fd_);
  thread_ = std::thread([this] { Serve(); });
}

UdpResponder::~UdpResponder() {
  stop_ = true;
  thread_.join();
  close(fd_);
}

std::vector<std::string> UdpResponder::requests() const {
  std::lock_guard lock(mu_);
  return requests_;
}

void UdpResponder::Serve() {
  char buffer[65536];
  while (!stop_) {
    if (!Readable(fd_)) continue;
    sockaddr_in from{};
    socklen_t len = sizeof from;
    ssize_t n = recvfrom(fd_, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &len);
    if (n < 0) continue;
    std::string request(buffer, static_cast<std::size_t>(n));
    {
      std::lock_guard lock(mu_);
      requests_.push_back(request);
    }
    std::string answer = reply_(request);
    if (!answer.empty()) {
      sendto(fd_, answer.data(), answer.size(), 0, reinterpret_cast<sockaddr*>(&from), len);
    }
  }
}

RefusedPort::RefusedPort() {
  fd_ = Bound(SOCK_STREAM, 0);
  port_ = PortOf(fd_);
}

RefusedPort::~RefusedPort() {
  close(fd_);
}

}  // namespace testsupport
