#include "queue.h"

#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <vector>

#include "win32/error.h"
#include "win32/winbase.h"
#include "window.h"

namespace win32::msgq {
namespace {

constexpr std::uint64_t kWakeTag = 0;
// A queue that never runs dry still looks at its watches this often.
constexpr auto kHarvestEvery = std::chrono::milliseconds(16);

thread_local Queue* tls_queue = nullptr;

struct Holder {
  std::shared_ptr<Queue> queue;
  Holder() = default;
  Holder(const Holder&) = delete;
  Holder& operator=(const Holder&) = delete;
  ~Holder() {
    if (queue) window::ThreadEnded(queue.get());
    tls_queue = nullptr;
  }
};
thread_local Holder tls_holder;

bool Accepts(const MSG& msg, const Filter& f) {
  if ((f.min != 0 || f.max != 0) && (msg.message < f.min || msg.message > f.max)) return false;
  if (f.hwnd == nullptr) return true;
  if (f.hwnd == reinterpret_cast<HWND>(-1)) return msg.hwnd == nullptr;
  return msg.hwnd != nullptr && window::IsSelfOrDescendant(msg.hwnd, f.hwnd);
}

}  // namespace

// Marks the owner as inside one of its queue calls for the duration of a scope.
class Queue::Inside {
 public:
  explicit Inside(Queue* q) : q_(q) { ++q_->depth_; }
  ~Inside() { --q_->depth_; }
  Inside(const Inside&) = delete;
  Inside& operator=(const Inside&) = delete;

 private:
  Queue* q_;
};

Queue::Queue(int epoll_fd, int event_fd) : epoll_fd_(epoll_fd), event_fd_(event_fd) {}

Queue::~Queue() {
  close(event_fd_);
  close(epoll_fd_);
}

void Queue::RaiseSignalLocked() {
  if (signaled_) return;
  std::uint64_t one = 1;
  ssize_t n = write(event_fd_, &one, sizeof one);
  (void)n;  // an eventfd write of 1 fails only when the counter is saturated: still readable
  signaled_ = true;
}

void Queue::ClearSignalLocked() {
  if (!signaled_) return;
  std::uint64_t value = 0;
  ssize_t n = read(event_fd_, &value, sizeof value);
  (void)n;  // non-blocking: nothing to read means already clear
  signaled_ = false;
}

bool Queue::WantSignalLocked() const {
  return !posted_.empty() || quit_ || rechecks_ > 0;
}

void Queue::SyncSignalLocked() {
  if (WantSignalLocked()) {
    RaiseSignalLocked();
  } else {
    ClearSignalLocked();
  }
}

DWORD Queue::Post(const MSG& msg) {
  std::lock_guard lock(mu_);
  if (posted_.size() >= kQuota) return ERROR_NOT_ENOUGH_QUOTA;
  posted_.push_back(msg);
  // The owner inside its own queue call syncs the signal on the way out.
  const bool owner_inside = tls_queue == this && depth_ > 0;
  if (!owner_inside) RaiseSignalLocked();
  return ERROR_SUCCESS;
}

void Queue::DropFor(HWND hwnd) {
  std::lock_guard lock(mu_);
  std::erase_if(posted_, [hwnd](const MSG& m) { return m.hwnd == hwnd; });
}

void Queue::PostQuit(int code) {
  std::lock_guard lock(mu_);
  quit_ = true;
  quit_code_ = code;
  if (depth_ == 0) RaiseSignalLocked();
}

bool Queue::FindLocked(MSG* out, const Filter& filter, bool remove) {
  for (auto it = posted_.begin(); it != posted_.end();) {
    if (it->hwnd != nullptr && !window::Exists(it->hwnd)) {
      it = posted_.erase(it);  // posted while its window was being destroyed
      continue;
    }
    if (Accepts(*it, filter)) {
      *out = *it;
      if (remove) posted_.erase(it);
      return true;
    }
    ++it;
  }
  // WM_QUIT comes when no posted message is left, whatever the number range; it belongs to
  // the thread, not to a window.
  if (quit_ && (filter.hwnd == nullptr || filter.hwnd == reinterpret_cast<HWND>(-1))) {
    *out = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(quit_code_), 0, GetTickCount(), {0, 0}};
    if (remove) quit_ = false;
    return true;
  }
  return false;
}

bool Queue::HarvestDue() const {
  return watch_count_.load(std::memory_order_relaxed) != 0 &&
         std::chrono::steady_clock::now() - last_harvest_ >= kHarvestEvery;
}

void Queue::Harvest(int timeout_ms) {
  struct Ready {
    std::uint64_t id;
    DWORD revents;
  };
  // One callback may close other watches of the same batch (and free their contexts): each
  // is looked up again just before its call, and skipped once gone.
  auto call = [this](const Ready& r) {
    WIN32_WATCH_PROC proc = nullptr;
    ULONG_PTR context = 0;
    {
      std::lock_guard lock(mu_);
      auto it = watches_.find(r.id);
      if (it == watches_.end()) return;
      proc = it->second.proc;
      context = it->second.context;
    }
    proc(context, r.revents);
  };
  std::vector<Ready> ready;
  {
    // Rechecks first, reported with no events; what they post is found before any wait.
    std::lock_guard lock(mu_);
    if (rechecks_ > 0) {
      for (auto& [id, w] : watches_) {
        if (!w.recheck) continue;
        w.recheck = false;
        ready.push_back({id, 0});
      }
      rechecks_ = 0;
      timeout_ms = 0;
    }
  }
  for (const Ready& r : ready) call(r);
  ready.clear();

  std::array<epoll_event, 32> events{};
  int n = epoll_wait(epoll_fd_, events.data(), static_cast<int>(events.size()), timeout_ms);
  last_harvest_ = std::chrono::steady_clock::now();
  if (n <= 0) return;
  for (int i = 0; i < n; ++i) {
    // epoll_event is packed on x86-64: the tag is copied out rather than bound unaligned.
    const uint64_t tag = events[i].data.u64;
    if (tag != kWakeTag) ready.push_back({tag, events[i].events});
  }
  for (const Ready& r : ready) call(r);
}

