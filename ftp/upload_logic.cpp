#include "ftp/upload_logic.h"

#include <exception>

#include "base/settings_file.h"
#include "base/shared_values.h"
#include "base/text_files.h"
#include "forms/runtime_error.h"

namespace ftp {
namespace {

using forms::Message;

std::string NameOf(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

bool TrailLabel(int16_t direction, const std::string& line, std::string* label) {
  static constexpr const char* kPrefix[] = {"CLIENT: ", "SERVER: ", "INFO:   "};
  if (direction < 0 || direction > 2) return false;
  *label = kPrefix[direction] + line;
  return true;
}

void UploadLogic::LogOn() {
  screen_.EnableLogOn(false);
  logon_issued_ = false;
  try {
    ftp_.SetPassive(true);
    const UploadEntries e = screen_.Entries();
    const char* missing = e.ip.empty()         ? "Please supply a valid FTP server IP Address."
                          : e.user.empty()     ? "Please supply a valid FTP server user name."
                          : e.password.empty() ? "Please supply a valid FTP server password."
                                               : nullptr;
    if (missing) {
      screen_.Show({missing, forms::vbCritical, kUploadTitle});
      // Log On stays usable, so that the technician can try again after filling the box.
      screen_.EnableLogOn(true);
      return;
    }
    ftp_.SetRemoteHost(e.ip);
    ftp_.SetUser(e.user);
    ftp_.SetPassword(e.password);
    ftp_.SetCommandSelector(controls::FtpClient::kCommandLogOn);
    logon_issued_ = true;
  } catch (const std::exception& ex) {
    const forms::RuntimeError r = forms::AsRuntimeError(ex);
    screen_.Show({r.Description() + " | " + std::to_string(r.Number()), forms::vbOKOnly, ""});
    screen_.EnableLogOn(true);
  }
}

void UploadLogic::LogOff() {
  screen_.SetLamp(kLampRed);
  ftp_.SetCommandSelector(controls::FtpClient::kCommandLogOff);
  screen_.EnableSend(false);
}

void UploadLogic::Unload() {
  if (logon_issued_) {
    LogOff();
    screen_.DoEvents();
  }
  logon_issued_ = false;
}

void UploadLogic::OnTrail(int16_t direction, const std::string& line) {
  std::string label;
  if (TrailLabel(direction, line, &label)) screen_.SetTrail(label);
  // Case-sensitive on every direction, the client's own commands included.
  if (login_confirmed_ && line.find("Disconnected") != std::string::npos) {
    screen_.SetLamp(kLampRed);
    login_confirmed_ = false;
    screen_.EnableLogOn(true);
    screen_.EnableLogOff(false);
  }
  if (!login_confirmed_ && (line.find("Password OK") != std::string::npos ||
                            line.find("logged in") != std::string::npos)) {
    screen_.SetLamp(kLampGreen);
    login_confirmed_ = true;
    screen_.EnableLogOn(false);
    screen_.EnableLogOff(true);
    screen_.EnableSend(true);
  }
}

void UploadLogic::OnTransfer(int32_t bytes) {
  screen_.SetTrail("TRANSFER: " + std::to_string(bytes) + " bytes");
}

void UploadLogic::OnError(int16_t code, const std::string& description) {
  screen_.Show({"Error!: " + std::to_string(code) + " | " + description, forms::vbExclamation,
                "FTP Error"});
}

void UploadLogic::SendFile() {
  try {
    const std::string path = screen_.PickFile(kFileFilter);
    if (path.empty()) return;
    if (Send(path)) SaveCredentials();
  } catch (const std::exception& ex) {
    const forms::RuntimeError r = forms::AsRuntimeError(ex);
    screen_.Show({"Error: " + std::to_string(r.Number()) + " " + r.Description(), forms::vbOKOnly,
                  ""});
  }
  screen_.EnableSend(true);
}

// Steps 2 to 8 of a send; true when the upload reached its transfer step.
bool UploadLogic::Send(const std::string& path) {
  const std::string name = NameOf(path);
  base::Shared().current_file_name = name;
  screen_.SetTrail("Upload File: " + name);
  screen_.EnableSend(false);
  if (!base::FileExists(path)) {
    screen_.Show({"File not found! Please create or select a file first before proceeding...",
                  forms::vbCritical, kUploadTitle});
    if (logon_issued_) {
      LogOff();
      screen_.DoEvents();
    }
    return false;
  }
  const Message ask{"File Name to be Uploaded to FTP Server is: " + path + " Continue?",
                    forms::vbQuestion | forms::vbYesNo, kUploadTitle};
  if (screen_.Show(ask) == forms::vbNo) return false;
  // Every upload logs on afresh.
  if (ftp_.Connected()) {
    logon_issued_ = false;
    LogOff();
    ftp_.DoEvents();
  }
  if (!logon_issued_) {
    LogOn();
    ftp_.DoEvents();
    if (!logon_issued_) return false;
  }
  ftp_.SetRemoteFile(name);
  ftp_.SetLocalFile(path);
  ftp_.Upload();
  ftp_.DoEvents();
  if (ftp_.Connected()) {
    screen_.SetTrail("File Uploaded Successfully!");
    if (logon_issued_) {
      LogOff();
      screen_.DoEvents();
    }
    screen_.EnableSend(false);
    screen_.Show({"File Uploaded Successfully!", forms::vbExclamation, kUploadTitle});
  } else {
    screen_.Show({"Error encountered during file upload...", forms::vbCritical, kUploadFailedTitle});
  }
  return true;
}

void UploadLogic::SaveCredentials() {
  const UploadEntries e = screen_.Entries();
  base::SharedValues& shared = base::Shared();
  const std::string& file = shared.settings_file_path;
  base::WriteIniValue(file, "Startup", "UserName", e.user);
  base::WriteIniValue(file, "Startup", "Password", e.password);
  base::WriteIniValue(file, "Startup", "IPAddress", e.ip);
  shared.ftp_user_name = e.user;
  shared.ftp_password = e.password;
  shared.ftp_server_address = e.ip;
}

}  // namespace ftp
