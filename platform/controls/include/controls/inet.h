// The Internet transfer control, FTP only: Execute runs one operation ("DIR", "LS", "QUIT",
// "CLOSE") on a session that stays logged on between operations. Execute returns at once;
// progress arrives as StateChanged events from the thread's message queue, and
// StillExecuting stays true until the last event of the operation has fired.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace controls {

class CurlQueue;
class NoticeWindow;

enum InetState {
  icNone = 0,
  icHostResolvingHost = 1,
  icHostResolved = 2,
  icConnecting = 3,
  icConnected = 4,
  icRequesting = 5,
  icRequestSent = 6,
  icReceivingResponse = 7,
  icResponseReceived = 8,
  icDisconnecting = 9,
  icDisconnected = 10,
  icError = 11,
  icResponseCompleted = 12,
};

enum InetProtocol { icUnknown = 0, icDefault = 1, icFTP = 2, icReserved = 3, icHTTP = 4, icHTTPS = 5 };

class Inet {
 public:
  // A handler may call any method, pump the queue, or destroy the control.
  std::function<void(int state)> OnStateChanged;

  Inet();
  ~Inet();
  Inet(const Inet&) = delete;
  Inet& operator=(const Inet&) = delete;

  int Protocol() const { return protocol_; }
  void SetProtocol(int protocol);
  // "host", "host:port" or "ftp://[user[:password]@]host[:port][/path]".
  std::string URL() const;
  void SetURL(const std::string& url);
  const std::string& RemoteHost() const { return host_; }
  void SetRemoteHost(const std::string& host) { host_ = host; }
  long RemotePort() const { return port_; }
  void SetRemotePort(long port);
  const std::string& UserName() const { return user_; }
  void SetUserName(const std::string& user) { user_ = user; }
  const std::string& Password() const { return password_; }
  void SetPassword(const std::string& password) { password_ = password; }
  // Seconds to wait for a connection or an answer; 0 waits without limit.
  long RequestTimeout() const { return timeout_s_; }
  void SetRequestTimeout(long seconds);

  bool StillExecuting() const { return executing_; }
  // Set when an operation ends in icError: the server's reply code and text, or the
  // connection failure's number and description.
  long ResponseCode() const { return response_code_; }
  const std::string& ResponseInfo() const { return response_info_; }

  void Execute(const std::string& url = "", const std::string& operation = "");
  // Ends the operation and closes the connection at once, without events.
  void Cancel();
  // The next part of the last listing, at most `size` bytes; empty at its end.
  std::string GetChunk(long size);

 private:
  struct Session;
  void OnMessage(unsigned msg, std::uint64_t wparam);
  void Post(int state);
  void StartList(const std::string& path, bool names_only);
  void StartQuit();
  void Done(int curl_result);
  void Fail(long code, const std::string& info);
  void EndSession();
  struct Callbacks;  // libcurl's, with its own types
  friend struct Callbacks;

  std::unique_ptr<NoticeWindow> window_;
  std::unique_ptr<Session> session_;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
  int protocol_ = icFTP;
  std::string host_;
  long port_ = 21;
  std::string path_;
  std::string user_;
  std::string password_;
  long timeout_s_ = 60;
  bool executing_ = false;
  long response_code_ = 0;
  std::string response_info_;
  std::string listing_;
  std::size_t listing_read_ = 0;
  unsigned generation_ = 0;  // events posted before a Cancel are dropped
};

}  // namespace controls
