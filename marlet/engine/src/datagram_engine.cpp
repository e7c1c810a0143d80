#include "marlet/datagram_engine.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <new>

#include "marlet/socket_function_table.h"
#include "marlet/winsock_library.h"

namespace marlet {
namespace {

constexpr int kWindowExtraBytes = 12;

// Engines of the process; the last one to go takes the notice window class with it.
std::atomic<int> g_engines{0};

sockaddr_in Address(ULONG address, uint16_t port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = g_sockets.htons(port);
  a.sin_addr.s_addr = address;
  return a;
}

}  // namespace

// Held by every frame that calls out to the sink and uses the engine afterwards: a handler may
// have destroyed it meanwhile, which the destructor tells each guard still on the stack.
class DatagramEngine::LifeGuard {
 public:
  explicit LifeGuard(DatagramEngine* engine) : engine_(engine), next_(engine->guards_) {
    engine->guards_ = this;
  }
  ~LifeGuard() {
    if (!destroyed_) engine_->guards_ = next_;
  }
  LifeGuard(const LifeGuard&) = delete;
  LifeGuard& operator=(const LifeGuard&) = delete;

  bool destroyed() const { return destroyed_; }
  static void EngineDestroyed(LifeGuard* first) {
    for (LifeGuard* g = first; g; g = g->next_) g->destroyed_ = true;
  }

 private:
  DatagramEngine* engine_;
  LifeGuard* next_;
  bool destroyed_ = false;
};

LRESULT CALLBACK NoticeWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* engine = reinterpret_cast<DatagramEngine*>(GetWindowLongPtrA(window, 0));
  if (!engine) return DefWindowProcA(window, message, wparam, lparam);
  return engine->WindowProc(window, message, wparam, lparam);
}

namespace {

HWND CreateNoticeWindow(DatagramEngine* engine) {
  if (!WinsockLibrary::WindowClassRegistered()) {
    WNDCLASSA wc{};
    wc.style = CS_GLOBALCLASS;
    wc.lpfnWndProc = &NoticeWindowProc;
    wc.cbWndExtra = kWindowExtraBytes;
    wc.lpszClassName = kNoticeWindowClass;
    if (RegisterClassA(&wc)) WinsockLibrary::SetWindowClassRegistered(true);
  }
  HWND window =
      CreateWindowExA(0, kNoticeWindowClass, "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
  // A pointer does not fit the 32-bit window word on 64 bits: the pointer-sized one.
  if (window) SetWindowLongPtrA(window, 0, reinterpret_cast<LONG_PTR>(engine));
  return window;
}

}  // namespace

void UnregisterNoticeWindowClass() {
  if (!WinsockLibrary::WindowClassRegistered()) return;
  UnregisterClassA(kNoticeWindowClass, nullptr);
  WinsockLibrary::SetWindowClassRegistered(false);
}

DatagramEngine::DatagramEngine(EventSink* sink) : sink_(sink) {
  ++g_engines;
  charset_mode_ = GetACP() == 932 ? 1 : 0;
  window_ = CreateNoticeWindow(this);
  if (window_) winsock_loaded_ = WinsockLibrary::Load();
  buffer_.reset(new (std::nothrow) char[kDefaultBufferSize + 1]);
  if (buffer_) {
    max_packet_size_ = kDefaultBufferSize;
  } else {
    Refuse(kOutOfMemory);
  }
}

DatagramEngine::~DatagramEngine() {
  LifeGuard::EngineDestroyed(guards_);
  Begin();
  if (g_sockets.WSAIsBlocking()) g_sockets.WSACancelBlockingCall();
  // Datagrams still waiting are dropped with the socket, not delivered.
  if (socket_ != INVALID_SOCKET) CloseSocket();
  buffer_.reset();
  ReleaseWinsock();
  if (window_) {
    // Messages still queued for the window reach default processing, not this engine.
    SetWindowLongPtrA(window_, 0, 0);
    DestroyWindow(window_);
  }
  if (--g_engines == 0) UnregisterNoticeWindowClass();
}

Code DatagramEngine::Begin() {
  code_ = kOk;
  text_.Clear();
  return kOk;
}

Code DatagramEngine::Finish(Code code) {
  return code_ = code;
}

Code DatagramEngine::Refuse(Code rule) {
  if (const char* text = RuleText(rule)) text_.Set(text);
  return Finish(rule);
}

Code DatagramEngine::LastSocketError() {
  return Finish(g_sockets.WSAGetLastError());
}

bool DatagramEngine::LoadWinsock() {
  if (!winsock_loaded_) winsock_loaded_ = WinsockLibrary::Load();
  return winsock_loaded_;
}

void DatagramEngine::ReleaseWinsock() {
  if (!winsock_loaded_) return;
  winsock_loaded_ = false;
  WinsockLibrary::Release();
}

LRESULT DatagramEngine::WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message != kSocketNotice || socket_ == INVALID_SOCKET || wparam != socket_) {
    return DefWindowProcA(window, message, wparam, lparam);
  }
  // The error half of the notice is not looked at: the read itself reports the error.
  switch (static_cast<WORD>(lparam & 0xFFFF)) {
    case FD_READ:
      if (accept_data_ && !in_receive_) {
        in_receive_ = true;
        if (!ReceiveLoop(false)) return 0;
        in_receive_ = false;
        if (close_pending_) Deactivate();
      }
      break;
    case FD_WRITE:
      if (sink_) sink_->ReadyToSend();  // the last use of the engine: a handler may destroy it
      break;
    default:
      break;
  }
  return 0;
}

