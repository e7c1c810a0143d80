// The socket library as a client sees it: loaded by name, entry points by ordinal; a notice
// window whose procedure records what arrives; a bounded message pump.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "windows.h"
#include "winsock.h"

struct Winsock {
  HMODULE module = nullptr;
#define WSOCK_TEST_ENTRY(ordinal, name, type) type name = nullptr;
  WSOCK32_ENTRY_POINTS(WSOCK_TEST_ENTRY)
#undef WSOCK_TEST_ENTRY
};

// Loaded once per process, as the control's loader does.
const Winsock& Ws();

constexpr UINT kNotice = WM_USER + 0x66;

struct Notice {
  SOCKET socket;
  int event;
  int error;
};

// A test that owns a started library, a notice window and the sockets it makes.
class WinsockTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  SOCKET Udp();                        // bound to 127.0.0.1, port chosen by the system
  SOCKET Tcp();                        // not bound
  u_short PortOf(SOCKET s);            // host order
  sockaddr_in Loopback(u_short port);  // host-order port
  u_short ClosedPort();                // a loopback UDP port nobody listens on
  void SendTo(SOCKET from, u_short port, const std::string& data);
  void Watch(SOCKET s, LONG events);  // WSAAsyncSelect to the notice window
  // Non-blocking read of one datagram; the error when there is none.
  int ReadOne(SOCKET s, std::string* data, u_short* from_port = nullptr, int size = 2048);
  bool WaitReadable(SOCKET s);  // select, up to 2 seconds
  int Error() { return Ws().WSAGetLastError(); }

  // Dispatches messages until `done` says so or the time is up; false on time-out.
  bool PumpUntil(const std::function<bool()>& done,
                 std::chrono::milliseconds limit = std::chrono::seconds(3));
  void PumpFor(std::chrono::milliseconds span);
  std::vector<Notice> NoticesOf(int event) const;

  HWND window_ = nullptr;
  std::vector<Notice> notices_;
  std::function<void(const Notice&)> on_notice_;
  std::vector<SOCKET> sockets_;

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM w, LPARAM l);
};
