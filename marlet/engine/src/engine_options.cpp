// Option setters and readers of the datagram engine.
#include <cstring>
#include <new>

#include "marlet/datagram_engine.h"
#include "marlet/socket_function_table.h"

namespace marlet {

Code DatagramEngine::SetInBufferSize(LONG size) {
  Begin();
  in_buffer_size_ = size;
  if (socket_ == INVALID_SOCKET) return Finish(kOk);
  return Finish(SetIntOption(SOL_SOCKET, SO_RCVBUF, size));
}

Code DatagramEngine::SetOutBufferSize(LONG size) {
  Begin();
  out_buffer_size_ = size;
  if (socket_ == INVALID_SOCKET) return Finish(kOk);
  return Finish(SetIntOption(SOL_SOCKET, SO_SNDBUF, size));
}

Code DatagramEngine::SetDontRoute(bool dont_route) {
  Begin();
  dont_route_ = dont_route;
  if (socket_ == INVALID_SOCKET) return Finish(kOk);
  return Finish(SetIntOption(SOL_SOCKET, SO_DONTROUTE, dont_route ? 1 : 0));
}

Code DatagramEngine::SetQosFlags(LONG flags) {
  Begin();
  if (flags == 0 && type_of_service_ == 0) return Finish(kOk);
  if (socket_ != INVALID_SOCKET) {
    // Unlike the buffer sizes, a refused value is not kept.
    const Code code = SetIntOption(IPPROTO_IP, IP_TOS, flags);
    if (code != kOk) return Finish(code);
  }
  type_of_service_ = flags;
  return Finish(kOk);
}

Code DatagramEngine::GetQosFlags(LONG* flags) {
  Begin();
  if (socket_ != INVALID_SOCKET) {
    int value = 0;
    int length = sizeof value;
    if (g_sockets.getsockopt(socket_, IPPROTO_IP, IP_TOS, reinterpret_cast<char*>(&value),
                             &length) == SOCKET_ERROR) {
      return LastSocketError();
    }
    type_of_service_ = value;
  }
  *flags = type_of_service_;
  return Finish(kOk);
}

Code DatagramEngine::SetTimeToLive(uint16_t ttl) {
  Begin();
  // 0 would mean the system default, which cannot be asked back for: ignored.
  if (ttl == 0) return Finish(kOk);
  time_to_live_ = ttl;
  if (socket_ == INVALID_SOCKET) return Finish(kOk);
  return Finish(SetIntOption(IPPROTO_IP, IP_TTL, ttl));
}

Code DatagramEngine::SetLocalPort(uint16_t port) {
  Begin();
  if (socket_ != INVALID_SOCKET) return Refuse(kLocalPortWhileActive);
  local_port_ = port;
  return Finish(kOk);
}

Code DatagramEngine::GetLocalPort(uint16_t* port) {
  Begin();
  if (socket_ == INVALID_SOCKET) {
    *port = local_port_;
    return Finish(kOk);
  }
  sockaddr_in bound{};
  int length = sizeof bound;
  if (g_sockets.getsockname(socket_, reinterpret_cast<sockaddr*>(&bound), &length) ==
      SOCKET_ERROR) {
    return LastSocketError();
  }
  *port = g_sockets.ntohs(bound.sin_port);
  return Finish(kOk);
}

Code DatagramEngine::SetLocalHost(const char* host) {
  Begin();
  if (socket_ != INVALID_SOCKET) return Refuse(kLocalHostWhileActive);
  return Finish(Resolve(host, false, &local_address_));
}

Code DatagramEngine::GetLocalHost(std::string* host) {
  Begin();
  host->clear();
  if (socket_ != INVALID_SOCKET) {
    sockaddr_in bound{};
    int length = sizeof bound;
    if (g_sockets.getsockname(socket_, reinterpret_cast<sockaddr*>(&bound), &length) ==
        SOCKET_ERROR) {
      text_.Set(CodeText(g_sockets.WSAGetLastError()));
    } else if (const char* text = g_sockets.inet_ntoa(bound.sin_addr)) {
      *host = text;
    }
  } else if (local_address_ != 0) {
    *host = AddressText(local_address_);
  } else if (g_sockets.gethostname(host_name_, sizeof host_name_) == SOCKET_ERROR) {
    text_.Set(CodeText(g_sockets.WSAGetLastError()));
  } else {
    host_name_[sizeof host_name_ - 1] = '\0';
    *host = host_name_;
  }
  // The read succeeds whatever was found; a failure only leaves its text.
  return Finish(kOk);
}

Code DatagramEngine::SetRemoteHost(const char* host) {
  Begin();
  if (use_connection_ && socket_ != INVALID_SOCKET) return Refuse(kRemoteHostWhileConnected);
  return Finish(Resolve(host, true, &remote_address_));
}

Code DatagramEngine::GetRemoteHost(std::string* host) {
  Begin();
  *host = remote_address_ != 0 ? AddressText(remote_address_) : "";
  return Finish(kOk);
}

Code DatagramEngine::SetRemotePort(uint16_t port) {
  Begin();
  if (use_connection_ && socket_ != INVALID_SOCKET) return Refuse(kRemotePortWhileConnected);
  remote_port_ = port;
  return Finish(kOk);
}

Code DatagramEngine::SetUseConnection(bool use) {
  Begin();
  if (socket_ != INVALID_SOCKET) return Refuse(kUseConnectionWhileActive);
  use_connection_ = use;
  return Finish(kOk);
}

Code DatagramEngine::SetShareLocalPort(bool share) {
  Begin();
  share_local_port_ = share;
  return Finish(kOk);
}

Code DatagramEngine::SetMaxPacketSize(LONG size) {
  Begin();
  uint32_t wanted = static_cast<uint32_t>(size);
  if (wanted > static_cast<uint32_t>(kLargestPacket)) wanted = kLargestPacket;
  if (socket_ != INVALID_SOCKET) return Refuse(kMaxPacketSizeWhileActive);
  if (wanted != max_packet_size_ || !buffer_) {
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[wanted + 1]);
    if (!buffer) return Refuse(kOutOfMemory);
    buffer_ = std::move(buffer);
    max_packet_size_ = wanted;
  }
  return Finish(kOk);
}

// The empty text clears the address. A dotted address is taken as it is, anything else
// is looked up; a lookup that fails clears the address and fails, unless the library is
// not loaded at all.
Code DatagramEngine::Resolve(const char* host, bool remote, ULONG* address) {
  *address = 0;
  if (!host || *host == '\0') return kOk;
  if (remote && std::strcmp(host, "255.255.255.255") == 0) {
    *address = INADDR_BROADCAST;
    return kOk;
  }
  const ULONG dotted = g_sockets.inet_addr(host);
  if (dotted != INADDR_NONE) {
    *address = dotted;
    return kOk;
  }
  if (g_sockets.WSAIsBlocking()) g_sockets.WSACancelBlockingCall();
  const hostent* entry = g_sockets.gethostbyname(host);
  if (!entry || entry->h_length < 4 || !entry->h_addr_list || !entry->h_addr_list[0]) {
    const Code code = g_sockets.WSAGetLastError();
    if (code == kNotInitialised) return kOk;
    return code != kOk ? code : kHostNotFound;
  }
  std::memcpy(address, entry->h_addr_list[0], sizeof *address);
  return kOk;
}

const char* DatagramEngine::AddressText(ULONG address) {
  in_addr a{};
  a.s_addr = address;
  const char* text = g_sockets.inet_ntoa(a);
  return text ? text : "";
}

}  // namespace marlet
