// The libcurl FTP core under the FTP client control (and any other control that talks FTP):
// one easy handle, one control connection, operations that run to their end while the
// thread's queue and idle hook keep running, and events that reach the sink on the calling
// thread, never from inside libcurl.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <curl/curl.h>

#include "controls/ftp_listing.h"
#include "windows.h"

namespace controls {

class CurlQueue;
class NoticeWindow;

// Windows' WinINet numbers, so that callers report what a Windows FTP client would.
enum FtpErrorNumber {
  kFtpTimeout = 12002,
  kFtpServerRefused = 12003,  // the server answered with a failure reply
  kFtpNameNotResolved = 12007,
  kFtpLoginFailure = 12015,
  kFtpCancelled = 12017,
  kFtpNotConnected = 12019,
  kFtpCannotConnect = 12029,
  kFtpConnectionAborted = 12030,
  kFtpBusy = 12110,
  kFtpInvalidArgument = 380,
};

enum class FtpTrail : int16_t { kClient = 0, kServer = 1, kInfo = 2 };

class FtpSink {
 public:
  virtual void OnTrail(FtpTrail direction, const std::string& line) = 0;
  virtual void OnProgress(int64_t bytes) = 0;
  virtual void OnEntry(const FtpListEntry& entry) = 0;
  virtual void OnTransferStart() = 0;
  virtual void OnTransferEnd() = 0;
  // A failure that no call reports, such as the server ending an idle connection.
  virtual void OnError(int number, const std::string& description) = 0;

 protected:
  ~FtpSink() = default;
};

struct FtpLogOn {
  std::string host;  // "name", "name:port", "[v6]:port"
  std::string user;
  std::string password;
  bool passive = true;  // false: the server connects back (PORT/EPRT)
  long timeout_s = 30;  // connect, each reply, and a stalled data connection
};

enum class FtpType { kAscii, kBinary };

class FtpSession {
 public:
  explicit FtpSession(FtpSink& sink);
  ~FtpSession();
  FtpSession(const FtpSession&) = delete;
  FtpSession& operator=(const FtpSession&) = delete;

  // Each operation returns when it is done, or throws forms::RuntimeError (number,
  // description); its events have reached the sink by then.
  void LogOn(const FtpLogOn& account);
  // Never fails: a connection that is already gone is simply forgotten.
  void LogOff();
  // Looks whether the server has closed an idle connection (then "Disconnected").
  bool Connected();
  // What the session last knew, without looking.
  bool KnownConnected() const { return connected_; }
  // The server's current directory, as its PWD reply gives it; "/" when it gives none.
  const std::string& RemotePath() const { return remote_path_; }
  void ChangeDir(const std::string& path);
  void List();
  void Download(const std::string& remote, const std::string& local, FtpType type);
  void Upload(const std::string& local, const std::string& remote, FtpType type);
  void Delete(const std::string& remote);
  void MakeDir(const std::string& remote);
  void Rename(const std::string& from, const std::string& to);
  // Ends the running operation (and with it the connection); nothing when idle.
  void Interrupt() { interrupt_ = true; }
  // Applies from the next operation on.
  void SetTimeout(long seconds) { account_.timeout_s = seconds; }
  bool Busy() const { return busy_; }
  // Hands events that arrived since the last delivery to the sink.
  void DeliverEvents();

  // "/dir" + "name" -> "/dir/name"; absolute names stay as they are.
  static std::string JoinRemote(const std::string& dir, const std::string& name);

 private:
  struct Event;
  enum class Op { kLogOn, kLogOff, kQuote, kList, kDownload, kUpload };
  class Scope;

  void Prepare(const std::string& remote_path);
  void Run(Op op);
  void Finish(Op op, int rc);
  void RequireConnected() const;
  void Quote(const std::vector<std::string>& commands);
  void Post(Event e);
  void Trail(FtpTrail direction, std::string line);
  void ServerLine(const std::string& line);
  void LostConnection();
  void WatchIdle(bool on);
  static void CALLBACK OnIdleReady(ULONG_PTR context, DWORD revents);
  bool PeekClosed() const;
  [[noreturn]] void Fail(int rc, Op op);

  static int OnDebug(CURL* easy, curl_infotype type, char* data, size_t size, void* self);
  static curl_socket_t OnOpenSocket(void* self, curlsocktype purpose, curl_sockaddr* address);
  static size_t OnWrite(char* data, size_t size, size_t n, void* self);
  static size_t OnRead(char* data, size_t size, size_t n, void* self);
  static int OnProgress(void* self, curl_off_t dltotal, curl_off_t dlnow, curl_off_t ultotal,
                        curl_off_t ulnow);

  FtpSink& sink_;
  std::unique_ptr<CurlQueue> queue_;
  // Between operations the control connection is watched, so that a server closing it is
  // reported at once rather than at the next call.
  std::unique_ptr<NoticeWindow> window_;
  HANDLE idle_watch_ = nullptr;
  ULONG_PTR id_ = 0;
  CURL* easy_ = nullptr;
  curl_slist* quote_ = nullptr;
  curl_slist* prequote_ = nullptr;
  std::deque<Event> events_;
  bool delivering_ = false;
  bool silent_ = false;  // being destroyed: the sink may be half gone

  FtpLogOn account_;
  std::string base_url_;
  std::string remote_path_ = "/";
  bool connected_ = false;
  // The control connection's socket: of those libcurl opened, the one connected to the
  // control port when the greeting arrives; known by its two port numbers.
  int socket_ = -1;
  unsigned control_port_ = 21;
  unsigned local_port_ = 0;
  std::vector<int> opened_;
  bool mlsd_ = false;

  bool busy_ = false;
  bool interrupt_ = false;
  bool done_ = false;
  int result_ = 0;
  std::chrono::steady_clock::time_point last_activity_;
  std::string last_reply_;
  Op op_ = Op::kQuote;
  // The first failure reply to a command of ours; libcurl would drop the connection over it.
  std::string quote_failure_;
  std::string pwd_reply_;
  bool want_pwd_ = false;
  bool in_feat_ = false;
  bool logged_in_ = false;
  bool greeted_ = false;   // the server answered on this log-on's connection
  bool quitting_ = false;  // our QUIT went out: libcurl's own one after it is not shown
  bool quiet_ = false;

  FILE* file_ = nullptr;
  int file_errno_ = 0;
  int64_t reported_ = -1;
  std::optional<FtpListingReader> listing_;
  char error_[256] = {};
};

}  // namespace controls
