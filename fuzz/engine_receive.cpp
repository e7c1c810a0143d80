// The datagram engine's receive path on a scripted socket: datagrams of 0 to 65,507 bytes with
// NULs, receive errors, notices, and handlers that call back in (deactivate, resize the
// buffer, reactivate, turn AcceptData off) or destroy the engine. Every delivery must hand
// over exactly the bytes received, NUL-terminated, and nothing the script did not send.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <string>
#include <utility>

#include "marlet/datagram_engine.h"
#include "marlet/socket_function_table.h"
#include "marlet/winsock_library.h"

namespace {

using marlet::DatagramEngine;
using marlet::g_sockets;

constexpr SOCKET kSocket = 0x5150;
constexpr int kLargestDatagram = 65507;

// What the scripted socket holds: datagrams, or an error standing in the queue.
struct Item {
  std::string bytes;
  int error = 0;
};
std::deque<Item> g_queue;
int g_last_error = 0;
bool g_open = false;
// The datagram the socket handed out last, until the engine delivers it.
bool g_pending = false;
std::string g_received;

int WINAPI Fail(int code) {
  g_last_error = code;
  return SOCKET_ERROR;
}
SOCKET WINAPI Socket(int, int, int) {
  g_open = true;
  return kSocket;
}
int WINAPI Ok() {
  return 0;
}
int WINAPI Bind(SOCKET, const sockaddr*, int) {
  return 0;
}
int WINAPI Connect(SOCKET, const sockaddr*, int) {
  return 0;
}
int WINAPI SetOption(SOCKET, int, int, const char*, int) {
  return 0;
}
int WINAPI Select(SOCKET, HWND, UINT, LONG) {
  return 0;
}
int WINAPI Close(SOCKET s) {
  if (s != kSocket || !g_open) std::abort();  // closed twice, or a handle it never had
  g_open = false;
  return 0;
}
int WINAPI ReceiveFrom(SOCKET s, char* buf, int len, int, sockaddr* from, int* from_len) {
  if (s != kSocket || !g_open) return Fail(WSAENOTSOCK);
  if (g_queue.empty()) return Fail(WSAEWOULDBLOCK);
  Item item = std::move(g_queue.front());
  g_queue.pop_front();
  if (item.error != 0) return Fail(item.error);
  if (from != nullptr) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = 0x3930;
    a.sin_addr.s_addr = 0x0100007F;
    std::memcpy(from, &a, sizeof a);
    *from_len = sizeof a;
  }
  if (g_pending) std::abort();  // the one before was neither delivered nor an empty one
  const int n = static_cast<int>(item.bytes.size());
  std::memcpy(buf, item.bytes.data(), static_cast<std::size_t>(std::min(n, len)));
  if (n > len) return Fail(WSAEMSGSIZE);
  g_pending = n > 0;
  g_received = std::move(item.bytes);
  return n;
}
int WINAPI Receive(SOCKET s, char* buf, int len, int flags) {
  return ReceiveFrom(s, buf, len, flags, nullptr, nullptr);
}
int WINAPI LastError() {
  return g_last_error;
}
char* WINAPI AddressText(in_addr) {
  static char text[] = "127.0.0.1";
  return text;
}
u_short WINAPI Swap(u_short v) {
  return static_cast<u_short>(v << 8 | v >> 8);
}

void InstallSocket() {
  g_sockets.socket = &Socket;
  g_sockets.bind = &Bind;
  g_sockets.connect = &Connect;
  g_sockets.setsockopt = &SetOption;
  g_sockets.WSAAsyncSelect = &Select;
  g_sockets.closesocket = &Close;
  g_sockets.recvfrom = &ReceiveFrom;
  g_sockets.recv = &Receive;
  g_sockets.WSAGetLastError = &LastError;
  g_sockets.inet_ntoa = &AddressText;
  g_sockets.htons = &Swap;
  g_sockets.ntohs = &Swap;
  g_sockets.WSACancelBlockingCall = reinterpret_cast<LPFN_WSACANCELBLOCKINGCALL>(&Ok);
}

// Reads the script.
struct Script {
  const uint8_t* p;
  const uint8_t* end;
  bool more() const { return p < end; }
  unsigned byte() { return p < end ? *p++ : 0; }
  unsigned word() { return byte() | byte() << 8; }
};

enum class Action { kNothing, kDeactivate, kResize, kReactivate, kAcceptOff, kDestroy };

