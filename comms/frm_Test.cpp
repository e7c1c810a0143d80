#include "comms/frm_Test.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QEventLoop>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "forms/color.h"
#include "forms/default_instance.h"
#include "forms/do_events.h"
#include "forms/msgbox.h"
#include "forms/widgets.h"
#include "forms/window_events.h"

namespace comms {
namespace {

std::chrono::milliseconds& WatchdogInterval() {
  static std::chrono::milliseconds interval{frm_Test::kWatchdogMs};
  return interval;
}

TestPorts& Ports() {
  static TestPorts ports;
  return ports;
}

QString Q(const std::string& text) { return QString::fromStdString(text); }
std::string S(const QString& text) { return text.toStdString(); }

QComboBox* ServerList(const char* name) {
  QComboBox* list = forms::MakeList(name);
  list->setEditable(true);  // a name typed in is used as typed
  list->setMinimumWidth(220);
  return list;
}

QLineEdit* Entry(const char* name) {
  auto* edit = new QLineEdit;
  edit->setObjectName(QString::fromUtf8(name));
  edit->setMinimumWidth(220);
  return edit;
}

}  // namespace

Lamp::Lamp(const char* name) {
  setObjectName(QString::fromUtf8(name));
  setFixedSize(18, 18);
  setAccessibleName(QString::fromUtf8(name));
}

void Lamp::SetColorValue(int color) {
  color_ = color;
  update();
}

void Lamp::paintEvent(QPaintEvent* /*event*/) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(Qt::darkGray, 1));
  p.setBrush(forms::FromColorValue(color_));
  p.drawEllipse(rect().adjusted(1, 1, -1, -1));
}

void frm_Test::SetWatchdogIntervalForTests(std::chrono::milliseconds interval) {
  WatchdogInterval() = interval.count() > 0 ? interval : std::chrono::milliseconds(kWatchdogMs);
}

void frm_Test::SetPortsForTests(TestPorts ports) { Ports() = ports; }

frm_Test::frm_Test() {
  setObjectName(QString::fromUtf8(kFormName));
  setWindowTitle(QString::fromUtf8("Communications Testing "));

  lbl_Caption = new QLabel(QString::fromUtf8(
      "This application will test SNTP, FTP client and Day Time Client communications."));
  lbl_Caption->setWordWrap(true);

  Combo1 = ServerList("Combo1");
  Cmd_SNTP = forms::MakeButton("Cmd_SNTP", "Test");
  SNTP_LED = new Lamp("SNTP_LED");
  lbl_SNTP_Verdict = new QLabel;
  lbl_SNTP_Verdict->setObjectName(QString::fromUtf8("lbl_SNTP_Verdict"));
  lbl_SNTP_Verdict->setTextFormat(Qt::PlainText);  // server data is never markup
  Combo2 = ServerList("Combo2");
  Cmd_DayTime = forms::MakeButton("Cmd_DayTime", "Test");
  DayTime_LED = new Lamp("DayTime_LED");
  txt_Ftp_Server = Entry("txt_Ftp_Server");
  txt_Ftp_Username = Entry("txt_Ftp_Username");
  txt_Ftp_Password = Entry("txt_Ftp_Password");  // shown as typed, not masked
  Cmd_FTP = forms::MakeButton("Cmd_FTP", "Test");
  FTP_LED = new Lamp("FTP_LED");
  lbl_Ftp_Client_Status = new QLabel;
  lbl_Ftp_Client_Status->setObjectName(QString::fromUtf8("lbl_Ftp_Client_Status"));
  lbl_Ftp_Client_Status->setTextFormat(Qt::PlainText);
  Cmd_Exit = forms::MakeButton("Cmd_Exit", "Exit");

  auto* grid = new QGridLayout;
  int row = 0;
  grid->addWidget(forms::MakeLabel("SNTP:", Combo1), row, 0);
  grid->addWidget(Combo1, row, 1);
  grid->addWidget(Cmd_SNTP, row, 2);
  grid->addWidget(SNTP_LED, row++, 3);
  grid->addWidget(lbl_SNTP_Verdict, row++, 1, 1, 3);
  grid->addWidget(forms::MakeLabel("Day Time:", Combo2), row, 0);
  grid->addWidget(Combo2, row, 1);
  grid->addWidget(Cmd_DayTime, row, 2);
  grid->addWidget(DayTime_LED, row++, 3);
  grid->addWidget(forms::MakeLabel("FTP Server:", txt_Ftp_Server), row, 0);
  grid->addWidget(txt_Ftp_Server, row++, 1);
  grid->addWidget(forms::MakeLabel("Username:", txt_Ftp_Username), row, 0);
  grid->addWidget(txt_Ftp_Username, row++, 1);
  grid->addWidget(forms::MakeLabel("Password:", txt_Ftp_Password), row, 0);
  grid->addWidget(txt_Ftp_Password, row, 1);
  grid->addWidget(Cmd_FTP, row, 2);
  grid->addWidget(FTP_LED, row++, 3);
  grid->addWidget(forms::MakeLabel("FTP:", Cmd_FTP), row, 0);
  grid->addWidget(lbl_Ftp_Client_Status, row++, 1, 1, 3);

  auto* exit_row = new QHBoxLayout;
  exit_row->addStretch();
  exit_row->addWidget(Cmd_Exit);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(lbl_Caption);
  layout->addLayout(grid);
  layout->addLayout(exit_row);

  Timer_Watchdog = new QTimer(this);
  Timer_Watchdog->setObjectName(QString::fromUtf8("Timer_Watchdog"));
  Timer_Watchdog->setInterval(static_cast<int>(WatchdogInterval().count()));
  // A coarse timer may fire 5 % early: half a second short of the ten.
  Timer_Watchdog->setTimerType(Qt::PreciseTimer);

  connect(Cmd_SNTP, &QPushButton::clicked, this, [this] { Cmd_SNTP_Click(); });
  connect(Cmd_DayTime, &QPushButton::clicked, this, [this] { Cmd_DayTime_Click(); });
  connect(Cmd_FTP, &QPushButton::clicked, this, [this] { Cmd_FTP_Click(); });
  connect(Cmd_Exit, &QPushButton::clicked, this, [this] { Cmd_Exit_Click(); });
  connect(Timer_Watchdog, &QTimer::timeout, this, [this] { Timer_Watchdog_Timer(); });

  forms::SetTabChain({Combo1, Cmd_SNTP, Combo2, Cmd_DayTime, txt_Ftp_Server, txt_Ftp_Username,
                      txt_Ftp_Password, Cmd_FTP, Cmd_Exit});
  forms::NameControls(this);

  logic_ = std::make_unique<TestLogic>(static_cast<TestView&>(*this), Ports());
  logic_->Form_Load();
  forms::Announce(kFormName, forms::WindowEvent::kLoaded);
}