bool Queue::Take(MSG* out, const Filter& filter, bool remove, bool wait) {
  Inside inside(this);
  bool looked = false;
  for (;;) {
    bool found = false;
    {
      std::lock_guard lock(mu_);
      found = FindLocked(out, filter, remove);
      if (!found && !wait && looked) {
        SyncSignalLocked();
        return false;
      }
      // What waits does not match: sleep until something new comes.
      if (!found && wait) ClearSignalLocked();
    }
    if (found) {
      if (HarvestDue()) Harvest(0);
      std::lock_guard lock(mu_);
      SyncSignalLocked();
      return true;
    }
    Harvest(wait ? -1 : 0);
    looked = true;
  }
}

DWORD Queue::Wait(DWORD milliseconds, DWORD wake_mask) {
  Inside inside(this);
  using Clock = std::chrono::steady_clock;
  const bool forever = milliseconds == INFINITE;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
  const bool posts = (wake_mask & (QS_POSTMESSAGE | QS_ALLPOSTMESSAGE)) != 0;
  bool looked = false;
  for (;;) {
    {
      std::lock_guard lock(mu_);
      if (posts && (!posted_.empty() || quit_)) {
        SyncSignalLocked();
        return WAIT_OBJECT_0;
      }
      ClearSignalLocked();
    }
    int timeout = -1;
    if (!forever) {
      auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
      timeout = left > 0 ? static_cast<int>(left) : 0;
      if (timeout == 0 && looked) break;
    }
    Harvest(timeout);
    looked = true;
  }
  std::lock_guard lock(mu_);
  SyncSignalLocked();
  return WAIT_TIMEOUT;
}

std::uint64_t Queue::AddWatch(int fd, WIN32_WATCH_PROC proc, ULONG_PTR context) {
  std::lock_guard lock(mu_);
  std::uint64_t id = next_watch_++;
  watches_.emplace(id, Watch{fd, proc, context, false, false, false});
  ++watch_count_;
  return id;
}

bool Queue::ArmWatch(std::uint64_t id, DWORD events) {
  std::lock_guard lock(mu_);
  auto it = watches_.find(id);
  if (it == watches_.end()) return false;
  Watch& w = it->second;
  if (events == 0) {
    // Even an empty interest set reports errors and hang-ups: leave the set instead.
    if (w.registered) epoll_ctl(epoll_fd_, EPOLL_CTL_DEL, w.fd, nullptr);
    w.registered = false;
    return true;
  }
  epoll_event ev{};
  w.edge = (events & WIN32_WATCH_EDGE) != 0;
  ev.events = w.edge ? ((events & ~WIN32_WATCH_EDGE) | EPOLLET) : (events | EPOLLONESHOT);
  ev.data.u64 = id;
  int rc = epoll_ctl(epoll_fd_, w.registered ? EPOLL_CTL_MOD : EPOLL_CTL_ADD, w.fd, &ev);
  if (rc != 0 && errno == ENOENT) rc = epoll_ctl(epoll_fd_, EPOLL_CTL_ADD, w.fd, &ev);
  w.registered = rc == 0;
  return rc == 0;
}

bool Queue::RecheckWatch(std::uint64_t id, bool wanted) {
  std::lock_guard lock(mu_);
  auto it = watches_.find(id);
  if (it == watches_.end()) return false;
  Watch& w = it->second;
  if (w.recheck == wanted) return true;
  w.recheck = wanted;
  if (wanted) {
    ++rechecks_;
    // The owner inside a queue call or a dispatch comes back to the queue by itself.
    const bool owner_busy = tls_queue == this && (depth_ > 0 || dispatch_depth_ > 0);
    if (!owner_busy) RaiseSignalLocked();
  } else {
    --rechecks_;
  }
  return true;
}

void Queue::LeaveDispatch() {
  --dispatch_depth_;
  if (dispatch_depth_ > 0 || depth_ > 0) return;
  std::lock_guard lock(mu_);
  if (rechecks_ > 0) RaiseSignalLocked();
}

void Queue::RemoveWatch(std::uint64_t id) {
  std::lock_guard lock(mu_);
  auto it = watches_.find(id);
  if (it == watches_.end()) return;
  if (it->second.registered) epoll_ctl(epoll_fd_, EPOLL_CTL_DEL, it->second.fd, nullptr);
  if (it->second.recheck) --rechecks_;
  watches_.erase(it);
  --watch_count_;
}

std::shared_ptr<Queue> Current() {
  if (tls_holder.queue) return tls_holder.queue;
  int ep = epoll_create1(EPOLL_CLOEXEC);
  int ev = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  epoll_event wake{};
  wake.events = EPOLLIN;
  wake.data.u64 = kWakeTag;
  if (ep < 0 || ev < 0 || epoll_ctl(ep, EPOLL_CTL_ADD, ev, &wake) != 0) {
    if (ep >= 0) close(ep);
    if (ev >= 0) close(ev);
    return nullptr;
  }
  tls_holder.queue = std::make_shared<Queue>(ep, ev);
  tls_queue = tls_holder.queue.get();
  return tls_holder.queue;
}

Queue* CurrentIfAny() {
  return tls_queue;
}

}  // namespace win32::msgq