struct Sink : marlet::EventSink {
  std::unique_ptr<DatagramEngine>* owner = nullptr;
  Action action = Action::kNothing;
  LONG resize_to = 0;

  void Deliver(const char* data, int length, const char* address, uint16_t port) override {
    // Exactly the datagram just received, whole, with the spare NUL after it.
    if (!g_pending) std::abort();
    g_pending = false;
    const std::string want = std::move(g_received);
    if (want.size() != static_cast<std::size_t>(length) ||
        std::memcmp(want.data(), data, want.size()) != 0 || data[length] != '\0' ||
        std::strcmp(address, "127.0.0.1") != 0 || port != 12345) {
      std::abort();
    }
    Act();
    // The bytes stay lent until the delivery returns, whatever the handler did.
    if (std::memcmp(want.data(), data, want.size()) != 0) std::abort();
  }
  void Error(marlet::Code code, const char*) override {
    if (code == WSAEWOULDBLOCK || code == WSAENOTSOCK) std::abort();  // quiet codes
    Act();
  }
  void ReadyToSend() override {}

  void Act() {
    DatagramEngine* e = owner->get();
    switch (std::exchange(action, Action::kNothing)) {
      case Action::kNothing:
        break;
      case Action::kDeactivate:
        e->Deactivate();
        break;
      case Action::kResize:
        e->Deactivate();
        e->SetMaxPacketSize(resize_to);
        break;
      case Action::kReactivate:
        e->Deactivate();
        e->SetMaxPacketSize(resize_to);
        e->Activate();
        break;
      case Action::kAcceptOff:
        e->SetAcceptData(false);
        break;
      case Action::kDestroy:
        owner->reset();
        break;
    }
  }
};

void Pump() {
  MSG msg;
  for (int i = 0; i < 64 && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE); ++i) {
    DispatchMessageA(&msg);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // No library: the engine runs on the table, which the script's socket then fills.
  marlet::WinsockLibrary::SetPath("/nonexistent/wsock32-for-fuzzing.so");
  Script in{data, data + size};
  Sink sink;
  auto engine = std::make_unique<DatagramEngine>(&sink);
  sink.owner = &engine;
  InstallSocket();
  g_queue.clear();
  g_open = false;
  g_pending = false;
  engine->SetMaxPacketSize(static_cast<LONG>(in.word() % 4096));
  engine->Activate();

  for (int steps = 0; in.more() && engine && steps < 256; ++steps) {
    switch (in.byte() % 8) {
      case 0: {  // a datagram: its length, then its bytes (NULs where the input runs out)
        const unsigned low = in.word();
        const unsigned high = in.byte() & 1;
        const int length = static_cast<int>((low | high << 16) % (kLargestDatagram + 1));
        std::string bytes(static_cast<std::size_t>(length), '\0');
        const std::size_t take =
            std::min<std::size_t>(bytes.size(), static_cast<std::size_t>(in.end - in.p));
        std::memcpy(bytes.data(), in.p, take);
        in.p += take;
        g_queue.push_back({bytes, 0});
        break;
      }
      case 1: {
        static constexpr int kErrors[] = {WSAEWOULDBLOCK, WSAENOTSOCK,       WSAEMSGSIZE,
                                          WSAECONNRESET,  WSANOTINITIALISED, WSAENETDOWN};
        g_queue.push_back({{}, kErrors[in.byte() % 6]});
        break;
      }
      case 2:
        if (engine->active()) {
          PostMessageA(engine->notice_window(), marlet::kSocketNotice, kSocket, FD_READ);
        }
        Pump();
        break;
      case 3:
        sink.action = static_cast<Action>(in.byte() % 6);
        sink.resize_to = static_cast<LONG>(in.word() % 4096);
        break;
      case 4:
        engine->SetAcceptData((in.byte() & 1) != 0);
        Pump();
        break;
      case 5:
        engine->Deactivate();
        break;
      case 6:
        engine->Activate();
        break;
      case 7:
        engine->SetMaxPacketSize(static_cast<LONG>(in.word()));
        break;
    }
  }
  engine.reset();
  Pump();
  // The engine left its socket open, or took a datagram it never delivered.
  if (g_open || g_pending) std::abort();
  g_queue.clear();
  marlet::ResetSocketFunctions(g_sockets);
  return 0;
}
