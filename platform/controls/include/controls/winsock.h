// The sockets control: one TCP client connection or one UDP port, driven by the notices of the
// socket library on the creating thread's message queue. Events fire from that queue (whatever
// loop pumps it); methods that fail throw forms::RuntimeError with the control's error number.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace controls {

class NoticeWindow;

enum SockState {
  sckClosed = 0,
  sckOpen = 1,
  sckListening = 2,
  sckConnectionPending = 3,
  sckResolvingHost = 4,
  sckHostResolved = 5,
  sckConnecting = 6,
  sckConnected = 7,
  sckClosing = 8,
  sckError = 9,
};

enum SockProtocol { sckTCPProtocol = 0, sckUDPProtocol = 1 };

// The description the control gives with an error number; empty for a number it does not know.
std::string WinsockErrorText(int number);

class Winsock {
 public:
  // Events. A handler may call any method, pump the queue, or destroy the control.
  std::function<void(long bytes_total)> OnDataArrival;
  std::function<void()> OnClose;
  std::function<void()> OnConnect;
  std::function<void(int number, const std::string& description)> OnError;

  Winsock();
  ~Winsock();
  Winsock(const Winsock&) = delete;
  Winsock& operator=(const Winsock&) = delete;

  int State() const { return state_; }
  int Protocol() const { return protocol_; }
  void SetProtocol(int protocol);
  const std::string& RemoteHost() const { return remote_host_; }
  void SetRemoteHost(const std::string& host) { remote_host_ = host; }
  long RemotePort() const { return remote_port_; }
  void SetRemotePort(long port);
  long LocalPort() const { return local_port_; }
  long BytesReceived() const;

  void Close();
  void Connect();
  void Connect(const std::string& host, long port);
  void SendData(const std::vector<std::uint8_t>& bytes);
  void SendData(const std::string& text);  // sent in the ANSI code page
  std::string GetData();                   // pending data as text (ANSI code page to UTF-8)
  std::vector<std::uint8_t> GetDataBytes();

 private:
  void OnMessage(unsigned msg, std::uint64_t wparam, std::int64_t lparam);
  void OnLookup(int error, const char* buffer);
  void OnNotice(int event, int error);
  void OpenUdp();
  std::uint64_t NewSocket(int type);
  bool ReadPending();
  void FlushSend();
  void Fail(int number);
  bool FireError(int number);  // false when the control went away inside the handler

  std::unique_ptr<NoticeWindow> window_;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
  int state_ = sckClosed;
  int protocol_ = sckTCPProtocol;
  std::string remote_host_;
  long remote_port_ = 0;
  long local_port_ = 0;
  std::uint64_t socket_;
  unsigned socket_msg_ = 0;  // a message number per socket: late notices of an old one are dropped
  unsigned lookup_msg_ = 0;
  std::vector<char> lookup_buffer_;
  std::vector<std::uint8_t> stream_;
  std::deque<std::vector<std::uint8_t>> datagrams_;
  std::vector<std::uint8_t> unsent_;
  bool paused_ = false;
};

}  // namespace controls
