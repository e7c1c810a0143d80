#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <thread>
#include <tuple>
#include <vector>

#include "windows.h"

namespace {

using Clock = std::chrono::steady_clock;
using Seen = std::tuple<HWND, UINT, WPARAM>;

// Every test window records what its procedure receives.
std::vector<Seen>& Received() {
  static std::vector<Seen> seen;
  return seen;
}

LRESULT CALLBACK RecordingProc(HWND hwnd, UINT msg, WPARAM w, LPARAM l) {
  Received().emplace_back(hwnd, msg, w);
  if (msg == WM_CREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTA*>(l);
    if (cs->lpCreateParams != nullptr) return *static_cast<LRESULT*>(cs->lpCreateParams);
  }
  return DefWindowProcA(hwnd, msg, w, l);
}

bool Readable(int fd) {
  pollfd p{fd, POLLIN, 0};
  return poll(&p, 1, 0) == 1;
}

class Queue : public ::testing::Test {
 protected:
  void SetUp() override {
    Received().clear();
    WNDCLASSA wc{};
    wc.lpfnWndProc = RecordingProc;
    wc.cbWndExtra = 12;
    wc.lpszClassName = "queue_test_wnd";
    ASSERT_NE(RegisterClassA(&wc), 0);
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
    }
  }
  void TearDown() override {
    for (HWND h : created_) {
      if (IsWindow(h)) DestroyWindow(h);
    }
    EXPECT_TRUE(UnregisterClassA("queue_test_wnd", nullptr));
  }
  HWND Create(HWND parent = nullptr, DWORD style = 0) {
    HWND h = CreateWindowExA(0, "queue_test_wnd", "", style, 0, 0, 0, 0, parent, nullptr, nullptr,
                             nullptr);
    if (h != nullptr) created_.push_back(h);
    return h;
  }
  // Dispatches what waits and returns the messages taken, in order.
  std::vector<MSG> Drain() {
    std::vector<MSG> out;
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
      out.push_back(m);
      DispatchMessageA(&m);
    }
    return out;
  }
  std::vector<HWND> created_;
};

TEST_F(Queue, PostOrderAcrossTwoWindowsWithFilters) {
  HWND a = Create();
  HWND b = Create();
  ASSERT_TRUE(a && b);
  Received().clear();
  ASSERT_TRUE(PostMessageA(a, WM_USER + 1, 11, 0));
  ASSERT_TRUE(PostMessageA(b, WM_USER + 2, 22, 0));
  ASSERT_TRUE(PostMessageA(a, WM_USER + 3, 33, 0));
  ASSERT_TRUE(PostMessageA(nullptr, WM_USER + 4, 44, 0));

  MSG m{};
  ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(m.hwnd, a);
  EXPECT_EQ(m.message, static_cast<UINT>(WM_USER + 1));
  ASSERT_TRUE(PeekMessageA(&m, b, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.wParam, 22u);
  ASSERT_TRUE(PeekMessageA(&m, nullptr, WM_USER + 3, WM_USER + 4, PM_NOREMOVE));
  EXPECT_EQ(m.wParam, 33u);
  ASSERT_TRUE(PeekMessageA(&m, reinterpret_cast<HWND>(-1), 0, 0, PM_NOREMOVE));
  EXPECT_EQ(m.wParam, 44u);  // only thread messages
  EXPECT_FALSE(PeekMessageA(&m, b, 0, 0, PM_REMOVE));

  std::vector<MSG> taken = Drain();
  ASSERT_EQ(taken.size(), 3u);
  EXPECT_EQ(taken[0].wParam, 11u);
  EXPECT_EQ(taken[1].wParam, 33u);
  EXPECT_EQ(taken[2].hwnd, nullptr);
  // The thread message is not dispatched to any window.
  std::vector<Seen> want{{a, WM_USER + 1, 11}, {a, WM_USER + 3, 33}};
  EXPECT_EQ(Received(), want);
}

TEST_F(Queue, QuitComesAfterPostedMessagesOnce) {
  HWND a = Create();
  ASSERT_TRUE(PostMessageA(a, WM_USER, 1, 0));
  PostQuitMessage(7);
  ASSERT_TRUE(PostMessageA(a, WM_USER, 2, 0));
  MSG m{};
  EXPECT_FALSE(PeekMessageA(&m, a, WM_QUIT, WM_QUIT, PM_NOREMOVE));  // a window filter skips it
  ASSERT_EQ(GetMessageA(&m, nullptr, 0, 0), TRUE);
  EXPECT_EQ(m.wParam, 1u);
  ASSERT_EQ(GetMessageA(&m, nullptr, 0, 0), TRUE);
  EXPECT_EQ(m.wParam, 2u);
  ASSERT_EQ(GetMessageA(&m, nullptr, WM_USER, WM_USER), FALSE);  // whatever the range
  EXPECT_EQ(m.message, static_cast<UINT>(WM_QUIT));
  EXPECT_EQ(m.wParam, 7u);
  EXPECT_EQ(m.hwnd, nullptr);
  EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(Queue, WaitEndsOnPostFromAnotherThreadOrAfterTimeout) {
  HWND a = Create();
  auto start = Clock::now();
  EXPECT_EQ(MsgWaitForMultipleObjects(0, nullptr, FALSE, 150, QS_ALLINPUT), WAIT_TIMEOUT);
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(140));

  start = Clock::now();
  std::thread poster([a] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    PostMessageA(a, WM_USER + 9, 0, 0);
  });
  EXPECT_EQ(MsgWaitForMultipleObjects(0, nullptr, FALSE, 5000, 0xFF), WAIT_OBJECT_0);
  poster.join();
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(4));
  // Already waiting: no wait at all. A mask without posted messages sleeps the whole time.
  EXPECT_EQ(MsgWaitForMultipleObjects(0, nullptr, FALSE, 5000, QS_POSTMESSAGE), WAIT_OBJECT_0);
  start = Clock::now();
  EXPECT_EQ(MsgWaitForMultipleObjects(0, nullptr, FALSE, 60, QS_KEY), WAIT_TIMEOUT);
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(55));
  EXPECT_EQ(Drain().size(), 1u);
  EXPECT_EQ(MsgWaitForMultipleObjects(1, nullptr, FALSE, 0, QS_ALLINPUT), WAIT_FAILED);
}

