#include "network/frm_NWSetup.h"

#include <QAction>
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
#include <QValidator>
#include <filesystem>

#include "forms/default_instance.h"
#include "forms/msgbox.h"
#include "forms/runtime_error.h"
#include "forms/web_browser.h"
#include "frm_FileCreate.h"
#include "globals.h"
#include "network/address.h"
#include "network/nw_fields.h"
#include "network/nw_reader.h"
#include "network/nw_writer.h"

namespace network {
namespace {

QString Q(const char* text) {
  return QString::fromUtf8(text);
}
QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

app::frm_FileCreate& Main() {
  return forms::DefaultInstance<app::frm_FileCreate>::Get();
}

// A typing limit that, like the platform's, stops the user from typing more but lets a
// longer text set by the program stand (and be shortened). The validator sees the text after
// the edit, so the length before it is kept from the last change.
class TypingLimit : public QValidator {
 public:
  TypingLimit(QLineEdit* edit, int limit)
      : QValidator(edit), limit_(limit), before_(edit->text().size()) {
    connect(edit, &QLineEdit::textChanged, this, [this](const QString& t) { before_ = t.size(); });
  }
  State validate(QString& input, int& /*pos*/) const override {
    return input.size() > limit_ && input.size() > before_ ? Invalid : Acceptable;
  }

