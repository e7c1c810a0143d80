#include "comms/test_logic.h"

#include <exception>

namespace comms {
namespace {

// Leap indicator 0, version 1, mode 3 (client); the rest zero.
std::vector<std::uint8_t> SntpRequest() {
  std::vector<std::uint8_t> request(48, 0);
  request[0] = 0x0B;
  return request;
}

constexpr long kRequestTimeoutSeconds = 10;
// However the watchdog fares, no wait on the transfer control outlasts this.
constexpr auto kLongestFtpWait = std::chrono::seconds(3 * kRequestTimeoutSeconds);
// Close never leaves a socket open; the bound is for a control that would.
constexpr int kCloseAttempts = 100;

}  // namespace

const std::vector<std::string>& SntpServers() {
  static const std::vector<std::string> names{
      "pool.ntp.org",      "0.pool.ntp.org",     "1.pool.ntp.org", "2.pool.ntp.org",
      "3.pool.ntp.org",    "time.nist.gov",      "time.google.com", "time.cloudflare.com",
      "time.windows.com",  "ntp.ubuntu.com"};
  return names;
}

const std::vector<std::string>& DaytimeServers() {
  static const std::vector<std::string> names{
      "time-a-g.nist.gov",   "time-b-g.nist.gov",   "time-c-g.nist.gov", "time-d-g.nist.gov",
      "time-a-wwv.nist.gov", "time-b-wwv.nist.gov", "time-c-wwv.nist.gov"};
  return names;
}

const char* const kDefaultFtpServer = "test.rebex.net";
const char* const kDefaultFtpUser = "demo";
const char* const kDefaultFtpPassword = "password";
const char* const kFtpStatusIdle = "Click Test to Execute...";

std::string FtpStateText(int state, long response_code, const std::string& response_info) {
  switch (state) {
    case controls::icHostResolvingHost:
      return "Looking up IP address of host computer";
    case controls::icHostResolved:
      return "IP address found";
    case controls::icConnecting:
      return "Connecting to host computer";
    case controls::icConnected:
      return "Connected";
    case controls::icRequesting:
      return "Sending a request to host computer";
    case controls::icRequestSent:
      return "Request sent";
    case controls::icReceivingResponse:
      return "Receiving a response from host computer";
    case controls::icResponseReceived:
      return "Response received";
    case controls::icDisconnecting:
      return "Disconnecting from host computer";
    case controls::icDisconnected:
      return "Disconnected";
    case controls::icError:
      return "Error " + std::to_string(response_code) + " " + response_info;
    case controls::icResponseCompleted:
      return "Request completed";
    default:
      return {};
  }
}

TestLogic::TestLogic(TestView& view, TestPorts ports, std::function<SystemTime()> clock)
    : view_(view), ports_(ports), clock_(std::move(clock)) {
  WinSock.OnDataArrival = [this](long n) { WinSock_DataArrival(n); };
  WinSock.OnClose = [this] { WinSock_Close(); };
  WinSock.OnError = [this](int n, const std::string& d) { WinSock_Error(n, d); };
  Winsock1.OnDataArrival = [this](long n) { Winsock1_DataArrival(n); };
  Winsock1.OnClose = [this] { Winsock1_Close(); };
  // Winsock1's Connect event is not used: the daytime server speaks first.
  Winsock1.OnError = [this](int n, const std::string& d) { Winsock1_Error(n, d); };
  Inet1.OnStateChanged = [this](int state) { Inet1_StateChanged(state); };
}

TestLogic::~TestLogic() { *alive_ = false; }

bool TestLogic::DoEvents() {
  std::weak_ptr<bool> alive = alive_;
  view_.DoEvents();
  return !alive.expired();
}

void TestLogic::Form_Load() {
  if (WinSock.State() != controls::sckClosed) WinSock.Close();
  ftp_connected_ = false;
  view_.SetFtpStatus(kFtpStatusIdle);
  view_.SetFtpTexts(kDefaultFtpServer, kDefaultFtpUser, kDefaultFtpPassword);
  view_.FillServers(SntpServers(), DaytimeServers());
}

void TestLogic::sub_DisableTests() {
  view_.EnableTest(Test::Sntp, false);
  view_.EnableTest(Test::DayTime, false);
  view_.EnableTest(Test::Ftp, false);
}

void TestLogic::CloseSocket(controls::Winsock& socket) {
  std::weak_ptr<bool> alive = alive_;
  for (int i = 0; i < kCloseAttempts && socket.State() != controls::sckClosed; ++i) {
    socket.Close();
    if (!DoEvents()) return;
  }
}

void TestLogic::Cmd_SNTP_Click() {
  try {
    view_.EnableTest(Test::Sntp, false);
    view_.EnableWatchdog(true);
    view_.SetLamp(Test::Sntp, kLampRed);
    view_.SetSntpVerdict("");
    if (WinSock.State() != controls::sckClosed) WinSock.Close();
    WinSock.SetRemoteHost(view_.SntpServer());
    WinSock.SetRemotePort(ports_.sntp);
    WinSock.SetProtocol(controls::sckUDPProtocol);
    sntp_sent_ = clock_();
    WinSock.SendData(SntpRequest());
  } catch (const std::exception&) {
    sub_DisableTests();  // the watchdog brings the buttons back
  }
}

void TestLogic::WinSock_DataArrival(long /*bytes_total*/) {
  // Any datagram counts as an answer; the verdict reads what it can from it.
  std::vector<std::uint8_t> bytes = WinSock.GetDataBytes();
  if (!bytes.empty()) {
    view_.SetLamp(Test::Sntp, kLampGreen);
    view_.SetSntpVerdict(SntpVerdict(std::string(bytes.begin(), bytes.end()), sntp_sent_, clock_()));
  }
  std::weak_ptr<bool> alive = alive_;
  CloseSocket(WinSock);
  if (alive.expired()) return;
  view_.EnableWatchdog(false);
  view_.EnableTest(Test::Sntp, true);
}

void TestLogic::Cmd_DayTime_Click() {
  try {
    view_.EnableTest(Test::DayTime, false);
    view_.EnableWatchdog(true);
    view_.SetLamp(Test::DayTime, kLampRed);
    if (!DoEvents()) return;
    if (Winsock1.State() != controls::sckClosed) Winsock1.Close();
    Winsock1.Connect(view_.DaytimeServer(), ports_.daytime);
    DoEvents();
  } catch (const std::exception&) {
    sub_DisableTests();
  }
}

void TestLogic::Winsock1_DataArrival(long /*bytes_total*/) {
  Winsock1.GetDataBytes();  // the content is not used
  view_.SetLamp(Test::DayTime, kLampGreen);
  std::weak_ptr<bool> alive = alive_;
  CloseSocket(Winsock1);
  if (alive.expired()) return;
  view_.EnableWatchdog(false);
  view_.EnableTest(Test::DayTime, true);
}

void TestLogic::WinSock_Error(int number, const std::string& description) {
  view_.ShowMessage({"Winsock Error: " + std::to_string(number) + "\r\n" + description,
                     forms::vbInformation, ""});
}

void TestLogic::Winsock1_Error(int number, const std::string& description) {
  view_.ShowMessage({"Winsock_1 Error: " + std::to_string(number) + "\r\n" + description,
                     forms::vbInformation, ""});
}

bool TestLogic::sub_FinishCommand() {
  std::weak_ptr<bool> alive = alive_;
  const auto give_up = std::chrono::steady_clock::now() + kLongestFtpWait;
  while (Inet1.StillExecuting()) {
    if (std::chrono::steady_clock::now() > give_up) Inet1.Cancel();
    view_.WaitEvents();
    if (alive.expired()) return false;
  }
  return true;
}

void TestLogic::Cmd_FTP_Click() {
  std::weak_ptr<bool> alive = alive_;
  try {
    ftp_connected_ = false;
    const std::string server = view_.FtpServer();
    view_.EnableWatchdog(true);
    view_.EnableTest(Test::Ftp, false);
    view_.SetLamp(Test::Ftp, kLampRed);
    Inet1.SetProtocol(controls::icFTP);
    Inet1.SetURL(server);
    Inet1.SetUserName(view_.FtpUsername());
    Inet1.SetPassword(view_.FtpPassword());
    Inet1.SetRequestTimeout(kRequestTimeoutSeconds);
    if (!sub_FinishCommand() || !DoEvents()) return;
    Inet1.Execute("", "DIR");
    if (!sub_FinishCommand()) return;
    if (!ftp_connected_) {
      sub_DisableTests();  // the watchdog brings the buttons back
      return;
    }
    view_.SetLamp(Test::Ftp, kLampGreen);
    if (!DoEvents()) return;
    if (fnc_InetIdle()) {
      Inet1.Execute("", "QUIT");
    } else {
      Inet1.Cancel();
    }
    if (!sub_FinishCommand() || !DoEvents()) return;
    view_.EnableWatchdog(false);
    view_.EnableTest(Test::Ftp, true);
  } catch (const std::exception&) {
    if (!alive.expired()) sub_DisableTests();
  }
}

void TestLogic::Inet1_StateChanged(int state) {
  if (state == controls::icConnected) ftp_connected_ = true;
  if (state == controls::icDisconnected) ftp_connected_ = false;
  std::string text = FtpStateText(state, Inet1.ResponseCode(), Inet1.ResponseInfo());
  if (!text.empty()) view_.SetFtpStatus(text);
}

void TestLogic::Timer_Watchdog_Timer() {
  view_.EnableWatchdog(false);
  if (WinSock.State() != controls::sckClosed) WinSock.Close();
  if (Winsock1.State() != controls::sckClosed) Winsock1.Close();
  if (Inet1.StillExecuting()) Inet1.Cancel();
  view_.EnableTest(Test::Sntp, true);
  view_.EnableTest(Test::DayTime, true);
  view_.EnableTest(Test::Ftp, true);
}

void TestLogic::Form_Unload() {
  sub_DisableTests();
  if (WinSock.State() != controls::sckClosed) WinSock.Close();
  if (Winsock1.State() != controls::sckClosed) Winsock1.Close();
}

}  // namespace comms
