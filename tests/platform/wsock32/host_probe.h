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