TEST_F(Queue, GetMessageSleepsUntilAnotherThreadPostsAndSkipsWhatTheFilterRefuses) {
  HWND a = Create();
  HWND b = Create();
  ASSERT_TRUE(PostMessageA(b, WM_USER, 1, 0));  // waits, but does not match
  std::thread poster([a] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    PostMessageA(a, WM_USER + 5, 5, 0);
  });
  MSG m{};
  ASSERT_EQ(GetMessageA(&m, a, 0, 0), TRUE);
  poster.join();
  EXPECT_EQ(m.wParam, 5u);
  ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.hwnd, b);
}

TEST_F(Queue, DescriptorIsReadableExactlyWhileMessagesWait) {
  int fd = Win32GetQueueDescriptor();
  ASSERT_GE(fd, 0);
  EXPECT_FALSE(Readable(fd));
  HWND a = Create();
  std::thread([a] { PostMessageA(a, WM_USER, 0, 0); }).join();
  EXPECT_TRUE(Readable(fd));
  MSG m{};
  ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE));
  EXPECT_TRUE(Readable(fd));
  ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
  EXPECT_FALSE(Readable(fd));
  PostQuitMessage(0);
  EXPECT_TRUE(Readable(fd));
  ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
  EXPECT_FALSE(Readable(fd));
  int other = -1;
  std::thread([&other] { other = Win32GetQueueDescriptor(); }).join();
  EXPECT_NE(other, fd);  // one queue per thread
}

TEST_F(Queue, ExtraWordsHoldAPointerInTheFirstEightBytes) {
  HWND h = Create();
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(GetWindowLongPtrA(h, 0), 0);  // zeroed
  EXPECT_EQ(GetWindowLongA(h, 8), 0);
  static int object;
  const auto ptr = reinterpret_cast<LONG_PTR>(&object);
  ASSERT_GT(static_cast<ULONG_PTR>(ptr), 0xFFFFFFFFull) << "test needs a pointer above 4 GiB";
  SetLastError(0);
  EXPECT_EQ(SetWindowLongPtrA(h, 0, ptr), 0);
  EXPECT_EQ(GetLastError(), 0u);
  EXPECT_EQ(SetWindowLongA(h, 8, 0x12345678), 0);
  EXPECT_EQ(GetWindowLongPtrA(h, 0), ptr);
  EXPECT_EQ(GetWindowLongA(h, 0), static_cast<LONG>(ptr & 0xFFFFFFFF));  // the low half
  EXPECT_EQ(GetWindowLongA(h, 8), 0x12345678);

  SetLastError(0);
  EXPECT_EQ(SetWindowLongPtrA(h, 8, -1), 0);  // 8 + 8 > 12
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_INDEX));
  EXPECT_EQ(GetWindowLongA(h, 8), 0x12345678);
  EXPECT_EQ(GetWindowLongA(h, 9), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_INDEX));
  EXPECT_EQ(GetWindowLongA(h, -100), 0);

  EXPECT_EQ(SetWindowLongPtrA(h, GWLP_USERDATA, 77), 0);
  EXPECT_EQ(GetWindowLongPtrA(h, GWLP_USERDATA), 77);
  EXPECT_EQ(GetWindowLongPtrA(h, 0), ptr);
  EXPECT_EQ(GetWindowLongPtrA(h, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&RecordingProc));
  EXPECT_EQ(GetWindowLongA(nullptr, 0), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
}

