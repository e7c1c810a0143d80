#include "ftp/ftp_client_logic.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>

#include "base/settings_file.h"
#include "base/shared_values.h"
#include "controls/ftp_session.h"
#include "forms/runtime_error.h"

namespace ftp {
namespace {

using controls::FtpClient;
using forms::Message;

constexpr const char* kEnterDirectory = "Enter the directory:";
constexpr const char* kEnterFileName = "Enter the new Filename :";

// What the runtime reports for a failed directory operation: a missing path is "Path not found".
[[noreturn]] void FailPath(int err) {
  if (err == ENOENT || err == ENOTDIR)
    throw forms::RuntimeError(forms::kErrPathNotFound, "Path not found");
  throw forms::ErrorFromErrno(err);
}

std::string CurrentDir() {
  struct Free {
    void operator()(char* p) const { std::free(p); }
  };
  std::unique_ptr<char, Free> cwd(getcwd(nullptr, 0));
  if (!cwd) FailPath(errno);
  return cwd.get();
}

bool Hidden(const std::string& name) {
  return name.starts_with('.') && name != "..";
}

// Leaves the control's failures alone: some steps of a connect may fail and the next runs.
template <typename F>
void Quietly(F&& body) {
  try {
    body();
  } catch (const std::exception&) {
  }
}

}  // namespace

std::string DirRow(const std::string& name) {
  return kDirPrefix + name;
}

bool fnc_IsDirEntry(std::string& entry) {
  if (entry.compare(0, 5, "<Dir>") != 0) return false;
  entry.erase(0, std::min<size_t>(6, entry.size()));
  return true;
}

void AddHistory(std::vector<std::string>& history, const std::string& path) {
  std::erase(history, path);
  history.insert(history.begin(), path);
}

std::vector<PaneRow> ListLocalDirectory(const std::string& dir) {
  struct Close {
    void operator()(DIR* p) const { closedir(p); }
  };
  std::unique_ptr<DIR, Close> d(opendir(dir.c_str()));
  if (!d) FailPath(errno);
  std::vector<std::string> dirs;
  struct File {
    std::string name;
    int32_t size;
  };
  std::vector<File> regular;
  while (const dirent* e = readdir(d.get())) {
    const std::string name = e->d_name;
    struct stat st {};
    if (name == "." || Hidden(name) || fstatat(dirfd(d.get()), e->d_name, &st, 0) != 0) continue;
    if (S_ISDIR(st.st_mode)) {
      // A read-only directory carries an attribute besides the directory's: not listed.
      if ((st.st_mode & S_IWUSR) != 0) dirs.push_back(name);
    } else if (S_ISREG(st.st_mode)) {
      regular.push_back({name, static_cast<int32_t>(std::min<off_t>(st.st_size, INT32_MAX))});
    }
  }
  std::sort(dirs.begin(), dirs.end());
  std::sort(regular.begin(), regular.end(),
            [](const File& a, const File& b) { return a.name < b.name; });
  std::vector<PaneRow> rows;
  for (const auto& name : dirs) rows.push_back({DirRow(name), 0});
  for (const auto& f : regular) rows.push_back({f.name, f.size});
  return rows;
}

int ProgressWidth(int container, int64_t bytes, int64_t size) {
  if (container <= 0) return 0;
  if (size <= 0) return container;
  const int64_t done = std::clamp<int64_t>(bytes, 0, size);
  // In 64 bits: a few thousand pixels times a size below 2^31 cannot overflow.
  return static_cast<int>(static_cast<int64_t>(container) * done / size);
}

std::optional<std::string> TrailLine(int16_t direction, const std::string& line) {
  static constexpr const char* kPrefix[] = {"CLIENT: ", "SERVER: ", "INFO:   "};
  if (direction < 0 || direction > 2) return std::nullopt;
  return kPrefix[direction] + line + "\r\n";
}

std::string JoinLocal(const std::string& dir, const std::string& name) {
  return dir.ends_with('/') ? dir + name : dir + "/" + name;
}

template <typename F>
void FtpClientLogic::Guarded(F&& body) {
  try {
    body();
  } catch (const std::exception& e) {
    ShowError(e);
  }
}

void FtpClientLogic::ShowError(const std::exception& e) {
  const forms::RuntimeError r = forms::AsRuntimeError(e);
  screen_.Show(
      {"Error: " + std::to_string(r.Number()) + " " + r.Description(), forms::vbOKOnly, ""});
}

void FtpClientLogic::Load() {
  Guarded([&] {
    LocalRefresh();
    PutOnTop(Pane::kLocal, CurrentDir());
  });
  screen_.EnableButtons(false);
}

void FtpClientLogic::Connect() {
  if (screen_.ConnectCaption() == kConnectCaption) {
    if (!screen_.ShowLogin()) return;
    screen_.SetRows(Pane::kRemote, {});
    screen_.EnableButtons(false);
    Quietly([&] { RemoteRefresh(); });
    Quietly([&] { PutOnTop(Pane::kRemote, ftp_.RemotePath()); });
    screen_.EnableButtons(true);
    screen_.SetConnectCaption(kDisconnectCaption);
    return;
  }
  ftp_.LogOff();
  screen_.SetRows(Pane::kRemote, {});
  screen_.EnableButtons(false);
  screen_.SetConnectCaption(kConnectCaption);
}

void FtpClientLogic::Refresh(Pane pane) {
  Guarded([&] { pane == Pane::kLocal ? LocalRefresh() : RemoteRefresh(); });
}

void FtpClientLogic::LocalRefresh() {
  screen_.SetRows(Pane::kLocal, {});
  screen_.SetRows(Pane::kLocal, ListLocalDirectory(CurrentDir()));
}

void FtpClientLogic::RemoteRefresh() {
  screen_.SetRows(Pane::kRemote, {});
  ftp_.SetRemoteFile("");
  if (ftp_.RemotePath() != "/") screen_.AddRow(Pane::kRemote, {DirRow(".."), 0});
  ftp_.ListDir();
}

void FtpClientLogic::PutOnTop(Pane pane, const std::string& path) {
  auto& history = pane == Pane::kLocal ? local_history_ : remote_history_;
  AddHistory(history, path);
  screen_.SetHistory(pane, history);
}

void FtpClientLogic::ChangeLocal(const std::string& dir) {
  if (chdir(dir.c_str()) != 0) FailPath(errno);
}

void FtpClientLogic::SetRemotePath(const std::string& path) {
  ftp_.SetRemotePath(path);
}

void FtpClientLogic::Open(Pane pane, const PaneRow& row) {
  std::string name = row.text;
  if (!fnc_IsDirEntry(name)) return;
  Guarded([&] {
    if (pane == Pane::kLocal) {
      ChangeLocal(JoinLocal(CurrentDir(), name));
      LocalRefresh();
      PutOnTop(Pane::kLocal, CurrentDir());
    } else {
      SetRemotePath(controls::FtpSession::JoinRemote(ftp_.RemotePath(), name));
      PutOnTop(Pane::kRemote, ftp_.RemotePath());
      RemoteRefresh();
    }
  });
}

void FtpClientLogic::Up(Pane pane) {
  // The remote pane has a parent row only below the root of an open connection.
  if (pane == Pane::kRemote &&
      (screen_.ConnectCaption() != kDisconnectCaption || ftp_.RemotePath() == "/"))
    return;
  Open(pane, {DirRow(".."), 0});
}

void FtpClientLogic::ChooseHistory(Pane pane, int index) {
  auto& history = pane == Pane::kLocal ? local_history_ : remote_history_;
  if (index <= 0 || index >= static_cast<int>(history.size())) return;
  const std::string path = history[static_cast<size_t>(index)];
  Guarded([&] {
    if (pane == Pane::kLocal) {
      ChangeLocal(path);
      PutOnTop(pane, path);
      LocalRefresh();
    } else {
      SetRemotePath(path);
      PutOnTop(pane, path);
      RemoteRefresh();
    }
  });
  // A refused change leaves the list as it was, with its top row shown.
  screen_.SetHistory(pane, history);
}

void FtpClientLogic::ChangeDir(Pane pane) {
  Guarded([&] {
    if (pane == Pane::kLocal) {
      const std::string dir = screen_.Ask(kEnterDirectory, "Change Directory", CurrentDir());
      if (dir.empty()) return;
      ChangeLocal(dir);
      LocalRefresh();
      PutOnTop(pane, CurrentDir());
    } else {
      const std::string dir = screen_.Ask(kEnterDirectory, "Change Directory", ftp_.RemotePath());
      if (dir.empty()) return;
      SetRemotePath(dir);
      PutOnTop(pane, ftp_.RemotePath());
      RemoteRefresh();
    }
  });
}

void FtpClientLogic::MakeDir(Pane pane) {
  const std::string dir = screen_.Ask(kEnterDirectory, "Make Directory", "");
  if (pane == Pane::kLocal) {
    Guarded([&] {
      if (!dir.empty() && mkdir(JoinLocal(CurrentDir(), dir).c_str(), 0777) != 0) FailPath(errno);
    });
    Refresh(pane);
    return;
  }
  Guarded([&] {
    ftp_.SetRemoteFile(dir);
    if (dir.empty()) return;
    ftp_.MakeDir();
    RemoteRefresh();
  });
}

std::optional<std::string> FtpClientLogic::SelectedFile(Pane pane) const {
  const std::optional<PaneRow> row = screen_.Selected(pane);
  if (!row || row->text.empty()) return std::nullopt;
  std::string name = row->text;
  if (fnc_IsDirEntry(name)) return std::nullopt;
  return name;
}

void FtpClientLogic::Rename(Pane pane) {
  const std::optional<std::string> old = SelectedFile(pane);
  if (!old) return;
  Guarded([&] {
    if (pane == Pane::kLocal) {
      const std::string to = screen_.Ask(kEnterFileName, "Rename File", *old);
      if (!to.empty()) {
        // rename() would replace an existing file; the runtime refuses that.
        struct stat st {};
        if (lstat(to.c_str(), &st) == 0) throw forms::RuntimeError(58, "File already exists");
        if (std::rename(JoinLocal(CurrentDir(), *old).c_str(), to.c_str()) != 0)
          throw forms::ErrorFromErrno(errno);
      }
      LocalRefresh();
      return;
    }
    ftp_.SetRemoteFile(*old);
    const std::string to = screen_.Ask(kEnterFileName, "Rename File", *old);
    ftp_.SetNewName(to);
    if (to.empty()) return;
    ftp_.Rename();
    RemoteRefresh();
  });
}

void FtpClientLogic::Delete(Pane pane) {
  const std::optional<std::string> name = SelectedFile(pane);
  if (!name) return;
  Guarded([&] {
    const Message ask{*name + " will be permenantly deleted.  Are you sure?", forms::vbYesNo,
                      "Delete File"};
    if (screen_.Show(ask) == forms::vbYes) {
      if (pane == Pane::kLocal) {
        if (unlink(JoinLocal(CurrentDir(), *name).c_str()) != 0) throw forms::ErrorFromErrno(errno);
      } else {
        ftp_.SetRemoteFile(*name);
        ftp_.DeleteFile();
      }
    }
  });
  Refresh(pane);
}

void FtpClientLogic::Download() {
  Transfer(true);
}
void FtpClientLogic::Upload() {
  Transfer(false);
}

void FtpClientLogic::Transfer(bool download) {
  const std::optional<PaneRow> row = screen_.Selected(download ? Pane::kRemote : Pane::kLocal);
  if (!row) {
    screen_.Show(
        {download ? "No Remote File Selected" : "No Local File Selected", forms::vbOKOnly, ""});
    return;
  }
  std::string name = row->text;
  if (fnc_IsDirEntry(name)) {
    screen_.Show({download ? "You cannot download directories" : "You cannot upload directories",
                  forms::vbOKOnly, ""});
    return;
  }
  try {
    transfer_size_ = row->size;
    ftp_.SetRemoteFile(name);
    ftp_.SetLocalFile(name);
    screen_.SetTransferLabel(download ? "Download: " : "Upload: ");
    if (download) {
      ftp_.Download();
      LocalRefresh();
    } else {
      ftp_.Upload();
      RemoteRefresh();
    }
  } catch (const std::exception& e) {
    ShowError(e);
    screen_.SetTransferLabel("");
  }
}

void FtpClientLogic::SetMode(int mode) {
  Guarded([&] { ftp_.SetTransferMode(mode); });
}

void FtpClientLogic::Cancel() {
  ftp_.Interrupt();
  ftp_.DoEvents();
  screen_.ShowProgress(false);
  screen_.GiveBackMainView();
}

void FtpClientLogic::Unload() {
  // Runs from a destructor too, where nothing may escape.
  Quietly([&] { ftp_.LogOff(); });
}

void FtpClientLogic::OnTrail(int16_t direction, const std::string& line) {
  if (auto text = TrailLine(direction, line)) screen_.InsertTrail(*text);
}

void FtpClientLogic::OnError(int16_t code, const std::string& description) {
  screen_.Show({"Error: " + std::to_string(code) + " " + description, forms::vbOKOnly, ""});
}

void FtpClientLogic::OnDirEntry(const std::string& name, bool is_dir, int32_t size) {
  screen_.AddRow(Pane::kRemote, {is_dir ? DirRow(name) : name, size});
}

void FtpClientLogic::OnTransferStart() {
  screen_.SetProgressWidth(0);
  screen_.ShowProgress(true);
}

void FtpClientLogic::OnTransfer(int32_t bytes) {
  const int32_t command = ftp_.CommandSelector();
  if (command != FtpClient::kCommandDownload && command != FtpClient::kCommandUpload) return;
  screen_.SetProgressWidth(ProgressWidth(screen_.ProgressContainerWidth(), bytes, transfer_size_));
}

void FtpClientLogic::OnTransferEnd() {
  screen_.ShowProgress(false);
  screen_.SetTransferLabel("");
}

bool blnLogin(controls::FtpClient& ftp, const LoginEntries& e, const forms::ShowMessage& show) {
  try {
    ftp.SetRemotePath("");
    ftp.SetRemoteFile("");
    ftp.SetRemoteHost(e.host);
    ftp.SetUser(e.user);
    ftp.SetPassword(e.password);
    ftp.LogOn();
    return true;
  } catch (const std::exception& ex) {
    const forms::RuntimeError r = forms::AsRuntimeError(ex);
    show({"Error: " + std::to_string(r.Number()) + " " + r.Description(), forms::vbOKOnly, ""});
    return false;
  }
}

bool ConfirmLogin(controls::FtpClient& ftp, const LoginEntries& e, const forms::ShowMessage& show) {
  if (ftp.Connected()) {
    ftp.LogOff();
    ftp.DoEvents();
  }
  const bool ok = blnLogin(ftp, e, show);
  base::SharedValues& shared = base::Shared();
  base::WriteIniValue(shared.settings_file_path, "Startup", "UserName", e.user);
  base::WriteIniValue(shared.settings_file_path, "Startup", "Password", e.password);
  base::WriteIniValue(shared.settings_file_path, "Startup", "IPAddress", e.host);
  shared.ftp_user_name = e.user;
  shared.ftp_password = e.password;
  shared.ftp_server_address = e.host;
  return ok;
}

}  // namespace ftp
