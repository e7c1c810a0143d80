// The login dialog of the FTP client window: server address, user name and a masked password.
// Every confirmation remembers the account, whether or not the server took it.
#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;

namespace ftp {

class frmLogin : public QDialog {
  Q_OBJECT

 public:
  static constexpr const char* kFormName = "frmLogin";

  frmLogin();

  // Shows the dialog modally until it closes; true when it logged on.
  static bool ShowModal();

  void cmdOK_Click();
  void cmdCancel_Click();

  // True when the last confirmation logged on.
  bool blnLoginStatus = false;

  QLineEdit* txtHostName = nullptr;
  QLineEdit* txtUserName = nullptr;
  QLineEdit* txtPassword = nullptr;
  QPushButton* cmdOK = nullptr;
  QPushButton* cmdCancel = nullptr;

 protected:
  // Escape and the title bar's close run Cancel.
  void reject() override;
};

}  // namespace ftp