TEST_F(Queue, DestroyedWindowGetsNoMoreMessages) {
  HWND parent = Create();
  HWND child = Create(parent, WS_CHILD);
  ASSERT_TRUE(parent && child);
  ASSERT_TRUE(PostMessageA(parent, WM_USER, 1, 0));
  ASSERT_TRUE(PostMessageA(child, WM_USER, 2, 0));
  MSG stale{};
  ASSERT_TRUE(PeekMessageA(&stale, parent, 0, 0, PM_NOREMOVE));
  Received().clear();
  ASSERT_TRUE(DestroyWindow(parent));
  std::vector<Seen> want{{parent, WM_DESTROY, 0},
                         {child, WM_DESTROY, 0},
                         {child, WM_NCDESTROY, 0},
                         {parent, WM_NCDESTROY, 0}};
  EXPECT_EQ(Received(), want);
  EXPECT_FALSE(IsWindow(parent));
  EXPECT_FALSE(IsWindow(child));
  Received().clear();
  EXPECT_TRUE(Drain().empty());
  SetLastError(0);
  EXPECT_FALSE(PostMessageA(parent, WM_USER, 3, 0));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
  EXPECT_EQ(DispatchMessageA(&stale), 0);
  EXPECT_TRUE(Received().empty());
  EXPECT_FALSE(DestroyWindow(parent));
}

TEST_F(Queue, OnlyTheCreatingThreadDestroysAndDispatches) {
  HWND h = Create();
  BOOL destroyed = TRUE;
  DWORD error = 0;
  std::thread([&] {
    destroyed = DestroyWindow(h);
    error = GetLastError();
  }).join();
  EXPECT_FALSE(destroyed);
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_TRUE(IsWindow(h));
}

TEST_F(Queue, WindowsOfAnEndedThreadAreGone) {
  HWND h = nullptr;
  std::thread([&] { h = Create(); }).join();
  ASSERT_NE(h, nullptr);
  EXPECT_FALSE(IsWindow(h));
  EXPECT_FALSE(PostMessageA(h, WM_USER, 0, 0));
}

TEST_F(Queue, ClassRulesAndCreationMessages) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = RecordingProc;
  wc.lpszClassName = "QUEUE_TEST_WND";
  SetLastError(0);
  EXPECT_EQ(RegisterClassA(&wc), 0);  // names are matched without regard to case
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_ALREADY_EXISTS));
  wc.lpszClassName = "queue_test_bad";
  wc.cbWndExtra = -4;
  EXPECT_EQ(RegisterClassA(&wc), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(
      CreateWindowExA(0, "no_such_class", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr),
      nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CANNOT_FIND_WND_CLASS));

  Received().clear();
  LRESULT refuse = -1;
  EXPECT_EQ(
      CreateWindowExA(0, "queue_test_wnd", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, &refuse),
      nullptr);
  ASSERT_EQ(Received().size(), 4u);
  EXPECT_EQ(std::get<1>(Received()[0]), static_cast<UINT>(WM_NCCREATE));
  EXPECT_EQ(std::get<1>(Received()[1]), static_cast<UINT>(WM_CREATE));
  EXPECT_EQ(std::get<1>(Received()[3]), static_cast<UINT>(WM_NCDESTROY));

  HWND h = Create();
  EXPECT_FALSE(UnregisterClassA("queue_test_wnd", nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_HAS_WINDOWS));
  ASSERT_TRUE(PostMessageA(h, WM_CLOSE, 0, 0));
  Drain();  // DefWindowProcA destroys on WM_CLOSE
  EXPECT_FALSE(IsWindow(h));
  EXPECT_FALSE(UnregisterClassA("no_such_class", nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_DOES_NOT_EXIST));
}