void DatagramEngine::Close() {
  if (socket_ != INVALID_SOCKET) CloseSocket();
  in_receive_ = false;
  accept_data_ = true;
}

int DatagramEngine::CloseSocket() {
  const int result = g_sockets.closesocket(socket_);
  // With the table on its placeholders the call above failed with 10093, but the library
  // may still be started by someone else, with this socket bound in it.
  if (socket_closer_ && g_sockets.closesocket != socket_closer_) socket_closer_(socket_);
  socket_ = INVALID_SOCKET;
  socket_closer_ = nullptr;
  return result;
}

bool DatagramEngine::EnsureBuffer() {
  if (!buffer_) buffer_.reset(new (std::nothrow) char[max_packet_size_ + 1]);
  return buffer_ != nullptr;
}

Code DatagramEngine::Activate() {
  Begin();
  if (socket_ != INVALID_SOCKET) return Refuse(kAlreadyActive);
  close_pending_ = false;
  if (use_connection_ && remote_port_ == 0) return Refuse(kRemotePortZero);

  socket_ = g_sockets.socket(AF_INET, SOCK_DGRAM, 0);
  if (socket_ == INVALID_SOCKET) return LastSocketError();
  socket_closer_ = g_sockets.closesocket;
  if (share_local_port_) SetIntOption(SOL_SOCKET, SO_REUSEADDR, 1);

  const sockaddr_in local = Address(local_address_, local_port_);
  if (g_sockets.bind(socket_, reinterpret_cast<const sockaddr*>(&local), sizeof local) ==
      SOCKET_ERROR) {
    const Code code = LastSocketError();
    Close();
    return code;
  }
  ApplyOptions();
  SetIntOption(SOL_SOCKET, SO_BROADCAST, 1);

  if (use_connection_) {
    const sockaddr_in remote = Address(remote_address_, remote_port_);
    if (g_sockets.connect(socket_, reinterpret_cast<const sockaddr*>(&remote), sizeof remote) ==
        SOCKET_ERROR) {
      const Code code = LastSocketError();
      if (code != kWouldBlock) {
        Close();
        return code;
      }
    }
  }
  if (g_sockets.WSAAsyncSelect(socket_, window_, kSocketNotice, FD_READ | FD_WRITE) ==
      SOCKET_ERROR) {
    const Code code = LastSocketError();
    Close();
    return code;
  }
  return Finish(kOk);
}

void DatagramEngine::ApplyOptions() {
  SetIntOption(SOL_SOCKET, SO_RCVBUF, in_buffer_size_);
  SetIntOption(SOL_SOCKET, SO_SNDBUF, out_buffer_size_);
  SetIntOption(SOL_SOCKET, SO_DONTROUTE, dont_route_ ? 1 : 0);
  // IP_TOS and IP_TTL carry the numbers of the 1.1 interface, which the library maps.
  if (type_of_service_ != 0) SetIntOption(IPPROTO_IP, IP_TOS, type_of_service_);
  if (time_to_live_ != 0) SetIntOption(IPPROTO_IP, IP_TTL, time_to_live_);
}

Code DatagramEngine::SetIntOption(int level, int option, int value) {
  if (g_sockets.setsockopt(socket_, level, option, reinterpret_cast<const char*>(&value),
                           sizeof value) == SOCKET_ERROR) {
    return g_sockets.WSAGetLastError();
  }
  return kOk;
}

Code DatagramEngine::Deactivate() {
  Begin();
  if (socket_ == INVALID_SOCKET) {
    Close();
    return Finish(kOk);
  }
  if (in_receive_) {
    close_pending_ = true;
    return Finish(kOk);
  }
  // Returns without touching the engine when a handler destroyed it; the caller holds its
  // owner for the call, or must not use it after.
  if (accept_data_ && !ReceiveLoop(true)) return kOk;
  // A handler may have closed the socket from inside that loop; that close was the close.
  if (socket_ == INVALID_SOCKET) {
    Close();
    return Finish(kOk);
  }
  const int result = CloseSocket();
  Close();
  if (result == SOCKET_ERROR) return LastSocketError();
  return Finish(kOk);
}

