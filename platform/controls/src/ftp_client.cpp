#include "controls/ftp_client.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <limits>
#include <utility>

#include "controls/idle_hook.h"
#include "forms/runtime_error.h"

namespace controls {
namespace {

int32_t Clamp32(int64_t n) {
  return static_cast<int32_t>(std::clamp<int64_t>(n, 0, std::numeric_limits<int32_t>::max()));
}

[[noreturn]] void InvalidValue() { throw forms::RuntimeError(kFtpInvalidArgument, "Invalid property value"); }

}  // namespace

FtpClient::FtpClient() : session_(*this) {}

FtpType FtpClient::AutoType(const std::string& name) {
  static constexpr std::array<std::string_view, 12> kText = {
      "txt", "htm", "html", "csv", "ini", "log", "xml", "cfg", "bat", "inf", "rgs", "asp"};
  size_t dot = name.rfind('.');
  if (dot == std::string::npos || name.find('/', dot) != std::string::npos) return FtpType::kBinary;
  std::string ext;
  for (char c : name.substr(dot + 1)) ext += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return std::find(kText.begin(), kText.end(), ext) != kText.end() ? FtpType::kAscii
                                                                   : FtpType::kBinary;
}

FtpType FtpClient::TypeFor(const std::string& name) const {
  if (mode_ == kModeAscii) return FtpType::kAscii;
  if (mode_ == kModeBinary) return FtpType::kBinary;
  return AutoType(name);
}

void FtpClient::SetTransferMode(int32_t mode) {
  if (mode < kModeAuto || mode > kModeBinary) InvalidValue();
  mode_ = mode;
}

void FtpClient::SetTimeout(int32_t seconds) {
  if (seconds <= 0) InvalidValue();
  timeout_s_ = seconds;
  session_.SetTimeout(seconds);
}

template <typename F>
void FtpClient::Running(int32_t command, F&& body) {
  const int32_t before = running_;
  if (!session_.Busy()) running_ = command;
  struct Restore {
    int32_t& value;
    int32_t before;
    ~Restore() { value = before; }
  } restore{running_, before};
  body();
}

void FtpClient::SetCommandSelector(int32_t command) {
  switch (command) {
    case kCommandLogOn: return LogOn();
    case kCommandLogOff: return LogOff();
    case kCommandDownload: return Download();
    case kCommandUpload: return Upload();
    default: InvalidValue();
  }
}

std::string FtpClient::RemotePath() const {
  return session_.KnownConnected() ? session_.RemotePath() : pending_path_;
}

void FtpClient::SetRemotePath(const std::string& path) {
  if (!session_.KnownConnected()) {
    pending_path_ = path;
    return;
  }
  if (path.empty()) return;
  Running(kCommandOther, [&] { session_.ChangeDir(path); });
}

void FtpClient::LogOn() {
  Running(kCommandLogOn, [&] {
    FtpLogOn account;
    account.host = host_;
    account.user = user_;
    account.password = password_;
    account.passive = passive_;
    account.timeout_s = timeout_s_;
    session_.LogOn(account);
    if (!pending_path_.empty()) session_.ChangeDir(std::exchange(pending_path_, std::string()));
  });
}

void FtpClient::LogOff() {
  Running(kCommandLogOff, [&] { session_.LogOff(); });
}

void FtpClient::ListDir() {
  Running(kCommandOther, [&] { session_.List(); });
}

void FtpClient::Download() {
  Running(kCommandDownload,
          [&] { session_.Download(remote_file_, local_file_, TypeFor(remote_file_)); });
}

void FtpClient::Upload() {
  Running(kCommandUpload,
          [&] { session_.Upload(local_file_, remote_file_, TypeFor(remote_file_)); });
}

void FtpClient::DeleteFile() {
  Running(kCommandOther, [&] { session_.Delete(remote_file_); });
}

void FtpClient::MakeDir() {
  Running(kCommandOther, [&] { session_.MakeDir(remote_file_); });
}

void FtpClient::Rename() {
  Running(kCommandOther, [&] { session_.Rename(remote_file_, new_name_); });
}

void FtpClient::DoEvents() {
  PumpQueue(0);
  session_.DeliverEvents();
}

void FtpClient::OnTrail(FtpTrail direction, const std::string& line) {
  if (events_.ProtocolTrail) events_.ProtocolTrail(static_cast<int16_t>(direction), line);
}

void FtpClient::OnProgress(int64_t bytes) {
  if (events_.Transfer) events_.Transfer(Clamp32(bytes));
}

void FtpClient::OnEntry(const FtpListEntry& entry) {
  if (events_.DirEntry) events_.DirEntry(entry.name, entry.is_dir, Clamp32(entry.size));
}

void FtpClient::OnTransferStart() {
  if (events_.TransferStart) events_.TransferStart();
}

void FtpClient::OnTransferEnd() {
  if (events_.TransferEnd) events_.TransferEnd();
}

void FtpClient::OnError(int number, const std::string& description) {
  if (events_.Error) events_.Error(static_cast<int16_t>(number), description);
}

}  // namespace controls
