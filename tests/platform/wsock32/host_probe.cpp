#include "host_probe.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <climits>

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