 private:
  qsizetype limit_;
  qsizetype before_;
};

QLineEdit* Entry(QFormLayout* form, const char* name, const char* label, int limit) {
  auto* edit = new QLineEdit;
  edit->setObjectName(Q(name));
  edit->setMinimumWidth(160);  // a full dotted quad or host name stays readable
  if (limit > 0) edit->setValidator(new TypingLimit(edit, limit));
  form->addRow(Q(label), edit);
  return edit;
}

QCheckBox* Check(const char* name, const char* caption) {
  auto* box = new QCheckBox(Q(caption));
  box->setObjectName(Q(name));
  return box;
}

QComboBox* List(const char* name) {
  auto* list = new QComboBox;
  list->setObjectName(Q(name));
  list->setMaxVisibleItems(25);
  return list;
}

void Fill(QComboBox* list, int items) {
  list->clear();
  for (int i = 0; i < items; ++i) list->addItem(QString::number(i));
}

QGroupBox* Group(const char* caption, const char* name) {
  auto* group = new QGroupBox(Q(caption));
  group->setObjectName(Q(name));
  return group;
}

constexpr int kAddressLimit = 31;
constexpr int kNumberLimit = 3;
constexpr int kThresholdLimit = 4;

}  // namespace

frm_NWSetup::frm_NWSetup() {
  setObjectName(Q(kFormName));
  setWindowTitle(QStringLiteral("Network Board Setup"));
  BuildControls();
  Form_Load();
}

frm_NWSetup::~frm_NWSetup() = default;

// Three columns, left to right and top to bottom in the order a technician fills them in:
// addressing, e-mail reports, time and meter settings. Tab order is creation order.
void frm_NWSetup::BuildControls() {
  auto* grid = new QGridLayout(this);

  auto* serial_row = new QHBoxLayout;
  serial_row->addWidget(new QLabel(QStringLiteral("Meter Serial Number")));
  txt_MeterSerialNumber = new QLineEdit;
  txt_MeterSerialNumber->setObjectName(QStringLiteral("txt_MeterSerialNumber"));
  txt_MeterSerialNumber->setMinimumWidth(180);
  serial_row->addWidget(txt_MeterSerialNumber);
  serial_row->addStretch();
  cmd_Create_NW_File = new QPushButton(QStringLiteral("Create File"));
  cmd_Create_NW_File->setObjectName(QStringLiteral("cmd_Create_NW_File"));
  cmd_Read_NW_File = new QPushButton(QStringLiteral("Load Data From File"));
  cmd_Read_NW_File->setObjectName(QStringLiteral("cmd_Read_NW_File"));
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
  const NWSetupState initial;
  txt_MeterSerialNumber->setText(Q(initial.txt_MeterSerialNumber));
  txt_CTRatio->setText(Q(initial.txt_CTRatio));
  txt_PTRatio->setText(Q(initial.txt_PTRatio));
  txt_Threshold->setText(Q(initial.txt_Threshold));
  txt_LPScaler->setText(Q(initial.txt_LPScaler));

  connect(cmd_Create_NW_File, &QPushButton::clicked, this, [this] { cmd_Create_NW_File_Click(); });
  connect(cmd_Read_NW_File, &QPushButton::clicked, this, [this] { cmd_Read_NW_File_Click(); });
}

QGroupBox* frm_NWSetup::BuildDhcp() {
  QGroupBox* group = Group("DHCP Configuration", "fra_DHCP");
  auto* form = new QFormLayout(group);
  Chk_DisableDHCP = Check("Chk_DisableDHCP", "Disable DHCP ( Use Static IP )");
  form->addRow(Chk_DisableDHCP);
  txt_StaticIPAddress = Entry(form, "txt_StaticIPAddress", "Static IP Address", kAddressLimit);
  txt_SubNetMask = Entry(form, "txt_SubNetMask", "Subnet Mask", kAddressLimit);
  txt_Gateway = Entry(form, "txt_Gateway", "Gateway", kAddressLimit);
  txt_DNSAddress1 = Entry(form, "txt_DNSAddress1", "DNS Address 1", kAddressLimit);
  txt_DNSAddress2 = Entry(form, "txt_DNSAddress2", "DNS Address 2", kAddressLimit);
  return group;
}

QGroupBox* frm_NWSetup::BuildFtp() {
  QGroupBox* group = Group("FTP Setup", "fra_FTP");
  auto* form = new QFormLayout(group);
  Chk_DisableFTP = Check("Chk_DisableFTP", "Disable FTP");
  form->addRow(Chk_DisableFTP);
  txt_FTPServerAddress = Entry(form, "txt_FTPServerAddress", "FTP Server", kAddressLimit);
  txt_FTPUsername = Entry(form, "txt_FTPUsername", "FTP Username", kAddressLimit);
  txt_FTPPassword = Entry(form, "txt_FTPPassword", "FTP Password", kAddressLimit);
  return group;
}

QGroupBox* frm_NWSetup::BuildEmail() {
  QGroupBox* group = Group("Email Setup", "fra_Email");
  auto* form = new QFormLayout(group);
  Chk_DisableEmail = Check("Chk_DisableEmail", "Disable Email");
  form->addRow(Chk_DisableEmail);
  txt_EmailAddress = Entry(form, "txt_EmailAddress", "Email Address", kAddressLimit);
  txt_EmailAddressCC = Entry(form, "txt_EmailAddressCC", "CC: Email Address", kAddressLimit);
  chk_CC_Option = Check("chk_CC_Option", "CC: Option");
  form->addRow(chk_CC_Option);
  txt_POP3Domain = Entry(form, "txt_POP3Domain", "POP3 Address", kAddressLimit);
  txt_SMTPDomain = Entry(form, "txt_SMTPDomain", "SMTP Address", kAddressLimit);
  txt_EmailUserName = Entry(form, "txt_EmailUserName", "User Name", kAddressLimit);
  txt_EmailPassword = Entry(form, "txt_EmailPassword", "Password", kAddressLimit);
  txt_EmailDomain = Entry(form, "txt_EmailDomain", "Email Domain", kAddressLimit);

  auto* time = new QHBoxLayout;
  cmb_EmailHour = List("cmb_EmailHour");
  cmb_EmailMinute = List("cmb_EmailMinute");
  time->addWidget(cmb_EmailHour);
  time->addWidget(new QLabel(QStringLiteral(":")));
  time->addWidget(cmb_EmailMinute);
  time->addStretch();
  form->addRow(QStringLiteral("Schedule Time"), time);

  auto* lists = new QHBoxLayout;
  QGroupBox* reports = Group("Reports", "fra_Reports");
  auto* report_col = new QVBoxLayout(reports);
  Chk_CurrentBilling = Check("Chk_CurrentBilling", "Current Billing Values");
  Chk_LastReset = Check("Chk_LastReset", "Last Reset Values");
  Chk_LastSeason = Check("Chk_LastSeason", "Last Season Values");
  Chk_Status = Check("Chk_Status", "Status Values");
  Chk_LoadProfile = Check("Chk_LoadProfile", "Load Profile");
  for (QCheckBox* box :
       {Chk_CurrentBilling, Chk_LastReset, Chk_LastSeason, Chk_Status, Chk_LoadProfile}) {
    report_col->addWidget(box);
  }
  report_col->addStretch();
  lists->addWidget(reports);

  static constexpr std::array<const char*, 8> kDays = {
      "Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday", "Everyday"};
  QGroupBox* days = Group("Day to Report", "fra_DayToReport");
  auto* day_grid = new QGridLayout(days);
  for (std::size_t i = 0; i < kDays.size(); ++i) {
    auto* box = Check("Chk_WeekDay", kDays.at(i));
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
  QGroupBox* group = Group("SNTP Setup", "fra_SNTP");
  auto* form = new QFormLayout(group);
  Chk_DisableSNTP = Check("Chk_DisableSNTP", "Disable SNTP");
  form->addRow(Chk_DisableSNTP);
  Chk_SNTP_Update_RTC = Check("Chk_SNTP_Update_RTC", "Enable SNTP Update to Real Time Clock");
  form->addRow(Chk_SNTP_Update_RTC);
  cmb_SNTPPeriodicity = List("cmb_SNTPPeriodicity");
  form->addRow(QStringLiteral("SNTP Periodicity"), cmb_SNTPPeriodicity);
  cmb_SNTP_UTC_Offset = List("cmb_SNTP_UTC_Offset");
  form->addRow(QStringLiteral("SNTP UTC Offset"), cmb_SNTP_UTC_Offset);
  txt_SNTPAddress1 = Entry(form, "txt_SNTPAddress1", "SNTP Address 1", kAddressLimit);
  txt_SNTPAddress2 = Entry(form, "txt_SNTPAddress2", "SNTP Address 2", kAddressLimit);
  return group;
}

QGroupBox* frm_NWSetup::BuildMisc() {
  QGroupBox* group = Group("Misc", "fra_Misc");
  auto* form = new QFormLayout(group);
  Chk_DisableModBus = Check("Chk_DisableModBus", "Disable ModBus Server");
  form->addRow(Chk_DisableModBus);
  cmb_MBSlaveID = List("cmb_MBSlaveID");
  form->addRow(QStringLiteral("MB Slave ID"), cmb_MBSlaveID);
  txt_CTRatio = Entry(form, "txt_CTRatio", "CT Ratio", kNumberLimit);
  txt_PTRatio = Entry(form, "txt_PTRatio", "PT Ratio", kNumberLimit);
  txt_Threshold = Entry(form, "txt_Threshold", "Threshold", kThresholdLimit);
  txt_LPScaler = Entry(form, "txt_LPScaler", "LP Scaler", kNumberLimit);
  return group;
}

void frm_NWSetup::Form_Load() {
  app::frm_FileCreate& main = Main();
  main.wb->setVisible(false);
  main.cmd_CreateFile->setEnabled(false);
  main.cmd_ReadRaw->setEnabled(false);

  NWFields.assign(kFilePieces, std::string());
  Fill(cmb_EmailHour, kEmailHourItems);
  Fill(cmb_EmailMinute, kEmailMinuteItems);
  Fill(cmb_MBSlaveID, kSlaveIdItems);
  Fill(cmb_SNTPPeriodicity, kSntpPeriodicityItems);
  Fill(cmb_SNTP_UTC_Offset, kSntpUtcOffsetItems);
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
  // At the end of the run the main window may already be gone; do not bring it back.
  if (!forms::DefaultInstance<app::frm_FileCreate>::Exists()) return;
  app::frm_FileCreate& main = Main();
  main.wb->setVisible(true);
  main.cmd_CreateFile->setEnabled(true);
  main.cmd_ReadRaw->setEnabled(true);
}

NWSetupState frm_NWSetup::ReadControls() const {
  NWSetupState s;
  s.txt_MeterSerialNumber = txt_MeterSerialNumber->text().toStdString();
  for (const FieldDef& f : FieldTable()) {
    const QString name = Q(f.control);
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

void frm_NWSetup::ApplyControls(const NWSetupState& s) {
  txt_MeterSerialNumber->setText(Q(s.txt_MeterSerialNumber));
  for (const FieldDef& f : FieldTable()) {
    const QString name = Q(f.control);
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

int frm_NWSetup::Show(const Message& m) {
  return forms::MsgBox(m.prompt, m.buttons, m.title);
}

void frm_NWSetup::cmd_Create_NW_File_Click() {
  try {
    app::frm_FileCreate& main = Main();
    const CreatePlan plan = PlanCreate(ReadControls(), *regexp_, main.GetAppPath());
    if (plan.refusal) {
      Show(*plan.refusal);
      return;
    }
    NWFields.assign(plan.fields.begin(), plan.fields.end());
    NWFields.resize(kFilePieces);
    if (FileExists(plan.path) && Show(OverwriteQuestion(plan.file_name)) == vbNo) return;
    if (!main.Write_String_To_File(plan.line, plan.path)) return;
    app::CurrentFileName = plan.file_name;
    Show(CreatedMessage(plan.file_name));
  } catch (const forms::RuntimeError& e) {
    Show(CreationFailure(e.Description()));
  }
}

void frm_NWSetup::cmd_Read_NW_File_Click() {
  app::frm_FileCreate& main = Main();
  // The dialog opens in Program_Files; without one it opens in the application directory.
  const std::string dir = main.GetAppPath() + "Program_Files";
  std::error_code ec;
  std::filesystem::current_path(dir, ec);
  forms::CommonDialog& dialog = main.CommonDialog1;
  dialog.FileName.clear();
  dialog.Filter = "Text Files(*.txt)|*.txt";
  dialog.InitDir = ec ? main.GetAppPath() : dir;
  dialog.ShowOpen();
  const std::string path = dialog.FileName;
  if (path.empty()) return;
  app::LastOpenedFilePath = path;

  NWSetupState s = ReadControls();
  const auto stop =
      LoadNetworkFile(path, dialog.FileTitle, s, NWFields,
                      [&main](const std::string& p) { return main.fnc_FileToString(p); });
  ApplyControls(s);  // also what came before a field that stopped the load
  if (stop) Show(*stop);
}

void InstallNetworkSetupMenu(app::frm_FileCreate& main) {
  main.AddFilesMenuEntry(QStringLiteral("Network Setup..."),
                         [] {
                           frm_NWSetup& w = forms::DefaultInstance<frm_NWSetup>::Get();
                           w.show();
                           w.raise();
                           w.activateWindow();
                         })
      ->setObjectName(QStringLiteral("mnuNetworkSetup"));
}

}  // namespace network
