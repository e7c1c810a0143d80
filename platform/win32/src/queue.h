// The per-thread message queue behind user32's message functions.
//
// Its descriptor is an epoll instance holding an eventfd and the watched descriptors. The
// eventfd is kept readable exactly while messages wait, except inside the owner's own queue
// calls, where posting from a watch callback stays quiet until the call returns; so a host
// loop watching the descriptor is woken for every message and for every ready watch, and the
// owner pays no system call for the notices it posts to itself.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "win32/message.h"

namespace win32::msgq {

// Which messages a Peek or Get takes: hwnd NULL any, (HWND)-1 only thread messages, else
// the window and its descendants. min and max both 0 take every number.
struct Filter {
  HWND hwnd = nullptr;
  UINT min = 0;
  UINT max = 0;
};

class Queue {
 public:
  static constexpr std::size_t kQuota = 10000;

  Queue(int epoll_fd, int event_fd);
  ~Queue();
  Queue(const Queue&) = delete;
  Queue& operator=(const Queue&) = delete;

  int descriptor() const { return epoll_fd_; }

  // Any thread. ERROR_SUCCESS or the error to report.
  DWORD Post(const MSG& msg);
  // Drops what is queued for a window that no longer exists.
  void DropFor(HWND hwnd);

  // Owner thread only.
  void PostQuit(int code);
  bool Take(MSG* out, const Filter& filter, bool remove, bool wait);
  DWORD Wait(DWORD milliseconds, DWORD wake_mask);

  // Any thread.
  std::uint64_t AddWatch(int fd, WIN32_WATCH_PROC proc, ULONG_PTR context);
  bool ArmWatch(std::uint64_t id, DWORD events);
  bool RecheckWatch(std::uint64_t id, bool wanted);
  void RemoveWatch(std::uint64_t id);

  // Owner thread: DispatchMessageA runs a window procedure. A recheck asked for inside it waits
  // for the dispatch to end, when the caller comes back to the queue or the descriptor says so.
  void EnterDispatch() { ++dispatch_depth_; }
  void LeaveDispatch();

 private:
  struct Watch {
    int fd;
    WIN32_WATCH_PROC proc;
    ULONG_PTR context;
    bool registered;
    bool edge;
    bool recheck;
  };
  class Inside;

  bool FindLocked(MSG* out, const Filter& filter, bool remove);
  void SyncSignalLocked();
  void ClearSignalLocked();
  void RaiseSignalLocked();
  bool HarvestDue() const;
  void Harvest(int timeout_ms);
  bool WantSignalLocked() const;

  const int epoll_fd_;
  const int event_fd_;
  std::mutex mu_;
  std::deque<MSG> posted_;
  bool quit_ = false;
  int quit_code_ = 0;
  bool signaled_ = false;
  std::unordered_map<std::uint64_t, Watch> watches_;
  std::uint64_t next_watch_ = 1;
  std::size_t rechecks_ = 0;
  std::atomic<std::size_t> watch_count_{0};
  // Owner thread only.
  int depth_ = 0;
  int dispatch_depth_ = 0;
  std::chrono::steady_clock::time_point last_harvest_{};
};

// The calling thread's queue, created on first use; nullptr when no descriptor is left.
std::shared_ptr<Queue> Current();
// The calling thread's queue if it has one.
Queue* CurrentIfAny();

}  // namespace win32::msgq
