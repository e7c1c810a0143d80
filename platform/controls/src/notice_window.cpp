#include "notice_window.h"

#include <sys/timerfd.h>
#include <unistd.h>

#include <cstdint>
#include <mutex>
#include <poll.h>

#include "forms/runtime_error.h"

namespace controls {
namespace {

constexpr char kClassName[] = "ControlsNoticeWindow";

}  // namespace

NoticeWindow::NoticeWindow(Handler handler) : handler_(std::move(handler)) {
  static std::once_flag once;
  std::call_once(once, [] {
    WNDCLASSA wc{};
    wc.lpfnWndProc = &NoticeWindow::Proc;
    wc.lpszClassName = kClassName;
    RegisterClassA(&wc);
  });
  hwnd_ = CreateWindowExA(0, kClassName, "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
  if (hwnd_ == nullptr) throw forms::RuntimeError(7, "Out of memory");
  SetWindowLongPtrA(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

NoticeWindow::~NoticeWindow() {
  SetWindowLongPtrA(hwnd_, GWLP_USERDATA, 0);
  DestroyWindow(hwnd_);
}

bool NoticeWindow::Post(UINT msg, WPARAM wparam, LPARAM lparam) const {
  return PostMessageA(hwnd_, msg, wparam, lparam) != FALSE;
}

LRESULT CALLBACK NoticeWindow::Proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  auto* self = reinterpret_cast<NoticeWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (self == nullptr || msg < WM_USER) return DefWindowProcA(hwnd, msg, wparam, lparam);
  self->handler_(msg, wparam, lparam);
  return 0;
}

QueueTimer::QueueTimer(HWND hwnd, std::function<void()> fire) : fire_(std::move(fire)) {
  fd_ = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
  if (fd_ >= 0) watch_ = Win32CreateWatch(hwnd, fd_, &OnReady, reinterpret_cast<ULONG_PTR>(this));
  if (watch_ == nullptr) {
    if (fd_ >= 0) close(fd_);
    throw forms::RuntimeError(7, "Out of memory");
  }
}

QueueTimer::~QueueTimer() {
  Win32CloseWatch(watch_);
  close(fd_);
}

void QueueTimer::Start(long ms) {
  itimerspec due{};
  if (ms <= 0) ms = 1;  // zero would disarm the timer
  due.it_value.tv_sec = ms / 1000;
  due.it_value.tv_nsec = (ms % 1000) * 1000000L;
  timerfd_settime(fd_, 0, &due, nullptr);
  Win32ArmWatch(watch_, POLLIN);
}

void QueueTimer::Stop() {
  itimerspec due{};
  timerfd_settime(fd_, 0, &due, nullptr);
  Win32ArmWatch(watch_, 0);
}

void CALLBACK QueueTimer::OnReady(ULONG_PTR context, DWORD /*revents*/) {
  auto* self = reinterpret_cast<QueueTimer*>(context);
  std::uint64_t expirations = 0;
  if (read(self->fd_, &expirations, sizeof expirations) != sizeof expirations) {
    Win32ArmWatch(self->watch_, POLLIN);  // re-armed meanwhile: not due yet
    return;
  }
  self->fire_();
}

}  // namespace controls
