#include "network/frm_NWSetup.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "base/app_paths.h"
#include "forms/app.h"
#include "forms/msgbox.h"
#include "forms/runtime_error.h"
#include "forms/widgets.h"
#include "forms/window_events.h"
#include "network/create_file.h"
#include "network/load_file.h"
#include "network/record_fields.h"

namespace network {
namespace {

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

// The typing limit of a text box is the one its field's load enforces.
int LimitOf(const char* control) {
  const FieldDef* f = FindField(control);
  return f != nullptr ? f->max_length : 0;
}

QLineEdit* Entry(QFormLayout* form, const char* name, const char* label) {
  return forms::AddEntry(form, name, label, LimitOf(name));
}

std::string AppPath() {
  return base::WithTrailingSeparator(forms::App::Path());
}

// Handlers show their failures as their own; nothing unforeseen leaves them.
template <typename F>
void Guarded(const char* what_failed, F&& body) {
  try {
    body();
  } catch (const std::exception& e) {
    forms::Show({what_failed + forms::DescriptionOf(e), forms::vbOKOnly, ""});
  }
}

}  // namespace

frm_NWSetup::frm_NWSetup() {
  setObjectName(QString::fromLatin1(kFormName));
  setWindowTitle(QStringLiteral("Network Board Setup"));
  BuildControls();
  SetKeyboardOrder();
  forms::NameControls(this);
  Form_Load();
}

frm_NWSetup::~frm_NWSetup() = default;

// Three columns, left to right and top to bottom in the order a technician fills them in:
// addressing, e-mail reports, time and meter settings.
void frm_NWSetup::BuildControls() {
  auto* grid = new QGridLayout(this);

  auto* serial_row = new QHBoxLayout;
  txt_MeterSerialNumber = new QLineEdit;
  txt_MeterSerialNumber->setObjectName(QStringLiteral("txt_MeterSerialNumber"));
  txt_MeterSerialNumber->setMinimumWidth(180);
  serial_row->addWidget(forms::MakeLabel("Meter Serial Number", txt_MeterSerialNumber));
  serial_row->addWidget(txt_MeterSerialNumber);
  serial_row->addStretch();
  cmd_Create_NW_File = forms::MakeButton("cmd_Create_NW_File", "Create File");
  cmd_Read_NW_File = forms::MakeButton("cmd_Read_NW_File", "Load Data From File");
  serial_row->addWidget(cmd_Create_NW_File);
  serial_row->addWidget(cmd_Read_NW_File);
  grid->addLayout(serial_row, 0, 0, 1, 3);

  grid->addWidget(BuildDhcp(), 1, 0);
  grid->addWidget(BuildFtp(), 2, 0);
  grid->addWidget(BuildEmail(), 1, 1, 2, 1);
  grid->addWidget(BuildSntp(), 1, 2);
  grid->addWidget(BuildMisc(), 2, 2);
  grid->setRowStretch(3, 1);

  // The text boxes' values as the window is defined; the lists and days are set on load.
  const SetupState initial;
  txt_MeterSerialNumber->setText(Q(initial.txt_MeterSerialNumber));
  txt_CTRatio->setText(Q(initial.txt_CTRatio));
  txt_PTRatio->setText(Q(initial.txt_PTRatio));
  txt_Threshold->setText(Q(initial.txt_Threshold));
  txt_LPScaler->setText(Q(initial.txt_LPScaler));

  connect(cmd_Create_NW_File, &QPushButton::clicked, this, [this] { cmd_Create_NW_File_Click(); });
  connect(cmd_Read_NW_File, &QPushButton::clicked, this, [this] { cmd_Read_NW_File_Click(); });
}

QGroupBox* frm_NWSetup::BuildDhcp() {
  QGroupBox* group = forms::MakeGroup("DHCP Configuration", "fra_DHCP");
  auto* form = new QFormLayout(group);
  Chk_DisableDHCP = forms::MakeCheck("Chk_DisableDHCP", "Disable DHCP ( Use Static IP )");
  form->addRow(Chk_DisableDHCP);
  txt_StaticIPAddress = Entry(form, "txt_StaticIPAddress", "Static IP Address");
  txt_SubNetMask = Entry(form, "txt_SubNetMask", "Subnet Mask");
  txt_Gateway = Entry(form, "txt_Gateway", "Gateway");
  txt_DNSAddress1 = Entry(form, "txt_DNSAddress1", "DNS Address 1");
  txt_DNSAddress2 = Entry(form, "txt_DNSAddress2", "DNS Address 2");
  return group;
}

QGroupBox* frm_NWSetup::BuildFtp() {
  QGroupBox* group = forms::MakeGroup("FTP Setup", "fra_FTP");
  auto* form = new QFormLayout(group);
  Chk_DisableFTP = forms::MakeCheck("Chk_DisableFTP", "Disable FTP");
  form->addRow(Chk_DisableFTP);
  txt_FTPServerAddress = Entry(form, "txt_FTPServerAddress", "FTP Server");
  txt_FTPUsername = Entry(form, "txt_FTPUsername", "FTP Username");
  txt_FTPPassword = Entry(form, "txt_FTPPassword", "FTP Password");
  return group;
}

QGroupBox* frm_NWSetup::BuildEmail() {
  QGroupBox* group = forms::MakeGroup("Email Setup", "fra_Email");
  auto* form = new QFormLayout(group);
  Chk_DisableEmail = forms::MakeCheck("Chk_DisableEmail", "Disable Email");
  form->addRow(Chk_DisableEmail);
  txt_EmailAddress = Entry(form, "txt_EmailAddress", "Email Address");
  txt_EmailAddressCC = Entry(form, "txt_EmailAddressCC", "CC: Email Address");
  chk_CC_Option = forms::MakeCheck("chk_CC_Option", "CC: Option");
  form->addRow(chk_CC_Option);
  txt_POP3Domain = Entry(form, "txt_POP3Domain", "POP3 Address");
  txt_SMTPDomain = Entry(form, "txt_SMTPDomain", "SMTP Address");
  txt_EmailUserName = Entry(form, "txt_EmailUserName", "User Name");
  txt_EmailPassword = Entry(form, "txt_EmailPassword", "Password");
  txt_EmailDomain = Entry(form, "txt_EmailDomain", "Email Domain");

  auto* time = new QHBoxLayout;
  cmb_EmailHour = forms::MakeList("cmb_EmailHour");
  cmb_EmailMinute = forms::MakeList("cmb_EmailMinute");
  time->addWidget(cmb_EmailHour);
  time->addWidget(new QLabel(QStringLiteral(":")));
  time->addWidget(cmb_EmailMinute);
  time->addStretch();
  form->addRow(forms::MakeLabel("Schedule Time", cmb_EmailHour), time);
  // One label for two lists: each announces which half of the time it holds.
  for (QComboBox* list : {cmb_EmailHour, cmb_EmailMinute}) {
    list->setAccessibleName(
        QString::fromLatin1(FindField(list->objectName().toStdString())->label));
  }

  auto* lists = new QHBoxLayout;
  QGroupBox* reports = forms::MakeGroup("Reports", "fra_Reports");
  auto* report_col = new QVBoxLayout(reports);
  Chk_CurrentBilling = forms::MakeCheck("Chk_CurrentBilling", "Current Billing Values");
  Chk_LastReset = forms::MakeCheck("Chk_LastReset", "Last Reset Values");
  Chk_LastSeason = forms::MakeCheck("Chk_LastSeason", "Last Season Values");
  Chk_Status = forms::MakeCheck("Chk_Status", "Status Values");
  Chk_LoadProfile = forms::MakeCheck("Chk_LoadProfile", "Load Profile");
  for (QCheckBox* box :
       {Chk_CurrentBilling, Chk_LastReset, Chk_LastSeason, Chk_Status, Chk_LoadProfile}) {
    report_col->addWidget(box);
  }
  report_col->addStretch();
  lists->addWidget(reports);

  static constexpr std::array<const char*, 8> kDays = {
      "Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday", "Everyday"};
  QGroupBox* days = forms::MakeGroup("Day to Report", "fra_DayToReport");
  auto* day_grid = new QGridLayout(days);
  for (std::size_t i = 0; i < kDays.size(); ++i) {
    auto* box = forms::MakeCheck("Chk_WeekDay", kDays.at(i));
    box->setObjectName(QStringLiteral("Chk_WeekDay_%1").arg(i));
    box->setProperty("Index", static_cast<int>(i));
    Chk_WeekDay.at(i) = box;
    day_grid->addWidget(box, static_cast<int>(i % 4), static_cast<int>(i / 4));
  }
  lists->addWidget(days);
  form->addRow(lists);
  return group;
}

QGroupBox* frm_NWSetup::BuildSntp() {
  QGroupBox* group = forms::MakeGroup("SNTP Setup", "fra_SNTP");
  auto* form = new QFormLayout(group);
  Chk_DisableSNTP = forms::MakeCheck("Chk_DisableSNTP", "Disable SNTP");
  form->addRow(Chk_DisableSNTP);
  Chk_SNTP_Update_RTC =
      forms::MakeCheck("Chk_SNTP_Update_RTC", "Enable SNTP Update to Real Time Clock");
  form->addRow(Chk_SNTP_Update_RTC);
  cmb_SNTPPeriodicity = forms::MakeList("cmb_SNTPPeriodicity");
  form->addRow(forms::MakeLabel("SNTP Periodicity", cmb_SNTPPeriodicity), cmb_SNTPPeriodicity);
  cmb_SNTP_UTC_Offset = forms::MakeList("cmb_SNTP_UTC_Offset");
  form->addRow(forms::MakeLabel("SNTP UTC Offset", cmb_SNTP_UTC_Offset), cmb_SNTP_UTC_Offset);
  txt_SNTPAddress1 = Entry(form, "txt_SNTPAddress1", "SNTP Address 1");
  txt_SNTPAddress2 = Entry(form, "txt_SNTPAddress2", "SNTP Address 2");
  return group;
}

QGroupBox* frm_NWSetup::BuildMisc() {
  QGroupBox* group = forms::MakeGroup("Misc", "fra_Misc");
  auto* form = new QFormLayout(group);
  Chk_DisableModBus = forms::MakeCheck("Chk_DisableModBus", "Disable ModBus Server");
  form->addRow(Chk_DisableModBus);
  cmb_MBSlaveID = forms::MakeList("cmb_MBSlaveID");
  form->addRow(forms::MakeLabel("MB Slave ID", cmb_MBSlaveID), cmb_MBSlaveID);
  txt_CTRatio = Entry(form, "txt_CTRatio", "CT Ratio");
  txt_PTRatio = Entry(form, "txt_PTRatio", "PT Ratio");
  txt_Threshold = Entry(form, "txt_Threshold", "Threshold");
  txt_LPScaler = Entry(form, "txt_LPScaler", "LP Scaler");
  return group;
}

// Tab walks the window as it reads: the top row, then each column top to bottom, left to
// right.
void frm_NWSetup::SetKeyboardOrder() {
  forms::SetTabChain(
      {txt_MeterSerialNumber, cmd_Create_NW_File, cmd_Read_NW_File,     Chk_DisableDHCP,
       txt_StaticIPAddress,   txt_SubNetMask,     txt_Gateway,          txt_DNSAddress1,
       txt_DNSAddress2,       Chk_DisableFTP,     txt_FTPServerAddress, txt_FTPUsername,
       txt_FTPPassword,       Chk_DisableEmail,   txt_EmailAddress,     txt_EmailAddressCC,
       chk_CC_Option,         txt_POP3Domain,     txt_SMTPDomain,       txt_EmailUserName,
       txt_EmailPassword,     txt_EmailDomain,    cmb_EmailHour,        cmb_EmailMinute,
       Chk_CurrentBilling,    Chk_LastReset,      Chk_LastSeason,       Chk_Status,
       Chk_LoadProfile});
  // The days as laid out: Sunday to Wednesday down the first column, then the rest.
  QWidget* last = Chk_LoadProfile;
  for (QCheckBox* day : Chk_WeekDay) {
    setTabOrder(last, day);
    last = day;
  }
  forms::SetTabChain({last, Chk_DisableSNTP, Chk_SNTP_Update_RTC, cmb_SNTPPeriodicity,
                      cmb_SNTP_UTC_Offset, txt_SNTPAddress1, txt_SNTPAddress2, Chk_DisableModBus,
                      cmb_MBSlaveID, txt_CTRatio, txt_PTRatio, txt_Threshold, txt_LPScaler});
}

void frm_NWSetup::Form_Load() {
  forms::Announce(kFormName, forms::WindowEvent::kLoaded);
  NWFields.assign(kFilePieces, std::string());
  forms::FillNumbers(cmb_EmailHour, kEmailHourItems);
  forms::FillNumbers(cmb_EmailMinute, kEmailMinuteItems);
  forms::FillNumbers(cmb_MBSlaveID, kSlaveIdItems);
  forms::FillNumbers(cmb_SNTPPeriodicity, kSntpPeriodicityItems);
  forms::FillNumbers(cmb_SNTP_UTC_Offset, kSntpUtcOffsetItems);
  for (QCheckBox* day : Chk_WeekDay) day->setChecked(false);
  cmb_SNTPPeriodicity->setCurrentIndex(0);
  cmb_SNTP_UTC_Offset->setCurrentIndex(0);
  cmb_EmailHour->setCurrentIndex(0);
  cmb_EmailMinute->setCurrentIndex(0);
  cmb_MBSlaveID->setCurrentIndex(255);
  regexp_ = std::make_unique<lp_regexp>();
  Chk_WeekDay.at(kEveryday)->setChecked(true);
}

void frm_NWSetup::closeEvent(QCloseEvent* event) {
  Form_Unload();
  event->accept();
}

void frm_NWSetup::Form_Unload() {
  forms::Announce(kFormName, forms::WindowEvent::kUnloaded);
}

SetupState frm_NWSetup::ReadControls() const {
  SetupState s;
  s.txt_MeterSerialNumber = txt_MeterSerialNumber->text().toStdString();
  for (const FieldDef& f : FieldTable()) {
    const QString name = QString::fromLatin1(f.control);
    switch (f.kind) {
      case FieldKind::kCheck:
        s.*f.check = findChild<QCheckBox*>(name)->isChecked();
        break;
      case FieldKind::kList:
        s.*f.list = findChild<QComboBox*>(name)->currentIndex();
        break;
      case FieldKind::kText:
        s.*f.text = findChild<QLineEdit*>(name)->text().toStdString();
        break;
      case FieldKind::kDay:
        for (std::size_t i = 0; i < Chk_WeekDay.size(); ++i) {
          s.Chk_WeekDay.at(i) = Chk_WeekDay.at(i)->isChecked();
        }
        break;
    }
  }
  return s;
}

void frm_NWSetup::ApplyControls(const SetupState& s) {
  txt_MeterSerialNumber->setText(Q(s.txt_MeterSerialNumber));
  for (const FieldDef& f : FieldTable()) {
    const QString name = QString::fromLatin1(f.control);
    switch (f.kind) {
      case FieldKind::kCheck:
        findChild<QCheckBox*>(name)->setChecked(s.*f.check);
        break;
      case FieldKind::kList:
        findChild<QComboBox*>(name)->setCurrentIndex(s.*f.list);
        break;
      case FieldKind::kText:
        findChild<QLineEdit*>(name)->setText(Q(s.*f.text));
        break;
      case FieldKind::kDay:
        for (std::size_t i = 0; i < Chk_WeekDay.size(); ++i) {
          Chk_WeekDay.at(i)->setChecked(s.Chk_WeekDay.at(i));
        }
        break;
    }
  }
}

void frm_NWSetup::cmd_Create_NW_File_Click() {
  Guarded("Error in file creation: ", [this] {
    CreateNetworkFile(ReadControls(), *regexp_, AppPath(), NWFields, forms::Show);
  });
}

void frm_NWSetup::cmd_Read_NW_File_Click() {
  Guarded("Error in loading the file: ", [this] {
    SetupState s = ReadControls();
    const auto pick = [this](const std::string& start_dir) {
      dialog_.FileName.clear();
      dialog_.Filter = "Text Files(*.txt)|*.txt";
      dialog_.InitDir = start_dir;
      dialog_.ShowOpen();
      return PickedFile{dialog_.FileName, dialog_.FileTitle};
    };
    LoadFromChosenFile(AppPath(), s, NWFields, pick, forms::Show);
    ApplyControls(s);  // also what came before a field that stopped the load
  });
}

}  // namespace network
