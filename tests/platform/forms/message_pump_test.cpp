// The Qt event loop runs the thread's window-message queue.
#include <gtest/gtest.h>

#include <QEventLoop>
#include <QTimer>
#include <chrono>
#include <thread>
#include <vector>

#include "forms/message_pump.h"
#include "windows.h"
#include "win32/winuser.h"

namespace {

std::vector<std::pair<UINT, WPARAM>> received;
// Until then, each kFlood notice posts the next one.
constexpr UINT kFlood = WM_USER + 4;
std::chrono::steady_clock::time_point flood_end;

LRESULT CALLBACK Record(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg >= WM_USER) received.emplace_back(msg, wp);
  if (msg == kFlood && std::chrono::steady_clock::now() < flood_end) PostMessageA(hwnd, msg, wp + 1, 0);
  return DefWindowProcA(hwnd, msg, wp, lp);
}

class PumpedWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    received.clear();
    WNDCLASSA wc{};
    wc.lpfnWndProc = Record;
    wc.lpszClassName = "forms_pump_probe";
    RegisterClassA(&wc);
    hwnd_ = CreateWindowExA(0, "forms_pump_probe", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(hwnd_, nullptr);
  }
  void TearDown() override {
    DestroyWindow(hwnd_);
    UnregisterClassA("forms_pump_probe", nullptr);
  }
  HWND hwnd_ = nullptr;
};

TEST_F(PumpedWindow, NoticesPostedFromAnotherThreadAreDispatchedByTheEventLoopInOrder) {
  std::thread poster([this] {
    for (WPARAM i = 0; i < 3; ++i) PostMessageA(hwnd_, WM_USER + 1, i, 0);
  });
  poster.join();
  // A plain Qt loop, not DoEvents: only the queue's descriptor can bring the messages in.
  QEventLoop loop;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
    if (received.size() >= 3) loop.quit();
  });
  poll.start(5);
  QTimer::singleShot(5000, &loop, &QEventLoop::quit);
  loop.exec();
  ASSERT_EQ(received.size(), 3u);
  for (WPARAM i = 0; i < 3; ++i) EXPECT_EQ(received[i], std::make_pair(UINT{WM_USER + 1}, i));
}

TEST_F(PumpedWindow, PumpStepDrainsWhatIsWaitingAndADestroyedWindowGetsNothing) {
  PostMessageA(hwnd_, WM_USER + 2, 7, 0);
  PostMessageA(hwnd_, WM_USER + 2, 8, 0);
  EXPECT_EQ(forms::PumpWindowMessages(), 2);
  EXPECT_EQ(received.size(), 2u);
  PostMessageA(hwnd_, WM_USER + 3, 9, 0);
  DestroyWindow(hwnd_);
  EXPECT_EQ(forms::PumpWindowMessages(), 0);
  EXPECT_EQ(received.size(), 2u);
  hwnd_ = nullptr;
}

// A window that posts itself a new notice from every notice never lets the queue run dry;
// the event loop still gets its turns for timers while that goes on.
TEST_F(PumpedWindow, EndlessNoticesLeaveTheEventLoopItsTurns) {
  flood_end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  PostMessageA(hwnd_, kFlood, 0, 0);
  QEventLoop loop;
  int ticks = 0;
  QTimer tick;
  QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
    if (++ticks == 5) loop.quit();
  });
  tick.start(10);
  QTimer::singleShot(10000, &loop, &QEventLoop::quit);
  loop.exec();
  EXPECT_EQ(ticks, 5);
  EXPECT_LT(std::chrono::steady_clock::now(), flood_end) << "the timer ran only once the notices ended";
  EXPECT_GT(received.size(), 10u);
  // What DoEvents runs comes back too.
  const auto before = std::chrono::steady_clock::now();
  EXPECT_GT(forms::PumpWindowMessages(), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(1));
  flood_end = {};
  forms::PumpWindowMessages();
}

}  // namespace