TEST_F(Queue, QuotaRefusesTheTenThousandAndFirst) {
  HWND h = Create();
  for (int i = 0; i < 10000; ++i) ASSERT_TRUE(PostMessageA(h, WM_USER, i, 0)) << i;
  SetLastError(0);
  EXPECT_FALSE(PostMessageA(h, WM_USER, 0, 0));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_QUOTA));
  MSG m{};
  ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.wParam, 0u);
  EXPECT_TRUE(PostMessageA(h, WM_USER, 0, 0));
}

// A watch turns a ready descriptor into a callback on the queue's thread.
struct WatchLog {
  HWND hwnd = nullptr;
  int calls = 0;
  DWORD revents = 0;
};

void CALLBACK OnWatch(ULONG_PTR context, DWORD revents) {
  auto* log = reinterpret_cast<WatchLog*>(context);
  ++log->calls;
  log->revents = revents;
  PostMessageA(log->hwnd, WM_USER + 50, 0, 0);
}

TEST_F(Queue, WatchReportsReadinessOncePerArming) {
  int pipefd[2];
  ASSERT_EQ(pipe(pipefd), 0);
  WatchLog log;
  log.hwnd = Create();
  HANDLE watch = Win32CreateWatch(log.hwnd, pipefd[0], OnWatch, reinterpret_cast<ULONG_PTR>(&log));
  ASSERT_NE(watch, nullptr);
  ASSERT_TRUE(Win32ArmWatch(watch, POLLIN));
  MSG m{};
  EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(log.calls, 0);

  // Readiness that is gone again before the thread looks is not reported.
  ASSERT_EQ(write(pipefd[1], "a", 1), 1);
  EXPECT_TRUE(Readable(Win32GetQueueDescriptor()));
  char c;
  ASSERT_EQ(read(pipefd[0], &c, 1), 1);
  EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(log.calls, 0);

  ASSERT_EQ(write(pipefd[1], "b", 1), 1);
  ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.message, static_cast<UINT>(WM_USER + 50));
  EXPECT_EQ(log.calls, 1);
  EXPECT_TRUE(log.revents & POLLIN);
  EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));  // disarmed, though still readable
  EXPECT_EQ(log.calls, 1);
  EXPECT_FALSE(Readable(Win32GetQueueDescriptor()));

  ASSERT_TRUE(Win32ArmWatch(watch, POLLIN));
  EXPECT_EQ(MsgWaitForMultipleObjects(0, nullptr, FALSE, 2000, QS_ALLINPUT), WAIT_OBJECT_0);
  EXPECT_EQ(log.calls, 2);
  EXPECT_TRUE(Win32CloseWatch(watch));
  Drain();
  close(pipefd[0]);
  close(pipefd[1]);
}

TEST_F(Queue, EdgeWatchStaysArmedAndReportsOnlyNewReadiness) {
  int pipefd[2];
  ASSERT_EQ(pipe(pipefd), 0);
  WatchLog log;
  log.hwnd = Create();
  HANDLE watch = Win32CreateWatch(log.hwnd, pipefd[0], OnWatch, reinterpret_cast<ULONG_PTR>(&log));
  ASSERT_TRUE(Win32ArmWatch(watch, POLLIN | WIN32_WATCH_EDGE));
  ASSERT_EQ(write(pipefd[1], "a", 1), 1);
  Drain();
  EXPECT_EQ(log.calls, 1);
  Drain();  // still readable, but nothing new
  EXPECT_EQ(log.calls, 1);
  EXPECT_FALSE(Readable(Win32GetQueueDescriptor()));
  ASSERT_EQ(write(pipefd[1], "b", 1), 1);  // no arming in between
  Drain();
  EXPECT_EQ(log.calls, 2);
  EXPECT_TRUE(Win32CloseWatch(watch));
  close(pipefd[0]);
  close(pipefd[1]);
}

// Two watches ready at once, each of which closes the other and frees its context: the one
// called second must not be called at all.
struct Pair {
  HANDLE other = nullptr;
  Pair** other_self = nullptr;  // where the other's context lives, freed on close
  int* calls = nullptr;
};

void CALLBACK OnPaired(ULONG_PTR context, DWORD) {
  auto* self = reinterpret_cast<Pair*>(context);
  ++*self->calls;
  Win32CloseWatch(self->other);
  delete *self->other_self;
  *self->other_self = nullptr;
}

