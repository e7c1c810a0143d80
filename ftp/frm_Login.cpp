#include "ftp/frm_Login.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include "base/shared_values.h"
#include "forms/default_instance.h"
#include "forms/msgbox.h"
#include "forms/widgets.h"
#include "ftp/frm_Ftp.h"
#include "ftp/ftp_client_logic.h"

namespace ftp {

frmLogin::frmLogin() {
  setObjectName(QString::fromLatin1(kFormName));
  setWindowTitle(QStringLiteral("Login"));
  auto* column = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  txtHostName = forms::AddEntry(form, "txtHostName", "IP Address:", 0);
  txtUserName = forms::AddEntry(form, "txtUserName", "&User Name:", 0);
  txtPassword = forms::AddEntry(form, "txtPassword", "&Password:", 0);
  forms::SetPasswordCharacter(txtPassword, '*');
  column->addLayout(form);
  auto* buttons = new QHBoxLayout;
  cmdOK = forms::MakeButton("cmdOK", "&OK");
  cmdCancel = forms::MakeButton("cmdCancel", "C&ancel");
  cmdOK->setDefault(true);
  buttons->addStretch();
  buttons->addWidget(cmdOK);
  buttons->addWidget(cmdCancel);
  column->addLayout(buttons);
  connect(cmdOK, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
  connect(cmdCancel, &QPushButton::clicked, this, [this] { cmdCancel_Click(); });
  forms::SetTabChain({txtHostName, txtUserName, txtPassword, cmdOK, cmdCancel});
  forms::NameControls(this);

  const base::SharedValues& shared = base::Shared();
  txtHostName->setText(QString::fromStdString(shared.ftp_server_address));
  txtUserName->setText(QString::fromStdString(shared.ftp_user_name));
  txtPassword->setText(QString::fromStdString(shared.ftp_password));
}

bool frmLogin::ShowModal() {
  frmLogin& dialog = forms::DefaultInstance<frmLogin>::Get();
  dialog.setWindowModality(Qt::ApplicationModal);
  // Only a confirmation that logged on accepts; the dialog is gone when exec returns.
  return dialog.exec() == QDialog::Accepted;
}

void frmLogin::cmdOK_Click() {
  cmdOK->setEnabled(false);
  const LoginEntries entries{txtHostName->text().toStdString(), txtUserName->text().toStdString(),
                             txtPassword->text().toStdString()};
  controls::FtpClient& ftp = forms::DefaultInstance<frmFtp>::Get().FTP1;
  blnLoginStatus =
      ConfirmLogin(ftp, entries, [](const forms::Message& m) { return forms::Show(m); });
  if (blnLoginStatus) {
    accept();
    return;
  }
  cmdOK->setEnabled(true);
}

void frmLogin::cmdCancel_Click() {
  blnLoginStatus = false;
  QDialog::reject();
}

void frmLogin::reject() {
  cmdCancel_Click();
}

}  // namespace ftp