frm_Test::~frm_Test() = default;

void frm_Test::Cmd_SNTP_Click() { logic_->Cmd_SNTP_Click(); }
void frm_Test::Cmd_DayTime_Click() { logic_->Cmd_DayTime_Click(); }
void frm_Test::Cmd_FTP_Click() { logic_->Cmd_FTP_Click(); }
void frm_Test::Timer_Watchdog_Timer() { logic_->Timer_Watchdog_Timer(); }

void frm_Test::Cmd_Exit_Click() { Form_Unload(); }

// Closed another way than by Exit (the title bar, the unload of the instance): the same
// unload steps, and the window goes with the close.
void frm_Test::closeEvent(QCloseEvent* event) {
  if (!unloaded_) {
    unloaded_ = true;
    logic_->Form_Unload();
    forms::Announce(kFormName, forms::WindowEvent::kUnloaded);
  }
  event->accept();
}

// The window itself goes from the event loop once the handler that unloads it has returned,
// never from inside it: so no events are let run after the unload is asked for.
void frm_Test::Form_Unload() {
  if (unloaded_) return;
  unloaded_ = true;
  logic_->Form_Unload();
  forms::Announce(kFormName, forms::WindowEvent::kUnloaded);
  hide();
  forms::DoEvents();
  QTimer::singleShot(0, [self = QPointer<frm_Test>(this)] {
    if (!self.isNull() && forms::DefaultInstance<frm_Test>::Exists() &&
        &forms::DefaultInstance<frm_Test>::Get() == self.data()) {
      forms::DefaultInstance<frm_Test>::Unload();
    }
  });
}

std::string frm_Test::SntpServer() const { return S(Combo1->currentText()); }
std::string frm_Test::DaytimeServer() const { return S(Combo2->currentText()); }
std::string frm_Test::FtpServer() const { return S(txt_Ftp_Server->text()); }
std::string frm_Test::FtpUsername() const { return S(txt_Ftp_Username->text()); }
std::string frm_Test::FtpPassword() const { return S(txt_Ftp_Password->text()); }

void frm_Test::FillServers(const std::vector<std::string>& sntp,
                           const std::vector<std::string>& daytime) {
  for (const std::string& name : sntp) Combo1->addItem(Q(name));
  Combo1->setCurrentIndex(0);
  for (const std::string& name : daytime) Combo2->addItem(Q(name));
  Combo2->setCurrentIndex(0);
}

void frm_Test::SetFtpTexts(const std::string& server, const std::string& user,
                           const std::string& password) {
  txt_Ftp_Server->setText(Q(server));
  txt_Ftp_Username->setText(Q(user));
  txt_Ftp_Password->setText(Q(password));
}

void frm_Test::SetLamp(Test test, int color) {
  Lamp* lamp = test == Test::Sntp ? SNTP_LED : test == Test::DayTime ? DayTime_LED : FTP_LED;
  lamp->SetColorValue(color);
}

void frm_Test::EnableTest(Test test, bool enabled) {
  QPushButton* b = test == Test::Sntp ? Cmd_SNTP : test == Test::DayTime ? Cmd_DayTime : Cmd_FTP;
  b->setEnabled(enabled);
}

// Enabling the running watchdog leaves its ten seconds running from the first start.
void frm_Test::EnableWatchdog(bool enabled) {
  if (!enabled) {
    Timer_Watchdog->stop();
  } else if (!Timer_Watchdog->isActive()) {
    Timer_Watchdog->start();
  }
}

void frm_Test::SetFtpStatus(const std::string& text) {
  lbl_Ftp_Client_Status->setText(Q(text));
  emit FtpStatusShown(Q(text));
}
void frm_Test::SetSntpVerdict(const std::string& text) { lbl_SNTP_Verdict->setText(Q(text)); }

void frm_Test::ShowMessage(const forms::Message& message) { forms::Show(message); }

void frm_Test::DoEvents() { forms::DoEvents(); }

// One step of a polling loop: wait for an event (at most 10 ms), then let events run.
void frm_Test::WaitEvents() {
  QEventLoop wait;
  QTimer::singleShot(10, &wait, &QEventLoop::quit);
  wait.exec();
  forms::DoEvents();
}

void ShowTestWindow() {
  frm_Test& w = forms::DefaultInstance<frm_Test>::Get();
  w.setWindowModality(Qt::ApplicationModal);
  w.show();
  w.raise();
  w.activateWindow();
}

}  // namespace comms
