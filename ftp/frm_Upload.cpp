#include "ftp/frm_Upload.h"

#include <QCloseEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include "base/shared_values.h"
#include "base/text_files.h"
#include "controls/idle_hook.h"
#include "forms/color.h"
#include "forms/do_events.h"
#include "forms/msgbox.h"
#include "forms/widgets.h"
#include "forms/window_events.h"

namespace ftp {
namespace {

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

}  // namespace

Lamp::Lamp() {
  setFixedSize(17, 17);  // 255 twips
}

void Lamp::SetFillColor(int32_t color) {
  fill_color_ = color;
  update();
}

void Lamp::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::black);
  p.setBrush(forms::FromColorValue(fill_color_));
  p.drawEllipse(rect().adjusted(1, 1, -1, -1));
}

frm_Upload::frm_Upload() {
  setObjectName(QString::fromLatin1(kFormName));
  setWindowTitle(QStringLiteral("File Upload"));
  BuildControls();
  forms::SetTabChain({txt_IP, txt_uname, txt_PW, cmd_SendFile, Cmd_LogOn, Cmd_LogOff});
  forms::NameControls(this);
  auto& ev = FTP1.events();
  ev.ProtocolTrail = [this](int16_t d, const std::string& l) { FTP1_ProtocolTrail(d, l); };
  ev.Transfer = [this](int32_t bytes) { FTP1_Transfer(bytes); };
  ev.Error = [this](int16_t code, const std::string& text) { FTP1_Error(code, text); };
  // While the control waits on the server, Qt events run: the label and lamp repaint.
  controls::SetIdleHook(&forms::DoEvents);
  Form_Load();
}

frm_Upload::~frm_Upload() {
  if (!unloaded_) Form_Unload();
  FTP1.events() = {};
}

void frm_Upload::BuildControls() {
  auto* column = new QVBoxLayout(this);
  auto* top = new QHBoxLayout;
  auto* form = new QFormLayout;
  txt_IP = forms::AddEntry(form, "txt_IP", "IP Address", 0);
  txt_uname = forms::AddEntry(form, "txt_uname", "Username", 0);
  txt_PW = forms::AddEntry(form, "txt_PW", "Password", 0);
  top->addLayout(form);
  Shape1 = new Lamp;
  Shape1->setObjectName(QStringLiteral("Shape1"));
  top->addWidget(Shape1, 0, Qt::AlignTop | Qt::AlignRight);
  column->addLayout(top);

  lPITrail = new QLabel;
  lPITrail->setObjectName(QStringLiteral("lPITrail"));
  lPITrail->setTextFormat(Qt::PlainText);  // server text is shown as it came
  lPITrail->setMinimumWidth(360);
  column->addWidget(lPITrail);

  auto* buttons = new QHBoxLayout;
  cmd_SendFile = forms::MakeButton("cmd_SendFile", "Send File");
  Cmd_LogOn = forms::MakeButton("Cmd_LogOn", "Log On");
  Cmd_LogOff = forms::MakeButton("Cmd_LogOff", "Log Off");
  buttons->addWidget(cmd_SendFile);
  buttons->addStretch();
  buttons->addWidget(Cmd_LogOn);
  buttons->addWidget(Cmd_LogOff);
  column->addLayout(buttons);

  connect(Cmd_LogOn, &QPushButton::clicked, this, [this] { Cmd_LogOn_Click(); });
  connect(Cmd_LogOff, &QPushButton::clicked, this, [this] { Cmd_LogOff_Click(); });
  connect(cmd_SendFile, &QPushButton::clicked, this, [this] { cmd_SendFile_Click(); });
}

void frm_Upload::Form_Load() {
  cmd_SendFile->setEnabled(true);
  forms::Announce(kFormName, forms::WindowEvent::kLoaded);
  const base::SharedValues& shared = base::Shared();
  txt_uname->setText(Q(shared.ftp_user_name));
  txt_PW->setText(Q(shared.ftp_password));
  txt_IP->setText(Q(shared.ftp_server_address));
  lPITrail->setText(QString::fromLatin1(kLoadedTrail));
}

void frm_Upload::closeEvent(QCloseEvent* event) {
  // A send waits inside a handler of this window: closing now would delete the window under
  // it. The transfer is stopped instead; the handler reports that and the window stays.
  if (FTP1.CommandSelector() != controls::FtpClient::kCommandNone) {
    FTP1.Interrupt();
    event->ignore();
    return;
  }
  if (!unloaded_) Form_Unload();
  event->accept();
}

void frm_Upload::Form_Unload() {
  unloaded_ = true;
  logic_.Unload();
  forms::Announce(kFormName, forms::WindowEvent::kUnloaded);
}

void frm_Upload::Cmd_LogOn_Click() { logic_.LogOn(); }
void frm_Upload::Cmd_LogOff_Click() { logic_.LogOff(); }
void frm_Upload::cmd_SendFile_Click() { logic_.SendFile(); }

void frm_Upload::FTP1_ProtocolTrail(int16_t direction, const std::string& line) {
  logic_.OnTrail(direction, line);
}
void frm_Upload::FTP1_Transfer(int32_t bytes) { logic_.OnTransfer(bytes); }
void frm_Upload::FTP1_Error(int16_t code, const std::string& description) {
  logic_.OnError(code, description);
}

bool frm_Upload::FileExists(const std::string& path) { return base::FileExists(path); }

UploadEntries frm_Upload::Entries() const {
  return {txt_IP->text().toStdString(), txt_uname->text().toStdString(),
          txt_PW->text().toStdString()};
}

void frm_Upload::SetTrail(const std::string& text) { lPITrail->setText(Q(text)); }
void frm_Upload::SetLamp(int32_t color) { Shape1->SetFillColor(color); }
void frm_Upload::EnableLogOn(bool on) { Cmd_LogOn->setEnabled(on); }
void frm_Upload::EnableLogOff(bool on) { Cmd_LogOff->setEnabled(on); }
void frm_Upload::EnableSend(bool on) { cmd_SendFile->setEnabled(on); }
int frm_Upload::Show(const forms::Message& m) { return forms::Show(m); }

std::string frm_Upload::PickFile(const std::string& filter) {
  dialog_.FileName.clear();
  dialog_.Filter = filter;
  dialog_.ShowOpen();
  return dialog_.FileName;
}

void frm_Upload::DoEvents() { forms::DoEvents(); }

}  // namespace ftp
