// What the upload window does, without Qt: the log-on and log-off orders, the lamp rules of the
// protocol trail, and the send sequence. The window reads its boxes, shows what this decides
// and forwards the FTP control's events here.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "controls/ftp_client.h"
#include "forms/message.h"

namespace ftp {

inline constexpr const char* kUploadTitle = "Mv900 File Upload";
inline constexpr const char* kUploadFailedTitle = "Mv900 FTP Upload";
inline constexpr const char* kLoadedTrail = "Upload File: Click 'Send' to select file.";
inline constexpr const char* kFileFilter = "Text Files(*.txt)|*.txt";

// Colour values of the lamp (blue-green-red).
inline constexpr int32_t kLampRed = 0x000000FF;
inline constexpr int32_t kLampGreen = 0x0000FF00;

struct UploadEntries {
  std::string ip, user, password;
};

// The window as the logic sees it.
class UploadScreen {
 public:
  virtual UploadEntries Entries() const = 0;
  virtual void SetTrail(const std::string& text) = 0;
  virtual void SetLamp(int32_t color) = 0;
  virtual void EnableLogOn(bool on) = 0;
  virtual void EnableLogOff(bool on) = 0;
  virtual void EnableSend(bool on) = 0;
  virtual int Show(const forms::Message& m) = 0;
  // The open dialog with `filter`: the chosen full path, "" for Cancel.
  virtual std::string PickFile(const std::string& filter) = 0;
  // One pass of the window message loop.
  virtual void DoEvents() = 0;

 protected:
  ~UploadScreen() = default;
};

class UploadLogic {
 public:
  UploadLogic(controls::FtpClient& ftp, UploadScreen& screen) : ftp_(ftp), screen_(screen) {}

  void LogOn();
  void LogOff();
  void SendFile();
  // On unload: logs off if a log-on was issued.
  void Unload();

  void OnTrail(int16_t direction, const std::string& line);
  void OnTransfer(int32_t bytes);
  void OnError(int16_t code, const std::string& description);

  bool LogOnIssued() const { return logon_issued_; }
  bool LoginConfirmed() const { return login_confirmed_; }

 private:
  bool Send(const std::string& path);
  void SaveCredentials();

  controls::FtpClient& ftp_;
  UploadScreen& screen_;
  bool logon_issued_ = false;
  bool login_confirmed_ = false;
};

// Trail text as the label shows it; nullptr-like empty optional for an unknown direction.
bool TrailLabel(int16_t direction, const std::string& line, std::string* label);

}  // namespace ftp
