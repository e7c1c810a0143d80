// meter-sim: a UDP debug-trail port answering "SendData" with trace lines (see README.md).
#include <arpa/inet.h>
#include <netdb.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "meter_sim.h"

namespace {

using Clock = std::chrono::steady_clock;
volatile sig_atomic_t g_stop = 0;

void Stop(int) {
  g_stop = 1;
}

// Numeric addresses only: the simulator never asks a name server.
int Bind(const metersim::Options& o, std::string& where) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_DGRAM;
  hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV | AI_PASSIVE;
  addrinfo* found = nullptr;
  const std::string port = std::to_string(o.port);
  if (getaddrinfo(o.address.c_str(), port.c_str(), &hints, &found) != 0) {
    std::fprintf(stderr, "meter-sim: not a numeric address: %s\n", o.address.c_str());
    return -1;
  }
  int fd = socket(found->ai_family, SOCK_DGRAM, 0);
  if (fd < 0 || bind(fd, found->ai_addr, found->ai_addrlen) != 0) {
    std::fprintf(stderr, "meter-sim: cannot bind %s port %u: %s\n", o.address.c_str(), o.port,
                 std::strerror(errno));
    freeaddrinfo(found);
    if (fd >= 0) close(fd);
    return -1;
  }
  freeaddrinfo(found);
  sockaddr_storage bound{};
  socklen_t len = sizeof bound;
  getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &len);
  char host[NI_MAXHOST], serv[NI_MAXSERV];
  getnameinfo(reinterpret_cast<sockaddr*>(&bound), len, host, sizeof host, serv, sizeof serv,
              NI_NUMERICHOST | NI_NUMERICSERV);
  where = std::string(host) + ":" + serv;
  return fd;
}

struct Outgoing {
  explicit Outgoing(std::string b)
      : bytes(std::move(b)), lines(static_cast<int>(std::count(bytes.begin(), bytes.end(), '\n'))) {}
  std::string bytes;
  int lines;
};

}  // namespace

int main(int argc, char** argv) {
  const metersim::Parsed parsed = metersim::ParseOptions(std::vector<std::string>(argv + 1, argv + argc));
  if (!parsed.options) {
    std::fprintf(stderr, "meter-sim: %s\n%s", parsed.error.c_str(), metersim::Usage().c_str());
    return 2;
  }
  const metersim::Options& o = *parsed.options;
  std::string where;
  const int fd = Bind(o, where);
  if (fd < 0) return 1;
  signal(SIGINT, Stop);
  signal(SIGTERM, Stop);
  std::printf("meter-sim listening on %s\n", where.c_str());
  std::fflush(stdout);

  const Clock::time_point start = Clock::now();
  const auto seconds = [](double s) {
    return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(s));
  };
  const Clock::time_point end = o.duration > 0 ? start + seconds(o.duration) : Clock::time_point::max();
  sockaddr_storage peer{};
  socklen_t peer_len = 0;
  std::deque<Outgoing> queue;
  Clock::time_point next_send = start, stream_until = start;
  uint64_t sequence = 1, requests = 0, lines_sent = 0, datagrams_sent = 0;
  const int chunk = o.per_datagram > 0 ? o.per_datagram : 1;

  while (!g_stop) {
    Clock::time_point now = Clock::now();
    if (now >= end) break;
    if (queue.empty() && peer_len != 0 && now < stream_until) {
      for (auto& d : metersim::Datagrams(sequence, chunk, chunk, o.crlf)) queue.emplace_back(d);
      sequence += static_cast<uint64_t>(chunk);
    }
    Clock::time_point wake = std::min(end, now + std::chrono::seconds(1));
    if (!queue.empty()) wake = std::min(wake, std::max(now, next_send));
    const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(wake - now).count();
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(std::max<long long>(0, wait))) > 0 && (p.revents & POLLIN)) {
      char buf[65536];
      sockaddr_storage from{};
      socklen_t from_len = sizeof from;
      ssize_t n = recvfrom(fd, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &from_len);
      if (n == static_cast<ssize_t>(std::strlen(metersim::kRequest)) &&
          std::memcmp(buf, metersim::kRequest, static_cast<std::size_t>(n)) == 0) {
        ++requests;
        if (!o.silent) {
          peer = from;
          peer_len = from_len;
          if (o.big) queue.emplace_back(metersim::BigDatagram(o.crlf));
          if (o.stream > 0) {
            stream_until = Clock::now() + seconds(o.stream);
          } else {
            for (auto& d : metersim::Datagrams(sequence, o.count, o.per_datagram, o.crlf)) {
              queue.emplace_back(d);
            }
            sequence += static_cast<uint64_t>(o.count);
          }
          if (o.rate > 0) next_send = std::max(next_send, Clock::now());
        }
      }
    }
    now = Clock::now();
    while (!queue.empty() && (o.rate <= 0 || now >= next_send)) {
      const Outgoing& d = queue.front();
      if (sendto(fd, d.bytes.data(), d.bytes.size(), 0, reinterpret_cast<sockaddr*>(&peer),
                 peer_len) < 0) {
        break;  // a full send buffer: try again on the next turn
      }
      lines_sent += static_cast<uint64_t>(d.lines);
      ++datagrams_sent;
      if (o.rate > 0) next_send += seconds(d.lines / o.rate);
      queue.pop_front();
      if (o.rate <= 0 && queue.size() == 0) break;  // let requests in between bursts
    }
  }
  std::printf("meter-sim: %llu requests, %llu datagrams, %llu lines\n",
              static_cast<unsigned long long>(requests), static_cast<unsigned long long>(datagrams_sent),
              static_cast<unsigned long long>(lines_sent));
  close(fd);
  return 0;
}
