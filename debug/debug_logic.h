// What the debug trail window does, without Qt: the poll tick, the receipt of a datagram, the
// control's error and readiness rows, the log file and its dump. The window reads its controls,
// shows what this decides, and forwards the Marlet control's events here.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "forms/message.h"

namespace debug {

inline constexpr const char* kDebugTitle = "Corvane Debugger";
inline constexpr const char* kInitialCaption = "Corvane's Debugger";
inline constexpr const char* kInactiveCaption = "Debug Trail - Inactive";
inline constexpr const char* kInitialAddress = "255.255.255.255";
inline constexpr const char* kStart = "Start";
inline constexpr const char* kStop = "Stop";
inline constexpr const char* kLogFileName = "Debug_Report.Txt";
inline constexpr const char* kRequest = "SendData";
inline constexpr const char* kReadyRow = "UDP Socket Ready to Send...";
inline constexpr const char* kSavedMessage = "Debug Data Saved to File.";
inline constexpr int32_t kMeterPort = 12345;
inline constexpr int kPollMilliseconds = 1000;
// Row positions of the list are signed 16-bit numbers.
inline constexpr int kMaxRows = 32767;
// A datagram longer than the receive buffer: the meter's overlong trail is dropped unseen.
inline constexpr int16_t kOversizeCode = 10040;

// The Marlet control as the window uses it. Every call throws forms::RuntimeError when the
// control refuses (its automation error's number and description).
class MarletPort {
 public:
  virtual void SetRemoteHost(const std::string& host) = 0;
  virtual void SetRemotePort(int32_t port) = 0;
  virtual bool Active() = 0;
  virtual void SetActive(bool on) = 0;
  virtual void Send(const std::string& text) = 0;

 protected:
  ~MarletPort() = default;
};

// The window as the logic sees it.
class DebugScreen {
 public:
  virtual std::string Address() const = 0;
  virtual bool LogChecked() const = 0;
  virtual std::vector<std::string> Rows() const = 0;
  virtual void AddRow(const std::string& row) = 0;
  virtual void SetCaption(const std::string& caption) = 0;
  virtual std::string StartStopCaption() const = 0;
  virtual void SetStartStopCaption(const std::string& caption) = 0;
  virtual void EnableTimer(bool on) = 0;
  virtual void EnableWrite2File(bool on) = 0;
  virtual int Show(const forms::Message& m) = 0;

 protected:
  ~DebugScreen() = default;
};

class DebugLogic {
 public:
  DebugLogic(MarletPort& marlet, DebugScreen& screen, std::string log_path)
      : marlet_(marlet), screen_(screen), log_path_(std::move(log_path)) {}

  void StartStop();
  void Tick();
  void OnDataIn(const std::string& datagram);
  void OnError(int16_t code, const std::string& description);
  void OnReadyToSend();
  // Appends the whole list to the log file and says so.
  void WriteToFile();
  // Appends `text` as one line; a failure becomes a row and loses nothing else.
  void WriteLogInfo(const std::string& text);
  // Stops polling and closes the socket; the window is going, so a refusal is not shown.
  void Unload();

 private:
  MarletPort& marlet_;
  DebugScreen& screen_;
  std::string log_path_;
};

// The pieces between line feeds, in order, empty ones included; carriage returns stay.
std::vector<std::string> SplitAtLineFeeds(const std::string& text);

// Opens `path` for appending (created if missing), writes `utf8` in the code page and a carriage
// return and line feed, and closes it, so the file is complete after every line. Throws
// forms::RuntimeError with the platform's description.
void AppendLine(const std::string& path, const std::string& utf8);

// The box shown when the control cannot be created: names the class and what to run.
forms::Message CreateFailedMessage(int32_t hresult, const std::string& clsid);

}  // namespace debug
