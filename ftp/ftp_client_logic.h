// What the FTP client window and its login dialog do, without Qt: the orders of every button,
// the row and history rules of both panes, the local listing, the progress arithmetic and the
// conversation log. The windows show what this decides and forward the control's events here.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "controls/ftp_client.h"
#include "forms/message.h"

namespace ftp {

inline constexpr const char* kDirPrefix = "<Dir> ";
inline constexpr const char* kConnectCaption = "&Connect";
inline constexpr const char* kDisconnectCaption = "&Disconnect";

// One row of either pane: "<Dir> " + name for a directory, the bare name for a file.
struct PaneRow {
  std::string text;
  int32_t size = 0;  // bytes, files only
  bool operator==(const PaneRow&) const = default;
};

std::string DirRow(const std::string& name);
// True for a directory row; then `entry` loses its "<Dir> " and keeps the bare name.
bool fnc_IsDirEntry(std::string& entry);

// `path` on top of `history`, held once.
void AddHistory(std::vector<std::string>& history, const std::string& path);

// The rows of a local directory: its subdirectories (".." included, "." not) that carry no
// attribute but the directory's, then its normal files with their lengths. A name starting
// with "." is hidden, an entry without the owner's write bit read-only, anything but a
// directory or a regular file a system entry. Throws forms::RuntimeError.
std::vector<PaneRow> ListLocalDirectory(const std::string& dir);

// Width of the bar for `bytes` of `size` in a container `container` wide. A size of 0 (an
// empty or unlisted file) shows the bar full; a count beyond the size never overflows it.
int ProgressWidth(int container, int64_t bytes, int64_t size);

// The conversation log's line for a trail event; nothing for an unknown direction.
std::optional<std::string> TrailLine(int16_t direction, const std::string& line);

// "dir" + "/" + "name", one separator also at the root.
std::string JoinLocal(const std::string& dir, const std::string& name);

enum class Pane { kLocal, kRemote };

// The FTP client window as its logic sees it.
class FtpScreen {
 public:
  virtual void SetRows(Pane pane, const std::vector<PaneRow>& rows) = 0;
  virtual void AddRow(Pane pane, const PaneRow& row) = 0;
  // The selected row, if any.
  virtual std::optional<PaneRow> Selected(Pane pane) const = 0;
  virtual void SetHistory(Pane pane, const std::vector<std::string>& paths) = 0;
  virtual void EnableButtons(bool on) = 0;
  virtual std::string ConnectCaption() const = 0;
  virtual void SetConnectCaption(const std::string& caption) = 0;
  virtual void SetTransferLabel(const std::string& text) = 0;
  virtual int ProgressContainerWidth() const = 0;
  virtual void SetProgressWidth(int width) = 0;
  virtual void ShowProgress(bool on) = 0;
  virtual void InsertTrail(const std::string& text) = 0;
  virtual int Show(const forms::Message& m) = 0;
  // An input box; "" for Cancel.
  virtual std::string Ask(const std::string& prompt, const std::string& title,
                          const std::string& offered) = 0;
  // The login dialog, modal; its result.
  virtual bool ShowLogin() = 0;
  virtual void GiveBackMainView() = 0;

 protected:
  ~FtpScreen() = default;
};

class FtpClientLogic {
 public:
  FtpClientLogic(controls::FtpClient& ftp, FtpScreen& screen) : ftp_(ftp), screen_(screen) {}

  void Load();
  void Connect();
  void Refresh(Pane pane);
  // A double click or Enter on a row; only directory rows open.
  void Open(Pane pane, const PaneRow& row);
  // Backspace: the parent directory, as its "<Dir> .." row would.
  void Up(Pane pane);
  void ChooseHistory(Pane pane, int index);
  void ChangeDir(Pane pane);
  void MakeDir(Pane pane);
  void Rename(Pane pane);
  void Delete(Pane pane);
  void Download();
  void Upload();
  void SetMode(int mode);
  void Cancel();
  void Unload();

  void OnTrail(int16_t direction, const std::string& line);
  void OnError(int16_t code, const std::string& description);
  void OnDirEntry(const std::string& name, bool is_dir, int32_t size);
  void OnTransferStart();
  void OnTransfer(int32_t bytes);
  void OnTransferEnd();

  const std::vector<std::string>& History(Pane pane) const {
    return pane == Pane::kLocal ? local_history_ : remote_history_;
  }

 private:
  void LocalRefresh();
  void RemoteRefresh();
  void PutOnTop(Pane pane, const std::string& path);
  void ChangeLocal(const std::string& dir);
  void SetRemotePath(const std::string& path);
  std::optional<std::string> SelectedFile(Pane pane) const;
  void ShowError(const std::exception& e);
  template <typename F>
  void Guarded(F&& body);
  void Transfer(bool download);

  controls::FtpClient& ftp_;
  FtpScreen& screen_;
  std::vector<std::string> local_history_, remote_history_;
  // Size of the row that was selected when the transfer began.
  int32_t transfer_size_ = 0;
};

// The login dialog's OK: logs off an open connection, logs on with the typed account, and
// remembers the account in the settings file and the run's credentials whatever the outcome.
struct LoginEntries {
  std::string host, user, password;
};
bool blnLogin(controls::FtpClient& ftp, const LoginEntries& e, const forms::ShowMessage& show);
bool ConfirmLogin(controls::FtpClient& ftp, const LoginEntries& e, const forms::ShowMessage& show);

}  // namespace ftp
