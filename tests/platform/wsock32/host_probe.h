// What the host says about a descriptor, to check that a Winsock call reached the right
// host setting. Kept apart because the host's socket headers and winsock.h cannot meet.
#pragma once

enum class HostOption {
  kReuseAddr,
  kDontRoute,
  kBroadcast,
  kSendBuffer,
  kReceiveBuffer,
  kTtl,
  kTos
};

int ReadHostOption(int fd, HostOption option);
bool HostNonBlocking(int fd);
// The name the host's resolver gives this machine.
const char* HostMachineName();

// Has the loopback interface deliver an ICMP error about a UDP datagram that went from
// 127.0.0.1:from_port to 127.0.0.1:to_port (host-order ports), as a router on its way would.
// False when this process may not open a raw socket.
bool InjectIcmpError(unsigned short from_port, unsigned short to_port, int type, int code,
                     unsigned short next_hop_mtu);
