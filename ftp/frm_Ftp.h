// The FTP client window: a two-pane file manager for a meter's FTP server, the workstation's
// current directory on the left, the server's on the right, and the whole conversation below.
// Modeless; it announces its load and unload, and the application takes the main window's view
// and file buttons out of use meanwhile.
#pragma once

#include <QWidget>
#include <array>
#include <cstdint>
#include <string>

#include "controls/ftp_client.h"
#include "ftp/ftp_client_logic.h"

class QComboBox;
class QFrame;
class QLabel;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace ftp {

class frmFtp : public QWidget, private FtpScreen {
  Q_OBJECT

 public:
  static constexpr const char* kFormName = "frmFtp";

  frmFtp();
  ~frmFtp() override;

  void cmdConnect_Click();
  void cmdLocalRefresh_Click();
  void cmdLocalDelete_Click();
  void cmdLocalMakeDir_Click();
  void cmdLocalRename_Click();
  void cmdLocalDir_Click();
  void cmdRemoteRefresh_Click();
  void cmdRemoteDel_Click();
  void cmdRemoteMK_Click();
  void cmdRemoteRename_Click();
  void cmdRemoteCD_Click();
  void cmdDownload_Click();
  void cmdUpload_Click();
  void cmdCancel_Click();
  void cmdExit_Click();
  void optMode_Click(int index);
  void lstLocal_DblClick();
  void lstRemote_DblClick();
  void cboLocal_Click();
  void cboRemote_Click();

  QComboBox* cboLocal = nullptr;
  QListWidget* lstLocal = nullptr;
  QPushButton* cmdLocalRefresh = nullptr;
  QPushButton* cmdLocalDelete = nullptr;
  QPushButton* cmdLocalMakeDir = nullptr;
  QPushButton* cmdLocalRename = nullptr;
  QPushButton* cmdLocalDir = nullptr;
  QComboBox* cboRemote = nullptr;
  QListWidget* lstRemote = nullptr;
  QPushButton* cmdRemoteRefresh = nullptr;
  QPushButton* cmdRemoteDel = nullptr;
  QPushButton* cmdRemoteMK = nullptr;
  QPushButton* cmdRemoteRename = nullptr;
  QPushButton* cmdRemoteCD = nullptr;
  QPushButton* cmdDownload = nullptr;
  QPushButton* cmdUpload = nullptr;
  std::array<QRadioButton*, 3> optMode{};
  QPushButton* cmdConnect = nullptr;
  QPushButton* cmdCancel = nullptr;
  QPushButton* cmdExit = nullptr;
  QPlainTextEdit* txtPITrail = nullptr;
  QFrame* shpProgContainer = nullptr;
  QFrame* shpProg = nullptr;
  QLabel* lblDownUpLoad = nullptr;
  controls::FtpClient FTP1;

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildControls();
  QWidget* BuildPane(Pane pane);
  void Form_Load();
  void Form_Unload();
  // Runs a handler of the window, counting how deep handlers are nested: a transfer's events
  // and Cancel run inside the transfer's handler.
  template <typename F>
  void Run(F&& handler);
  QListWidget* List(Pane pane) const;
  QComboBox* History(Pane pane) const;

  void SetRows(Pane pane, const std::vector<PaneRow>& rows) override;
  void AddRow(Pane pane, const PaneRow& row) override;
  std::optional<PaneRow> Selected(Pane pane) const override;
  void SetHistory(Pane pane, const std::vector<std::string>& paths) override;
  void EnableButtons(bool on) override;
  std::string ConnectCaption() const override;
  void SetConnectCaption(const std::string& caption) override;
  void SetTransferLabel(const std::string& text) override;
  int ProgressContainerWidth() const override;
  void SetProgressWidth(int width) override;
  void ShowProgress(bool on) override;
  void InsertTrail(const std::string& text) override;
  int Show(const forms::Message& m) override;
  std::string Ask(const std::string& prompt, const std::string& title,
                  const std::string& offered) override;
  bool ShowLogin() override;
  void GiveBackMainView() override;

  FtpClientLogic logic_{FTP1, *this};
  int depth_ = 0;
  bool unloaded_ = false;
};

}  // namespace ftp
