// The communications tests window's behaviour, without Qt: its three tests (SNTP over UDP,
// daytime over TCP, an FTP log-on with one listing), the shared watchdog and the controls'
// event handlers. The window shows what this decides through TestView.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "comms/sntp_verdict.h"
#include "controls/inet.h"
#include "controls/winsock.h"
#include "forms/message.h"

namespace comms {

constexpr int kLampRed = 255;
constexpr int kLampGreen = 65280;

enum class Test { Sntp, DayTime, Ftp };

// The window as the logic sees it.
class TestView {
 public:
  virtual std::string SntpServer() const = 0;     // Combo1's text, as typed or chosen
  virtual std::string DaytimeServer() const = 0;  // Combo2's text
  virtual std::string FtpServer() const = 0;
  virtual std::string FtpUsername() const = 0;
  virtual std::string FtpPassword() const = 0;
  virtual void FillServers(const std::vector<std::string>& sntp,
                           const std::vector<std::string>& daytime) = 0;
  virtual void SetFtpTexts(const std::string& server, const std::string& user,
                           const std::string& password) = 0;
  virtual void SetLamp(Test test, int color) = 0;
  virtual void EnableTest(Test test, bool enabled) = 0;
  virtual void EnableWatchdog(bool enabled) = 0;
  virtual void SetFtpStatus(const std::string& text) = 0;
  virtual void SetSntpVerdict(const std::string& text) = 0;
  virtual void ShowMessage(const forms::Message& message) = 0;
  // Lets pending window events run once.
  virtual void DoEvents() = 0;
  // The same, waiting a little for an event first: the step of a polling loop.
  virtual void WaitEvents() = 0;

 protected:
  ~TestView() = default;
};

// The defaults the window starts with (public servers; tests replace them all).
const std::vector<std::string>& SntpServers();     // 10 names
const std::vector<std::string>& DaytimeServers();  // 7 names
extern const char* const kDefaultFtpServer;
extern const char* const kDefaultFtpUser;
extern const char* const kDefaultFtpPassword;
extern const char* const kFtpStatusIdle;

// The text of lbl_Ftp_Client_Status for a transfer state; empty for a number without one.
std::string FtpStateText(int state, long response_code, const std::string& response_info);

// The services' ports; a test may move them off the well-known ones.
struct TestPorts {
  int sntp = 123;
  int daytime = 13;
};

class TestLogic {
 public:
  explicit TestLogic(TestView& view, TestPorts ports = {},
                     std::function<SystemTime()> clock = std::chrono::system_clock::now);
  ~TestLogic();
  TestLogic(const TestLogic&) = delete;
  TestLogic& operator=(const TestLogic&) = delete;

  void Form_Load();
  void Cmd_SNTP_Click();
  void Cmd_DayTime_Click();
  void Cmd_FTP_Click();
  void Timer_Watchdog_Timer();
  // Everything of the unload before the window itself goes.
  void Form_Unload();

  bool FtpConnected() const { return ftp_connected_; }

  controls::Winsock WinSock;   // SNTP
  controls::Winsock Winsock1;  // daytime
  controls::Inet Inet1;        // FTP

 private:
  void WinSock_DataArrival(long bytes_total);
  void Winsock1_DataArrival(long bytes_total);
  void WinSock_Close() { CloseSocket(WinSock); }
  void Winsock1_Close() { CloseSocket(Winsock1); }
  void WinSock_Error(int number, const std::string& description);
  void Winsock1_Error(int number, const std::string& description);
  void Inet1_StateChanged(int state);
  void CloseSocket(controls::Winsock& socket);
  void sub_DisableTests();
  bool sub_FinishCommand();  // false when the window went away meanwhile
  bool fnc_InetIdle() const { return !Inet1.StillExecuting(); }
  bool DoEvents();           // false when the window went away meanwhile

  TestView& view_;
  TestPorts ports_;
  std::function<SystemTime()> clock_;
  SystemTime sntp_sent_{};
  bool ftp_connected_ = false;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace comms
