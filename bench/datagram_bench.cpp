// Datagrams per second delivered through the socket library (WSAAsyncSelect read notices, the
// message queue and its GetMessageA loop, a recvfrom drain loop), against a raw poll + recvfrom
// loop on the host's sockets: loopback, the same payloads, receive buffer and recvfrom buffer,
// rounds alternating.
//   datagram_bench [datagrams per round] [rounds]
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "datagram_raw.h"
#include "windows.h"
#include "winsock.h"

namespace {

using bench::Clock;
using bench::Flow;

constexpr UINT kNotice = WM_USER + 0x66;  // the message number the control's engine uses
constexpr int kReceiveBuffer = 256 * 1024;
constexpr std::size_t kRecvfromBuffer = 2049;  // the control's default packet size, plus one
constexpr long kWindow = 64;
constexpr auto kRoundLimit = std::chrono::seconds(20);

struct Api {
  LPFN_WSASTARTUP startup;
  LPFN_SOCKET socket;
  LPFN_BIND bind;
  LPFN_GETSOCKNAME getsockname;
  LPFN_SETSOCKOPT setsockopt;
  LPFN_RECVFROM recvfrom;
  LPFN_CLOSESOCKET closesocket;
  LPFN_WSAASYNCSELECT async_select;
  LPFN_WSAGETLASTERROR last_error;
  LPFN_HTONL htonl;
  LPFN_NTOHS ntohs;
};

template <typename F>
bool Resolve(HMODULE m, int ordinal, F* out) {
  *out = win32::ProcAs<F>(GetProcAddress(m, MAKEINTRESOURCEA(ordinal)));
  return *out != nullptr;
}

bool Load(Api* api) {
  HMODULE m = LoadLibraryA("WSOCK32.DLL");
  if (m == nullptr) return false;
  bool ok =
      Resolve(m, WSOCK32_ORD_WSASTARTUP, &api->startup) &&
      Resolve(m, WSOCK32_ORD_SOCKET, &api->socket) && Resolve(m, WSOCK32_ORD_BIND, &api->bind) &&
      Resolve(m, WSOCK32_ORD_GETSOCKNAME, &api->getsockname) &&
      Resolve(m, WSOCK32_ORD_SETSOCKOPT, &api->setsockopt) &&
      Resolve(m, WSOCK32_ORD_RECVFROM, &api->recvfrom) &&
      Resolve(m, WSOCK32_ORD_CLOSESOCKET, &api->closesocket) &&
      Resolve(m, WSOCK32_ORD_WSAASYNCSELECT, &api->async_select) &&
      Resolve(m, WSOCK32_ORD_WSAGETLASTERROR, &api->last_error) &&
      Resolve(m, WSOCK32_ORD_HTONL, &api->htonl) && Resolve(m, WSOCK32_ORD_NTOHS, &api->ntohs);
  WSADATA data;
  return ok && api->startup(0x0101, &data) == 0;
}

Api g_api;

// The notice window's state for one round.
struct Receiver {
  SOCKET socket = INVALID_SOCKET;
  Flow* flow = nullptr;
  std::vector<char> buf = std::vector<char>(kRecvfromBuffer);
  long notices = 0;
  long errors = 0;
};
Receiver* g_receiver = nullptr;

constexpr UINT kStop = WM_USER + 1;

LRESULT CALLBACK NoticeProc(HWND hwnd, UINT msg, WPARAM w, LPARAM l) {
  if (msg == kStop) {
    PostQuitMessage(0);
    return 0;
  }
  if (msg != kNotice || g_receiver == nullptr || w != g_receiver->socket) {
    return DefWindowProcA(hwnd, msg, w, l);
  }
  Receiver& r = *g_receiver;
  ++r.notices;
  for (;;) {
    sockaddr_in from{};
    int fromlen = sizeof from;
    int n = g_api.recvfrom(r.socket, r.buf.data(), static_cast<int>(r.buf.size()), 0,
                           reinterpret_cast<sockaddr*>(&from), &fromlen);
    if (n == SOCKET_ERROR) {
      if (g_api.last_error() != WSAEWOULDBLOCK) ++r.errors;
      break;
    }
    r.flow->received.fetch_add(1, std::memory_order_release);
  }
  if (r.flow->received.load(std::memory_order_relaxed) >= r.flow->total) PostQuitMessage(0);
  return 0;
}

struct Round {
  double rate = 0;  // datagrams per second
  long lost = 0;
  long notices = 0;
};

Round Finish(Flow& flow, Clock::time_point start, std::thread& sender) {
  auto elapsed = std::chrono::duration<double>(Clock::now() - start).count();
  flow.stop = true;
  sender.join();
  long got = flow.received.load();
  return {static_cast<double>(got) / elapsed, flow.total - got, 0};
}

Round RunRaw(std::size_t payload, long total) {
  std::uint16_t port = 0;
  int fd = bench::OpenRaw(kReceiveBuffer, &port);
  Flow flow;
  flow.total = total;
  flow.window = kWindow;
  auto start = Clock::now();
  std::thread sender([&] { bench::SendAll(port, payload, flow); });
  bench::ReceiveRaw(fd, kRecvfromBuffer, flow, start + kRoundLimit);
  Round r = Finish(flow, start, sender);
  bench::CloseRaw(fd);
  return r;
}

Round RunWinsock(HWND hwnd, std::size_t payload, long total) {
  Receiver rx;
  rx.socket = g_api.socket(AF_INET, SOCK_DGRAM, 0);
  int rcvbuf = kReceiveBuffer;
  g_api.setsockopt(rx.socket, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<char*>(&rcvbuf),
                   sizeof rcvbuf);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = g_api.htonl(INADDR_LOOPBACK);
  g_api.bind(rx.socket, reinterpret_cast<sockaddr*>(&a), sizeof a);
  int len = sizeof a;
  g_api.getsockname(rx.socket, reinterpret_cast<sockaddr*>(&a), &len);
  g_api.async_select(rx.socket, hwnd, kNotice, FD_READ);
  Flow flow;
  flow.total = total;
  flow.window = kWindow;
  rx.flow = &flow;
  g_receiver = &rx;
  const std::uint16_t port = g_api.ntohs(a.sin_port);
  auto start = Clock::now();
  std::thread sender([&] { bench::SendAll(port, payload, flow); });
  // The round's bound: a stop message from another thread ends the loop if it takes too long.
  std::atomic<bool> done{false};
  std::thread watchdog([&] {
    while (!done && Clock::now() < start + kRoundLimit) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (!done) PostMessageA(hwnd, kStop, 0, 0);
  });
  // The ordinary message loop.
  MSG m;
  while (GetMessageA(&m, nullptr, 0, 0) > 0) {
    TranslateMessage(&m);
    DispatchMessageA(&m);
  }
  done = true;
  watchdog.join();
  Round r = Finish(flow, start, sender);
  r.notices = rx.notices;
  g_receiver = nullptr;
  g_api.closesocket(rx.socket);
  if (rx.errors != 0) std::fprintf(stderr, "recvfrom failed %ld times\n", rx.errors);
  return r;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const long total = argc > 1 ? std::atol(argv[1]) : 50000;
  const int rounds = argc > 2 ? std::atoi(argv[2]) : 15;
  if (total <= 0 || rounds <= 0 || !Load(&g_api)) {
    std::fprintf(stderr, "usage: datagram_bench [datagrams] [rounds]; needs WSOCK32.DLL\n");
    return 2;
  }
  WNDCLASSA wc{};
  wc.lpfnWndProc = NoticeProc;
  wc.cbWndExtra = 12;
  wc.lpszClassName = "datagram_bench_notice";
  RegisterClassA(&wc);
  HWND hwnd =
      CreateWindowExA(0, wc.lpszClassName, "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);

  std::printf(
      "%ld datagrams per round, %d rounds each, SO_RCVBUF %d, recvfrom buffer %zu, "
      "sender window %ld\n",
      total, rounds, kReceiveBuffer, kRecvfromBuffer, kWindow);
  std::printf("%8s %14s %14s %7s %9s %6s\n", "payload", "raw dg/s", "winsock dg/s", "ratio",
              "notices", "lost");
  bool all_met = true;
  for (std::size_t payload : {std::size_t{8}, std::size_t{200}, std::size_t{1400}}) {
    std::vector<double> raw;
    std::vector<double> ws;
    long notices = 0;
    long lost = 0;
    for (int i = 0; i < rounds; ++i) {
      // Alternate which goes first, so that a drift of the machine's load favours neither.
      Round a;
      Round b;
      if (i % 2 == 0) {
        a = RunRaw(payload, total);
        b = RunWinsock(hwnd, payload, total);
      } else {
        b = RunWinsock(hwnd, payload, total);
        a = RunRaw(payload, total);
      }
      raw.push_back(a.rate);
      ws.push_back(b.rate);
      notices += b.notices;
      lost += a.lost + b.lost;
    }
    double ratio = Median(ws) / Median(raw);
    all_met = all_met && ratio >= 0.9;
    std::printf("%8zu %14.0f %14.0f %7.3f %9ld %6ld\n", payload, Median(raw), Median(ws), ratio,
                notices / rounds, lost);
  }
  std::printf("target: at least 0.9 of raw: %s\n", all_met ? "met" : "NOT met");
  DestroyWindow(hwnd);
  return 0;
}
