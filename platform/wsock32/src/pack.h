// Lays out hostent, protoent and servent records with everything they point to in one buffer:
// the per-thread results of the lookups, and the caller's buffer of the asynchronous ones.
#pragma once

#include <cstddef>

#include "host.h"
#include "winsock.h"

namespace wsock32 {

// Each returns the bytes the record needs and writes it only if that fits in `cap`.
std::size_t PackHost(const host::HostInfo& info, char* buf, std::size_t cap);
std::size_t PackProtocol(const host::NamedEntry& entry, char* buf, std::size_t cap);
std::size_t PackService(const host::NamedEntry& entry, char* buf, std::size_t cap);

}  // namespace wsock32
