// The FTP client control placed on the upload and FTP client windows: properties, methods
// and events as a form uses them. Every method runs to its end before returning; events
// arrive meanwhile on the same thread. Failures are forms::RuntimeError (number, description).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "controls/ftp_session.h"

namespace controls {

class FtpClient final : private FtpSink {
 public:
  // The command selector: written to start an operation, read to see which one runs.
  enum Command : int32_t {
    kCommandNone = 0,
    kCommandOther = 1,  // a listing, a rename ... is running
    kCommandLogOn = 2,
    kCommandLogOff = 3,
    kCommandDownload = 4,
    kCommandUpload = 5,
  };
  enum Mode : int32_t { kModeAuto = 0, kModeAscii = 1, kModeBinary = 2 };
  enum Direction : int16_t { kClient = 0, kServer = 1, kInfo = 2 };

  struct Events {
    std::function<void(int16_t code, const std::string& description)> Error;
    std::function<void(int16_t direction, const std::string& line)> ProtocolTrail;
    std::function<void(int32_t bytes)> Transfer;
    std::function<void(const std::string& name, bool is_dir, int32_t size)> DirEntry;
    std::function<void()> TransferStart;
    std::function<void()> TransferEnd;
  };

  FtpClient();
  Events& events() { return events_; }

  // Passive mode (the default); false lets the server connect back.
  bool Passive() const { return passive_; }
  void SetPassive(bool on) { passive_ = on; }
  const std::string& RemoteHost() const { return host_; }
  void SetRemoteHost(const std::string& host) { host_ = host; }
  const std::string& User() const { return user_; }
  void SetUser(const std::string& user) { user_ = user; }
  const std::string& Password() const { return password_; }
  void SetPassword(const std::string& password) { password_ = password; }
  const std::string& RemoteFile() const { return remote_file_; }
  void SetRemoteFile(const std::string& name) { remote_file_ = name; }
  const std::string& LocalFile() const { return local_file_; }
  void SetLocalFile(const std::string& path) { local_file_ = path; }
  const std::string& NewName() const { return new_name_; }
  void SetNewName(const std::string& name) { new_name_ = name; }
  int32_t TransferMode() const { return mode_; }
  void SetTransferMode(int32_t mode);
  // Seconds for connecting, for each server reply and for a stalled transfer.
  int32_t Timeout() const { return timeout_s_; }
  void SetTimeout(int32_t seconds);

  int32_t CommandSelector() const { return running_; }
  void SetCommandSelector(int32_t command);
  bool Connected() { return session_.Connected(); }
  // The server's current directory ("/" at its root). Setting it changes directory on the
  // server; before a log-on it names the directory to change to right after it.
  std::string RemotePath() const;
  void SetRemotePath(const std::string& path);

  void LogOn();
  void LogOff();
  void ListDir();
  void Download();
  void Upload();
  void DeleteFile();
  void MakeDir();
  void Rename();
  void Interrupt() { session_.Interrupt(); }
  // Runs the thread's pending messages once and delivers the control's pending events.
  void DoEvents();

  // The type a transfer of `name` uses in automatic mode: ASCII for known text files only.
  static FtpType AutoType(const std::string& name);

 private:
  void OnTrail(FtpTrail direction, const std::string& line) override;
  void OnProgress(int64_t bytes) override;
  void OnEntry(const FtpListEntry& entry) override;
  void OnTransferStart() override;
  void OnTransferEnd() override;
  void OnError(int number, const std::string& description) override;
  FtpType TypeFor(const std::string& name) const;
  template <typename F>
  void Running(int32_t command, F&& body);

  Events events_;
  FtpSession session_;
  bool passive_ = true;
  std::string host_, user_, password_, remote_file_, local_file_, new_name_;
  std::string pending_path_;
  // Binary until a window chooses: a file then reaches the server byte for byte whatever the
  // server's own line ends are.
  int32_t mode_ = kModeBinary;
  int32_t timeout_s_ = 30;
  int32_t running_ = kCommandNone;
};

}  // namespace controls
