#include "host_probe.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/ip.h>
#include <netinet/ip_icmp.h>
#include <netinet/udp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <climits>
#include <cstdint>
#include <cstring>

int ReadHostOption(int fd, HostOption option) {
  int level = SOL_SOCKET;
  int name = 0;
  switch (option) {
    case HostOption::kReuseAddr:
      name = SO_REUSEADDR;
      break;
    case HostOption::kDontRoute:
      name = SO_DONTROUTE;
      break;
    case HostOption::kBroadcast:
      name = SO_BROADCAST;
      break;
    case HostOption::kSendBuffer:
      name = SO_SNDBUF;
      break;
    case HostOption::kReceiveBuffer:
      name = SO_RCVBUF;
      break;
    case HostOption::kTtl:
      level = IPPROTO_IP;
      name = IP_TTL;
      break;
    case HostOption::kTos:
      level = IPPROTO_IP;
      name = IP_TOS;
      break;
  }
  int value = -1;
  socklen_t len = sizeof value;
  return getsockopt(fd, level, name, &value, &len) == 0 ? value : -1;
}

bool HostNonBlocking(int fd) {
  return (fcntl(fd, F_GETFL) & O_NONBLOCK) != 0;
}

const char* HostMachineName() {
  static char name[HOST_NAME_MAX + 1];
  gethostname(name, sizeof name);
  return name;
}

namespace {

std::uint16_t Checksum(const unsigned char* p, std::size_t n) {
  std::uint32_t sum = 0;
  for (std::size_t i = 0; i + 1 < n; i += 2)
    sum += static_cast<std::uint32_t>(p[i] << 8 | p[i + 1]);
  if (n % 2 != 0) sum += static_cast<std::uint32_t>(p[n - 1] << 8);
  while (sum >> 16 != 0) sum = (sum & 0xFFFF) + (sum >> 16);
  return htons(static_cast<std::uint16_t>(~sum));
}

}  // namespace

bool InjectIcmpError(unsigned short from_port, unsigned short to_port, int type, int code,
                     unsigned short next_hop_mtu) {
  // The ICMP message quotes the offending datagram's IP header and first 8 bytes.
  struct Packet {
    icmphdr icmp;
    iphdr ip;
    udphdr udp;
  } p{};
  p.ip.version = 4;
  p.ip.ihl = 5;
  p.ip.tot_len = htons(sizeof p.ip + sizeof p.udp);
  p.ip.ttl = 64;
  p.ip.protocol = IPPROTO_UDP;
  p.ip.saddr = htonl(INADDR_LOOPBACK);
  p.ip.daddr = htonl(INADDR_LOOPBACK);
  p.ip.check = Checksum(reinterpret_cast<const unsigned char*>(&p.ip), sizeof p.ip);
  p.udp.source = htons(from_port);
  p.udp.dest = htons(to_port);
  p.udp.len = htons(sizeof p.udp);
  p.icmp.type = static_cast<std::uint8_t>(type);
  p.icmp.code = static_cast<std::uint8_t>(code);
  p.icmp.un.frag.mtu = htons(next_hop_mtu);
  p.icmp.checksum = Checksum(reinterpret_cast<const unsigned char*>(&p), sizeof p);

  int fd = socket(AF_INET, SOCK_RAW, IPPROTO_ICMP);
  if (fd < 0) return false;
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const bool sent = sendto(fd, &p, sizeof p, 0, reinterpret_cast<const sockaddr*>(&to),
                           sizeof to) == static_cast<ssize_t>(sizeof p);
  close(fd);
  return sent;
}