TEST_F(Queue, WatchClosedByAnEarlierCallbackOfTheSameTurnIsNotCalled) {
  int a[2], b[2];
  ASSERT_EQ(pipe(a), 0);
  ASSERT_EQ(pipe(b), 0);
  HWND h = Create();
  int calls = 0;
  Pair* first = new Pair;
  Pair* second = new Pair;
  first->calls = second->calls = &calls;
  HANDLE wa = Win32CreateWatch(h, a[0], OnPaired, reinterpret_cast<ULONG_PTR>(first));
  HANDLE wb = Win32CreateWatch(h, b[0], OnPaired, reinterpret_cast<ULONG_PTR>(second));
  first->other = wb;
  first->other_self = &second;
  second->other = wa;
  second->other_self = &first;
  ASSERT_TRUE(Win32ArmWatch(wa, POLLIN));
  ASSERT_TRUE(Win32ArmWatch(wb, POLLIN));
  ASSERT_EQ(write(a[1], "a", 1), 1);
  ASSERT_EQ(write(b[1], "b", 1), 1);
  Drain();
  EXPECT_EQ(calls, 1);
  // The survivor still owns its watch.
  EXPECT_TRUE((first != nullptr) != (second != nullptr));
  EXPECT_TRUE(Win32CloseWatch(first != nullptr ? wa : wb));
  delete first;
  delete second;
  for (int fd : {a[0], a[1], b[0], b[1]}) close(fd);
}

// Asks for a recheck from inside a window procedure, as a library's recv would.
LRESULT CALLBACK RecheckingProc(HWND hwnd, UINT msg, WPARAM w, LPARAM l) {
  if (msg == WM_USER + 60) {
    Win32RecheckWatch(reinterpret_cast<HANDLE>(l), TRUE);
    // Inside a dispatch it costs nothing: the descriptor says so only once the dispatch ends.
    Received().emplace_back(hwnd, Readable(Win32GetQueueDescriptor()) ? 1u : 0u, w);
    return 0;
  }
  return DefWindowProcA(hwnd, msg, w, l);
}

TEST_F(Queue, RecheckCallsTheWatchOnceWhenTheThreadLooks) {
  int pipefd[2];
  ASSERT_EQ(pipe(pipefd), 0);
  WatchLog log;
  log.hwnd = Create();
  HANDLE watch = Win32CreateWatch(log.hwnd, pipefd[0], OnWatch, reinterpret_cast<ULONG_PTR>(&log));
  ASSERT_TRUE(Win32RecheckWatch(watch, TRUE));
  ASSERT_TRUE(Win32RecheckWatch(watch, FALSE));  // taken back: no call
  Drain();
  EXPECT_EQ(log.calls, 0);

  std::thread([watch] { Win32RecheckWatch(watch, TRUE); }).join();
  EXPECT_TRUE(Readable(Win32GetQueueDescriptor()));
  Drain();
  EXPECT_EQ(log.calls, 1);
  EXPECT_EQ(log.revents, 0u);
  Drain();
  EXPECT_EQ(log.calls, 1);  // once per request

  SetWindowLongPtrA(log.hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&RecheckingProc));
  Received().clear();
  ASSERT_TRUE(PostMessageA(log.hwnd, WM_USER + 60, 0, reinterpret_cast<LPARAM>(watch)));
  MSG m{};
  ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
  DispatchMessageA(&m);
  ASSERT_EQ(Received().size(), 1u);
  EXPECT_EQ(std::get<1>(Received()[0]), 0u);
  EXPECT_TRUE(Readable(Win32GetQueueDescriptor()));
  EXPECT_EQ(log.calls, 1);
  Drain();
  EXPECT_EQ(log.calls, 2);
  EXPECT_TRUE(Win32CloseWatch(watch));
  close(pipefd[0]);
  close(pipefd[1]);
}

TEST_F(Queue, WatchOfAnEndedThreadCannotBeArmed) {
  int pipefd[2];
  ASSERT_EQ(pipe(pipefd), 0);
  WatchLog log;
  HANDLE watch = nullptr;
  std::thread([&] {
    log.hwnd = Create();
    watch = Win32CreateWatch(log.hwnd, pipefd[0], OnWatch, reinterpret_cast<ULONG_PTR>(&log));
  }).join();
  ASSERT_NE(watch, nullptr);
  EXPECT_FALSE(Win32ArmWatch(watch, POLLIN));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_TRUE(Win32CloseWatch(watch));
  EXPECT_EQ(Win32CreateWatch(nullptr, pipefd[0], OnWatch, 0), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
  close(pipefd[0]);
  close(pipefd[1]);
}

}  // namespace
