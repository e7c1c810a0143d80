#include "controls/winsock.h"

#include <cstring>

#include "forms/runtime_error.h"
#include "notice_window.h"
#include "socket_library.h"
#include "text.h"

namespace controls {
namespace {

// Message numbers of the notice window: each socket and each lookup gets the next one, so a
// notice still queued for a socket that was closed never reaches its successor.
constexpr unsigned kFirstMsg = WM_USER + 0x10;
constexpr unsigned kMsgCount = 0x3000;
// Bounded input: data the host has not read yet stops being taken in beyond this.
constexpr std::size_t kStreamCap = 1 << 20;
constexpr std::size_t kDatagramCap = 256;

unsigned NextMsg() {
  static unsigned next = 0;
  next = (next + 1) % kMsgCount;
  return kFirstMsg + next;
}

[[noreturn]] void Throw(int number) {
  std::string text = WinsockErrorText(number);
  throw forms::RuntimeError(number, text.empty() ? "Unknown error" : text);
}

}  // namespace

Winsock::Winsock()
    : window_(std::make_unique<NoticeWindow>(
          [this](UINT msg, WPARAM w, LPARAM l) { OnMessage(msg, w, l); })),
      socket_(INVALID_SOCKET) {}

Winsock::~Winsock() {
  *alive_ = false;
  if (socket_ != INVALID_SOCKET) Sockets().closesocket(socket_);
}

void Winsock::SetProtocol(int protocol) {
  if (protocol != sckTCPProtocol && protocol != sckUDPProtocol) Throw(380);
  if (state_ != sckClosed) Throw(40020);
  protocol_ = protocol;
}

void Winsock::SetRemotePort(long port) {
  if (port < 0 || port > 65535) Throw(380);
  remote_port_ = port;
}

long Winsock::BytesReceived() const {
  if (protocol_ == sckUDPProtocol) {
    return datagrams_.empty() ? 0 : static_cast<long>(datagrams_.front().size());
  }
  return static_cast<long>(stream_.size());
}

void Winsock::Close() {
  if (socket_ != INVALID_SOCKET) Sockets().closesocket(socket_);
  socket_ = INVALID_SOCKET;
  socket_msg_ = 0;
  lookup_msg_ = 0;
  stream_.clear();
  datagrams_.clear();
  unsent_.clear();
  paused_ = false;
  local_port_ = 0;
  state_ = sckClosed;
}

std::uint64_t Winsock::NewSocket(int type) {
  const SocketLibrary& ws = Sockets();
  SOCKET s = ws.socket(AF_INET, type, 0);
  if (s == INVALID_SOCKET) Throw(ws.WSAGetLastError());
  unsigned msg = NextMsg();
  LONG events = type == SOCK_DGRAM ? FD_READ : FD_CONNECT | FD_READ | FD_WRITE | FD_CLOSE;
  if (ws.WSAAsyncSelect(s, window_->hwnd(), msg, events) != 0) {
    int error = ws.WSAGetLastError();
    ws.closesocket(s);
    Throw(error);
  }
  socket_ = s;
  socket_msg_ = msg;
  return s;
}

void Winsock::OpenUdp() {
  const SocketLibrary& ws = Sockets();
  SOCKET s = NewSocket(SOCK_DGRAM);
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_port = ws.htons(static_cast<u_short>(local_port_));
  if (ws.bind(s, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
    int error = ws.WSAGetLastError();
    Close();
    Throw(error);
  }
  int len = sizeof local;
  if (ws.getsockname(s, reinterpret_cast<sockaddr*>(&local), &len) == 0) {
    local_port_ = ws.ntohs(local.sin_port);
  }
  state_ = sckOpen;
}

void Winsock::Connect(const std::string& host, long port) {
  SetRemotePort(port);
  remote_host_ = host;
  Connect();
}

void Winsock::Connect() {
  if (protocol_ != sckTCPProtocol) Throw(40026);
  if (state_ != sckClosed) Throw(40006);
  const SocketLibrary& ws = Sockets();
  lookup_buffer_.assign(MAXGETHOSTSTRUCT, 0);
  unsigned msg = NextMsg();
  lookup_msg_ = msg;
  state_ = sckResolvingHost;
  // The reply comes through the queue, so the states before it can be seen.
  if (ws.WSAAsyncGetHostByName(window_->hwnd(), msg, remote_host_.c_str(), lookup_buffer_.data(),
                               static_cast<int>(lookup_buffer_.size())) == nullptr) {
    int error = ws.WSAGetLastError();
    lookup_msg_ = 0;
    state_ = sckClosed;
    Throw(error);
  }
}

void Winsock::OnMessage(unsigned msg, std::uint64_t /*wparam*/, std::int64_t lparam) {
  if (msg == 0) return;
  if (msg == lookup_msg_) {
    lookup_msg_ = 0;
    OnLookup(WSAGETASYNCERROR(lparam), lookup_buffer_.data());
  } else if (msg == socket_msg_) {
    OnNotice(WSAGETSELECTEVENT(lparam), WSAGETSELECTERROR(lparam));
  }
}

void Winsock::OnLookup(int error, const char* buffer) {
  if (state_ != sckResolvingHost) return;
  if (error != 0) {
    Fail(error);
    return;
  }
  const SocketLibrary& ws = Sockets();
  const auto* entry = reinterpret_cast<const hostent*>(buffer);
  sockaddr_in peer{};
  peer.sin_family = AF_INET;
  peer.sin_port = ws.htons(static_cast<u_short>(remote_port_));
  std::memcpy(&peer.sin_addr, entry->h_addr_list[0], sizeof peer.sin_addr);
  state_ = sckHostResolved;
  try {
    NewSocket(SOCK_STREAM);
  } catch (const forms::RuntimeError& e) {
    Fail(e.Number());
    return;
  }
  if (ws.connect(socket_, reinterpret_cast<sockaddr*>(&peer), sizeof peer) == 0) {
    state_ = sckConnecting;  // FD_CONNECT follows even when it completed at once
    return;
  }
  int connect_error = ws.WSAGetLastError();
  if (connect_error == WSAEWOULDBLOCK) {
    state_ = sckConnecting;
  } else {
    Fail(connect_error);
  }
}

void Winsock::OnNotice(int event, int error) {
  std::weak_ptr<bool> alive = alive_;
  switch (event) {
    case FD_CONNECT:
      if (state_ != sckConnecting) return;
      if (error != 0) {
        Fail(error);
        return;
      }
      state_ = sckConnected;
      if (OnConnect) OnConnect();
      return;
    case FD_WRITE:
      FlushSend();
      return;
    case FD_READ: {
      if (state_ != sckOpen && state_ != sckConnected) return;
      std::size_t before = protocol_ == sckUDPProtocol ? datagrams_.size() : stream_.size();
      if (!ReadPending()) return;
      std::size_t after = protocol_ == sckUDPProtocol ? datagrams_.size() : stream_.size();
      if (after > before && OnDataArrival) OnDataArrival(BytesReceived());
      return;
    }
    case FD_CLOSE: {
      if (state_ != sckConnected) return;
      std::size_t before = stream_.size();
      if (!ReadPending()) return;
      if (stream_.size() > before && OnDataArrival) {
        OnDataArrival(BytesReceived());
        if (alive.expired() || state_ != sckConnected) return;
      }
      state_ = sckClosing;
      if (error != 0 && !FireError(error)) return;
      if (OnClose) OnClose();
      return;
    }
    default:
      return;
  }
}

// Takes in what the socket holds, up to the caps. A read error is reported as the Error event;
// false when the control went away inside that event.
bool Winsock::ReadPending() {
  const SocketLibrary& ws = Sockets();
  if (protocol_ == sckUDPProtocol) {
    std::vector<std::uint8_t> buffer(65536);
    sockaddr_in from{};
    int len = sizeof from;
    int n = ws.recvfrom(socket_, reinterpret_cast<char*>(buffer.data()),
                        static_cast<int>(buffer.size()), 0, reinterpret_cast<sockaddr*>(&from),
                        &len);
    if (n < 0) {
      int error = ws.WSAGetLastError();
      return error == WSAEWOULDBLOCK || FireError(error);
    }
    buffer.resize(static_cast<std::size_t>(n));
    if (datagrams_.size() < kDatagramCap) datagrams_.push_back(std::move(buffer));
    return true;
  }
  std::uint8_t buffer[16384];
  while (stream_.size() < kStreamCap) {
    int n = ws.recv(socket_, reinterpret_cast<char*>(buffer), sizeof buffer, 0);
    if (n == 0) return true;  // the end of the stream arrives as FD_CLOSE
    if (n < 0) {
      int error = ws.WSAGetLastError();
      return error == WSAEWOULDBLOCK || FireError(error);
    }
    stream_.insert(stream_.end(), buffer, buffer + n);
  }
  paused_ = true;  // resumed by GetData
  return true;
}

void Winsock::SendData(const std::vector<std::uint8_t>& bytes) {
  const SocketLibrary& ws = Sockets();
  if (protocol_ == sckUDPProtocol) {
    if (state_ == sckClosed) OpenUdp();
    hostent* entry = ws.gethostbyname(remote_host_.c_str());
    if (entry == nullptr) Throw(ws.WSAGetLastError());
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = ws.htons(static_cast<u_short>(remote_port_));
    std::memcpy(&peer.sin_addr, entry->h_addr_list[0], sizeof peer.sin_addr);
    int n = ws.sendto(socket_, reinterpret_cast<const char*>(bytes.data()),
                      static_cast<int>(bytes.size()), 0, reinterpret_cast<sockaddr*>(&peer),
                      sizeof peer);
    if (n < 0) Throw(ws.WSAGetLastError());
    return;
  }
  if (state_ != sckConnected) Throw(40006);
  unsent_.insert(unsent_.end(), bytes.begin(), bytes.end());
  FlushSend();
}

void Winsock::SendData(const std::string& text) {
  std::string ansi = Utf8ToAnsi(text);
  SendData(std::vector<std::uint8_t>(ansi.begin(), ansi.end()));
}

void Winsock::FlushSend() {
  const SocketLibrary& ws = Sockets();
  while (!unsent_.empty() && state_ == sckConnected) {
    int n = ws.send(socket_, reinterpret_cast<const char*>(unsent_.data()),
                    static_cast<int>(unsent_.size()), 0);
    if (n < 0) {
      int error = ws.WSAGetLastError();
      if (error != WSAEWOULDBLOCK) Throw(error);
      return;  // the rest goes on FD_WRITE
    }
    unsent_.erase(unsent_.begin(), unsent_.begin() + n);
  }
}

std::vector<std::uint8_t> Winsock::GetDataBytes() {
  std::vector<std::uint8_t> out;
  if (protocol_ == sckUDPProtocol) {
    if (!datagrams_.empty()) {
      out = std::move(datagrams_.front());
      datagrams_.pop_front();
    }
    return out;
  }
  out.swap(stream_);
  if (paused_ && state_ == sckConnected) {
    // What waited is taken in from the queue, so its DataArrival never fires inside GetData.
    paused_ = false;
    window_->Post(socket_msg_, socket_, FD_READ);
  }
  return out;
}

std::string Winsock::GetData() {
  std::vector<std::uint8_t> bytes = GetDataBytes();
  return AnsiToUtf8(std::string(bytes.begin(), bytes.end()));
}

void Winsock::Fail(int number) {
  state_ = sckError;
  FireError(number);
}

bool Winsock::FireError(int number) {
  std::weak_ptr<bool> alive = alive_;
  if (OnError) {
    std::string text = WinsockErrorText(number);
    OnError(number, text.empty() ? "Unknown error" : text);
  }
  return !alive.expired();
}

}  // namespace controls
