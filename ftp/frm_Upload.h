// The upload window: sends one text file to a meter's FTP server. It logs on, confirms, uploads
// under the file's own name into the log-in directory, logs off and remembers the account.
// Modeless; it announces its load and unload, and the application takes the main window's view
// and file buttons out of use meanwhile.
#pragma once

#include <QWidget>
#include <cstdint>
#include <memory>
#include <string>

#include "controls/ftp_client.h"
#include "forms/common_dialog.h"
#include "ftp/upload_logic.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace ftp {

// A small filled circle: the log-on lamp.
class Lamp : public QWidget {
 public:
  Lamp();
  int32_t FillColor() const { return fill_color_; }
  void SetFillColor(int32_t color);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  int32_t fill_color_ = kLampRed;
};

class frm_Upload : public QWidget, private UploadScreen {
  Q_OBJECT

 public:
  static constexpr const char* kFormName = "frm_Upload";

  frm_Upload();
  ~frm_Upload() override;

  void Cmd_LogOn_Click();
  void Cmd_LogOff_Click();
  void cmd_SendFile_Click();
  void FTP1_ProtocolTrail(int16_t direction, const std::string& line);
  void FTP1_Transfer(int32_t bytes);
  void FTP1_Error(int16_t code, const std::string& description);

  // True if `path` names a file that can be opened for reading; never fails.
  static bool FileExists(const std::string& path);

  bool LogOnIssued() const { return logic_.LogOnIssued(); }
  bool LoginConfirmed() const { return logic_.LoginConfirmed(); }

  QLineEdit* txt_IP = nullptr;
  QLineEdit* txt_uname = nullptr;
  QLineEdit* txt_PW = nullptr;
  QPushButton* cmd_SendFile = nullptr;
  QLabel* lPITrail = nullptr;
  QPushButton* Cmd_LogOn = nullptr;
  QPushButton* Cmd_LogOff = nullptr;
  Lamp* Shape1 = nullptr;
  controls::FtpClient FTP1;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildControls();
  void Form_Load();
  void Form_Unload();

  UploadEntries Entries() const override;
  void SetTrail(const std::string& text) override;
  void SetLamp(int32_t color) override;
  void EnableLogOn(bool on) override;
  void EnableLogOff(bool on) override;
  void EnableSend(bool on) override;
  int Show(const forms::Message& m) override;
  std::string PickFile(const std::string& filter) override;
  void DoEvents() override;

  UploadLogic logic_{FTP1, *this};
  forms::CommonDialog dialog_;
  bool unloaded_ = false;
};

}  // namespace ftp
