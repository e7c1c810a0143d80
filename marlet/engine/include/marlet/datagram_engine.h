// One UDP socket per control: bound and configured on activation, read through the socket
// library's notices to a hidden window, reported to the EventSink. Every socket call goes
// through the process's socket function table. Lives on the thread that created it.
//
// A sink's handler may call back into the engine and may destroy it (the last reference to
// its owner given back): the engine stops touching itself once its callbacks return, and the
// bytes a delivery lends stay valid until the delivery returns, whatever the handler did.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "marlet/error_codes.h"
#include "marlet/error_text.h"
#include "marlet/event_sink.h"
#include "windows.h"
#include "winsock.h"

namespace marlet {

inline constexpr UINT kSocketNotice = 0x0466;
inline constexpr const char* kNoticeWindowClass = "__hly_socket_wnd__";

class DatagramEngine {
 public:
  static constexpr LONG kDefaultBufferSize = 2048;
  static constexpr LONG kLargestPacket = 65536;

  explicit DatagramEngine(EventSink* sink);
  ~DatagramEngine();
  DatagramEngine(const DatagramEngine&) = delete;
  DatagramEngine& operator=(const DatagramEngine&) = delete;

  // The last operation's code and text. The text is empty when a socket-library code
  // was returned; the automation mapping makes it.
  Code last_code() const { return code_; }
  ErrorText& error_text() { return text_; }
  const ErrorText& error_text() const { return text_; }

  // Each instance holds at most one load of the socket library.
  bool LoadWinsock();
  void ReleaseWinsock();
  bool winsock_loaded() const { return winsock_loaded_; }

  Code Activate();
  Code Deactivate();
  bool active() const { return socket_ != INVALID_SOCKET; }
  SOCKET socket_handle() const { return socket_; }

  Code Send(const char* data, int length);

  Code SetAcceptData(bool accept);
  bool accept_data() const { return accept_data_; }

  Code SetInBufferSize(LONG size);
  LONG in_buffer_size() const { return in_buffer_size_; }
  Code SetOutBufferSize(LONG size);
  LONG out_buffer_size() const { return out_buffer_size_; }
  Code SetDontRoute(bool dont_route);
  bool dont_route() const { return dont_route_; }
  Code SetQosFlags(LONG flags);
  Code GetQosFlags(LONG* flags);
  Code SetTimeToLive(uint16_t ttl);
  uint16_t time_to_live() const { return time_to_live_; }

  Code SetLocalPort(uint16_t port);
  Code GetLocalPort(uint16_t* port);
  Code SetLocalHost(const char* host);
  Code GetLocalHost(std::string* host);
  Code SetRemoteHost(const char* host);
  Code GetRemoteHost(std::string* host);
  Code SetRemotePort(uint16_t port);
  uint16_t remote_port() const { return remote_port_; }
  Code SetUseConnection(bool use);
  bool use_connection() const { return use_connection_; }
  Code SetShareLocalPort(bool share);
  bool share_local_port() const { return share_local_port_; }
  Code SetMaxPacketSize(LONG size);
  LONG max_packet_size() const { return static_cast<LONG>(max_packet_size_); }

  LONG charset_mode() const { return charset_mode_; }
  void set_charset_mode(LONG mode) { charset_mode_ = mode; }
  LONG timeout() const { return timeout_; }
  void set_timeout(LONG millis) { timeout_ = millis; }

  HWND notice_window() const { return window_; }

  // One step of the thread's message pump: handles one message or waits up to wait_ms
  // for one. True while the notice window exists (false once a handler destroyed the engine).
  bool PumpStep(DWORD wait_ms);

 private:
  friend LRESULT CALLBACK NoticeWindowProc(HWND, UINT, WPARAM, LPARAM);
  class LifeGuard;

  LRESULT WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  Code Begin();
  Code Finish(Code code);
  Code Refuse(Code rule);
  Code LastSocketError();
  Code SetIntOption(int level, int option, int value);
  void ApplyOptions();
  void Close();
  int CloseSocket();
  bool EnsureBuffer();
  // False when a handler destroyed the engine meanwhile.
  bool ReceiveLoop(bool nested);
  bool Deliver(int length, const sockaddr_in& from);
  Code Resolve(const char* host, bool remote, ULONG* address);
  const char* AddressText(ULONG address);

  Code code_ = kOk;
  ErrorText text_;
  LONG charset_mode_ = 0;
  EventSink* sink_;
  HWND window_ = nullptr;
  LONG timeout_ = 0;
  char host_name_[100] = {};
  bool winsock_loaded_ = false;
  ULONG local_address_ = 0;
  LONG in_buffer_size_ = kDefaultBufferSize;
  LONG out_buffer_size_ = kDefaultBufferSize;
  SOCKET socket_ = INVALID_SOCKET;
  // The closesocket of the library that made the socket. The library is never unloaded, so
  // the socket can still be closed after the table went back to its placeholders.
  LPFN_CLOSESOCKET socket_closer_ = nullptr;
  ULONG remote_address_ = 0;
  uint16_t remote_port_ = 0;
  uint16_t local_port_ = 0;
  LONG type_of_service_ = 0;
  uint16_t time_to_live_ = 0;
  // One buffer, reused for every datagram; one spare byte for the NUL after the data. Lent to
  // a delivery while it runs (empty meanwhile).
  std::unique_ptr<char[]> buffer_;
  uint32_t max_packet_size_ = 0;
  bool accept_data_ = true;
  bool in_receive_ = false;
  bool close_pending_ = false;
  bool dont_route_ = false;
  bool use_connection_ = false;
  bool share_local_port_ = false;
  LifeGuard* guards_ = nullptr;
};

// Done when the last engine of the process goes, so that the class never outlives the code
// of its window procedure; again at process detach of the control library, harmlessly.
void UnregisterNoticeWindowClass();

}  // namespace marlet
