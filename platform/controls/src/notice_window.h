// The plumbing a control needs on its thread's message queue: a hidden window that receives
// its notices and posted events, and a one-shot timer watched as part of the same queue.
#pragma once

#include <functional>

#include "windows.h"

namespace controls {

class NoticeWindow {
 public:
  using Handler = std::function<void(UINT msg, WPARAM wparam, LPARAM lparam)>;
  explicit NoticeWindow(Handler handler);
  ~NoticeWindow();
  NoticeWindow(const NoticeWindow&) = delete;
  NoticeWindow& operator=(const NoticeWindow&) = delete;

  HWND hwnd() const { return hwnd_; }
  bool Post(UINT msg, WPARAM wparam = 0, LPARAM lparam = 0) const;

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);
  Handler handler_;
  HWND hwnd_ = nullptr;
};

// Fires once, from the queue of the window's thread, `ms` after Start; Start again re-arms.
class QueueTimer {
 public:
  QueueTimer(HWND hwnd, std::function<void()> fire);
  ~QueueTimer();
  QueueTimer(const QueueTimer&) = delete;
  QueueTimer& operator=(const QueueTimer&) = delete;

  void Start(long ms);
  void Stop();

 private:
  static void CALLBACK OnReady(ULONG_PTR context, DWORD revents);
  std::function<void()> fire_;
  int fd_ = -1;
  HANDLE watch_ = nullptr;
};

}  // namespace controls
