// libcurl's multi interface driven by the creating thread's message queue: the sockets libcurl
// waits on are queue watches, its time-outs a queue timer. Transfers run while the thread pumps
// its queue (any loop, or an idle hook inside a blocking call); nothing here blocks.
//
// One multi handle per queue, and libcurl pools connections per multi handle: give each session
// that must keep its own control connection a queue of its own.
#pragma once

#include <curl/curl.h>

#include <functional>
#include <map>
#include <memory>

namespace controls {

class NoticeWindow;
class QueueTimer;

class CurlQueue {
 public:
  CurlQueue();
  ~CurlQueue();
  CurlQueue(const CurlQueue&) = delete;
  CurlQueue& operator=(const CurlQueue&) = delete;

  // Starts the transfer (installing the handle's close-socket callback, which the queue needs);
  // done(result) is called once, on this thread, from the queue, after the handle has left the
  // multi handle (so it may be added again at once).
  void Add(CURL* easy, std::function<void(CURLcode)> done);
  // Takes a transfer out unfinished; done is not called.
  void Remove(CURL* easy);
  CURLM* multi() const { return multi_; }

 private:
  struct Watch;
  friend struct Watch;
  static curl_socket_t CloseSocket(void* queue, curl_socket_t fd);
  void Forget(curl_socket_t fd);
  void Drive();
  void Finish();
  void Rearm();

  CURLM* multi_ = nullptr;
  std::unique_ptr<NoticeWindow> window_;
  std::unique_ptr<QueueTimer> timer_;
  std::map<curl_socket_t, std::unique_ptr<Watch>> watches_;
  std::map<CURL*, std::function<void(CURLcode)>> running_;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace controls
