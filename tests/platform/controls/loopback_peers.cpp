#include "loopback_peers.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

#include "windows.h"

namespace peers {
namespace {

int Bound(int type, int port) {
  int fd = socket(AF_INET, type | SOCK_CLOEXEC, 0);
  int one = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(static_cast<uint16_t>(port));
  if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    if (fd >= 0) close(fd);
    throw std::runtime_error("cannot bind 127.0.0.1:" + std::to_string(port));
  }
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

RefusedPort::~RefusedPort() { close(fd_); }

int ClosedUdpPort() {
  int fd = Bound(SOCK_DGRAM, 0);
  int port = PortOf(fd);
  close(fd);
  return port;
}

}  // namespace peers

bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  for (;;) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    if (done()) return true;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        end - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(left.count()), QS_ALLINPUT);
  }
}

void PumpFor(std::chrono::milliseconds time) {
  PumpUntil([] { return false; }, time);
}