namespace {

// A sender that keeps the socket readable must not keep the thread here. A notice's pass ends
// after a slice and posts the notice again, so the rest is read, in order and without loss,
// after the host's loop has had a turn for its timers and input. Deactivation drains for a
// second at most: what was waiting when it began takes far less, and the rest is closed away.
constexpr auto kReceiveSlice = std::chrono::milliseconds(10);
constexpr auto kDrainLimit = std::chrono::milliseconds(1000);

}  // namespace

bool DatagramEngine::ReceiveLoop(bool nested) {
  const auto until = std::chrono::steady_clock::now() + (nested ? kDrainLimit : kReceiveSlice);
  while (socket_ != INVALID_SOCKET && accept_data_) {
    if (close_pending_ && !nested) {
      in_receive_ = false;
      LifeGuard guard(this);
      Deactivate();
      return !guard.destroyed();
    }
    // Empty only while a delivery further up the stack has it: that one needs its bytes.
    if (!EnsureBuffer()) {
      if (sink_) sink_->Error(kOutOfMemory, "Out of memory.");
      return true;
    }
    sockaddr_in from{};
    int received;
    if (use_connection_) {
      received = g_sockets.recv(socket_, buffer_.get(), static_cast<int>(max_packet_size_), 0);
      from = Address(remote_address_, remote_port_);
    } else {
      int from_length = sizeof from;
      received = g_sockets.recvfrom(socket_, buffer_.get(), static_cast<int>(max_packet_size_), 0,
                                    reinterpret_cast<sockaddr*>(&from), &from_length);
    }
    if (received == SOCKET_ERROR) {
      const Code code = g_sockets.WSAGetLastError();
      if (code == kWouldBlock || code == kNotSocket) return true;
      if (!sink_) return true;
      LifeGuard guard(this);
      sink_->Error(code, code == kConnectionReset ? kUnreachableText : kRecvErrorText);
      return !guard.destroyed();
    }
    // An empty datagram is consumed without an event; the ones queued behind it are
    // still read, also when deactivation is draining the socket.
    if (received > 0 && !Deliver(received, from)) return false;
    if (std::chrono::steady_clock::now() >= until) {
      if (!nested && socket_ != INVALID_SOCKET && accept_data_) {
        PostMessageA(window_, kSocketNotice, socket_, FD_READ);
      }
      return true;
    }
  }
  return true;
}

bool DatagramEngine::Deliver(int length, const sockaddr_in& from) {
  if (!sink_) return true;
  const char* address = g_sockets.inet_ntoa(from.sin_addr);
  const uint16_t port = g_sockets.ntohs(from.sin_port);
  // The address text lives in the library's per-thread buffer: copy it before the
  // handler makes another library call.
  char address_copy[16] = {};
  if (address) std::strncpy(address_copy, address, sizeof address_copy - 1);
  // Lent, not shared: a handler that receives again (deactivating) or changes MaxPacketSize
  // gets a buffer of its own, and the host can still read these bytes until the event ends.
  std::unique_ptr<char[]> lent = std::move(buffer_);
  const uint32_t lent_size = max_packet_size_;
  lent[length] = '\0';
  LifeGuard guard(this);
  sink_->Deliver(lent.get(), length, address_copy, port);
  if (guard.destroyed()) return false;
  if (!buffer_ && lent_size == max_packet_size_) buffer_ = std::move(lent);
  return true;
}

Code DatagramEngine::Send(const char* data, int length) {
  Begin();
  if (socket_ == INVALID_SOCKET) return Refuse(kNotActive);
  if (length <= 0) return Finish(kOk);
  int result;
  if (use_connection_) {
    result = g_sockets.send(socket_, data, length, 0);
  } else {
    const sockaddr_in remote = Address(remote_address_, remote_port_);
    result = g_sockets.sendto(socket_, data, length, 0, reinterpret_cast<const sockaddr*>(&remote),
                              sizeof remote);
  }
  // A would-block drops the datagram; the caller waits for ReadyToSend.
  if (result == SOCKET_ERROR) return LastSocketError();
  return Finish(kOk);
}

Code DatagramEngine::SetAcceptData(bool accept) {
  Begin();
  accept_data_ = accept;
  if (accept && socket_ != INVALID_SOCKET) {
    PostMessageA(window_, kSocketNotice, socket_, FD_READ);
  }
  return Finish(kOk);
}

bool DatagramEngine::PumpStep(DWORD wait_ms) {
  MSG msg;
  if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      // Left for the thread's own loop to see.
      PostQuitMessage(static_cast<int>(msg.wParam));
    } else {
      LifeGuard guard(this);
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
      if (guard.destroyed()) return false;
    }
  } else if (wait_ms > 0) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, wait_ms, 0xFF);
  }
  return window_ && IsWindow(window_);
}

}  // namespace marlet
