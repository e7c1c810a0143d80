#include "controls/curl_queue.h"

#include <poll.h>
#include <sys/select.h>
#include <unistd.h>

#include <mutex>
#include <utility>
#include <vector>

#include "forms/runtime_error.h"
#include "notice_window.h"

namespace controls {

// Every readiness runs all transfers and then asks libcurl afresh what to wait for
// (curl_multi_perform and curl_multi_fdset), rather than following its socket callback, which
// reports changes only and loses track of a socket number reused within one handle.
struct CurlQueue::Watch {
  CurlQueue* queue;
  HANDLE handle;

  static void CALLBACK OnReady(ULONG_PTR context, DWORD /*revents*/) {
    reinterpret_cast<Watch*>(context)->queue->Drive();
  }
};

CurlQueue::CurlQueue() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
  multi_ = curl_multi_init();
  if (multi_ == nullptr) throw forms::RuntimeError(7, "Out of memory");
  window_ = std::make_unique<NoticeWindow>([](UINT, WPARAM, LPARAM) {});
  timer_ = std::make_unique<QueueTimer>(window_->hwnd(), [this] { Drive(); });
}

CurlQueue::~CurlQueue() {
  *alive_ = false;
  for (auto& [easy, done] : running_) curl_multi_remove_handle(multi_, easy);
  running_.clear();
  // Cleaning up closes the pooled connections; their watches go through CloseSocket.
  curl_multi_cleanup(multi_);
  for (auto& [fd, w] : watches_) Win32CloseWatch(w->handle);
}

// A watch must go before its descriptor is closed.
curl_socket_t CurlQueue::CloseSocket(void* queue, curl_socket_t fd) {
  static_cast<CurlQueue*>(queue)->Forget(fd);
  return close(fd);
}

void CurlQueue::Forget(curl_socket_t fd) {
  auto it = watches_.find(fd);
  if (it == watches_.end()) return;
  Win32CloseWatch(it->second->handle);
  watches_.erase(it);
}

void CurlQueue::Add(CURL* easy, std::function<void(CURLcode)> done) {
  curl_easy_setopt(easy, CURLOPT_CLOSESOCKETFUNCTION, &CurlQueue::CloseSocket);
  curl_easy_setopt(easy, CURLOPT_CLOSESOCKETDATA, this);
  CURLMcode rc = curl_multi_add_handle(multi_, easy);
  if (rc != CURLM_OK) throw forms::RuntimeError(7, curl_multi_strerror(rc));
  running_[easy] = std::move(done);
  timer_->Start(0);  // the transfer starts from the queue, never inside Add
}

void CurlQueue::Remove(CURL* easy) {
  if (running_.erase(easy) != 0) curl_multi_remove_handle(multi_, easy);
}

void CurlQueue::Drive() {
  std::weak_ptr<bool> alive = alive_;
  int still_running = 0;
  curl_multi_perform(multi_, &still_running);
  Finish();
  if (!alive.expired()) Rearm();
}

void CurlQueue::Finish() {
  std::vector<std::pair<CURL*, CURLcode>> finished;
  int left = 0;
  while (CURLMsg* m = curl_multi_info_read(multi_, &left)) {
    if (m->msg == CURLMSG_DONE) finished.emplace_back(m->easy_handle, m->data.result);
  }
  std::weak_ptr<bool> alive = alive_;
  for (auto [easy, result] : finished) {
    if (alive.expired()) return;  // a done callback destroyed the queue
    auto it = running_.find(easy);
    if (it == running_.end()) continue;
    std::function<void(CURLcode)> done = std::move(it->second);
    running_.erase(it);
    curl_multi_remove_handle(multi_, easy);
    if (done) done(result);
  }
}

void CurlQueue::Rearm() {
  fd_set readers;
  fd_set writers;
  fd_set errors;
  FD_ZERO(&readers);
  FD_ZERO(&writers);
  FD_ZERO(&errors);
  int max_fd = -1;
  curl_multi_fdset(multi_, &readers, &writers, &errors, &max_fd);
  for (int fd = 0; fd <= max_fd; ++fd) {
    DWORD events = (FD_ISSET(fd, &readers) ? POLLIN : 0) | (FD_ISSET(fd, &writers) ? POLLOUT : 0);
    if (events == 0) continue;
    auto it = watches_.find(fd);
    if (it == watches_.end()) {
      auto w = std::make_unique<Watch>(Watch{this, nullptr});
      w->handle = Win32CreateWatch(window_->hwnd(), fd, &Watch::OnReady,
                                   reinterpret_cast<ULONG_PTR>(w.get()));
      if (w->handle == nullptr) continue;
      it = watches_.emplace(fd, std::move(w)).first;
    }
    Win32ArmWatch(it->second->handle, events);
  }
  for (auto& [fd, w] : watches_) {
    if (fd > max_fd || (!FD_ISSET(fd, &readers) && !FD_ISSET(fd, &writers))) {
      Win32ArmWatch(w->handle, 0);
    }
  }
  long timeout_ms = -1;
  curl_multi_timeout(multi_, &timeout_ms);
  if (running_.empty()) {
    timer_->Stop();
    return;
  }
  // While a transfer runs, look at least every 50 ms: libcurl (7.88) names no socket to wait
  // on while its threaded resolver works on the address of an FTP data connection, and would
  // otherwise sit out its whole connect time-out.
  constexpr long kLongestWait = 50;
  timer_->Start(timeout_ms < 0 || timeout_ms > kLongestWait ? kLongestWait : timeout_ms);
}

}  // namespace controls
