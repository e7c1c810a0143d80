#include "wsock_fixture.h"

#include <cstring>

namespace {

template <typename F>
void Resolve(HMODULE m, F* out, int ordinal) {
  *out = win32::ProcAs<F>(GetProcAddress(m, MAKEINTRESOURCEA(ordinal)));
  ASSERT_NE(*out, nullptr) << "ordinal " << ordinal;
}

Winsock Load() {
  Winsock w;
  w.module = LoadLibraryA("WSOCK32.DLL");
  EXPECT_NE(w.module, nullptr) << GetLastError();
  HMODULE m = w.module;
#define WSOCK_TEST_RESOLVE(ordinal, name, type) Resolve(m, &w.name, ordinal);
  WSOCK32_ENTRY_POINTS(WSOCK_TEST_RESOLVE)
#undef WSOCK_TEST_RESOLVE
  return w;
}

WinsockTest* current = nullptr;

}  // namespace

const Winsock& Ws() {
  static const Winsock w = Load();
  return w;
}

void WinsockTest::SetUp() {
  WSADATA data;
  ASSERT_EQ(Ws().WSAStartup(0x0101, &data), 0);
  WNDCLASSA wc{};
  wc.lpfnWndProc = Proc;
  wc.lpszClassName = "wsock_test_notice";
  ASSERT_NE(RegisterClassA(&wc), 0);
  window_ = CreateWindowExA(0, "wsock_test_notice", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr,
                            nullptr);
  ASSERT_NE(window_, nullptr);
  current = this;
}

void WinsockTest::TearDown() {
  for (SOCKET s : sockets_) Ws().closesocket(s);
  if (IsWindow(window_)) DestroyWindow(window_);
  UnregisterClassA("wsock_test_notice", nullptr);
  MSG m;
  while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
  }
  current = nullptr;
  Ws().WSACleanup();
}

LRESULT CALLBACK WinsockTest::Proc(HWND hwnd, UINT msg, WPARAM w, LPARAM l) {
  if (msg != kNotice || current == nullptr) return DefWindowProcA(hwnd, msg, w, l);
  Notice n{static_cast<SOCKET>(w), WSAGETSELECTEVENT(l), WSAGETSELECTERROR(l)};
  current->notices_.push_back(n);
  if (current->on_notice_) current->on_notice_(n);
  return 0;
}

SOCKET WinsockTest::Udp() {
  SOCKET s = Ws().socket(AF_INET, SOCK_DGRAM, 0);
  EXPECT_NE(s, INVALID_SOCKET);
  sockets_.push_back(s);
  sockaddr_in a = Loopback(0);
  EXPECT_EQ(Ws().bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a), 0) << Error();
  return s;
}

SOCKET WinsockTest::Tcp() {
  SOCKET s = Ws().socket(AF_INET, SOCK_STREAM, 0);
  EXPECT_NE(s, INVALID_SOCKET);
  sockets_.push_back(s);
  return s;
}

u_short WinsockTest::PortOf(SOCKET s) {
  sockaddr_in a{};
  int len = sizeof a;
  EXPECT_EQ(Ws().getsockname(s, reinterpret_cast<sockaddr*>(&a), &len), 0) << Error();
  return Ws().ntohs(a.sin_port);
}

sockaddr_in WinsockTest::Loopback(u_short port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = Ws().htons(port);
  a.sin_addr.s_addr = Ws().htonl(INADDR_LOOPBACK);
  return a;
}

u_short WinsockTest::ClosedPort() {
  SOCKET s = Ws().socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in a = Loopback(0);
  Ws().bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
  int len = sizeof a;
  Ws().getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
  Ws().closesocket(s);
  return Ws().ntohs(a.sin_port);
}

void WinsockTest::SendTo(SOCKET from, u_short port, const std::string& data) {
  sockaddr_in a = Loopback(port);
  ASSERT_EQ(Ws().sendto(from, data.data(), static_cast<int>(data.size()), 0,
                        reinterpret_cast<sockaddr*>(&a), sizeof a),
            static_cast<int>(data.size()))
      << Error();
}

void WinsockTest::Watch(SOCKET s, LONG events) {
  ASSERT_EQ(Ws().WSAAsyncSelect(s, window_, kNotice, events), 0) << Error();
}

int WinsockTest::ReadOne(SOCKET s, std::string* data, u_short* from_port, int size) {
  std::string buf(static_cast<std::size_t>(size), '\0');
  sockaddr_in from{};
  int fromlen = sizeof from;
  int n = Ws().recvfrom(s, buf.data(), size, 0, reinterpret_cast<sockaddr*>(&from), &fromlen);
  if (n < 0) return Error();
  data->assign(buf, 0, static_cast<std::size_t>(n));
  if (from_port != nullptr) *from_port = Ws().ntohs(from.sin_port);
  return 0;
}

bool WinsockTest::WaitReadable(SOCKET s) {
  WS_fd_set set{};
  WS_FD_ZERO(&set);
  WS_FD_SET(s, &set);
  WS_timeval tv{2, 0};
  return Ws().select(0, &set, nullptr, nullptr, &tv) == 1;
}

bool WinsockTest::PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(left.count()), QS_ALLINPUT);
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
  }
  return true;
}

void WinsockTest::PumpFor(std::chrono::milliseconds span) {
  PumpUntil([] { return false; }, span);
}

std::vector<Notice> WinsockTest::NoticesOf(int event) const {
  std::vector<Notice> out;
  for (const Notice& n : notices_) {
    if (n.event == event) out.push_back(n);
  }
  return out;
}
