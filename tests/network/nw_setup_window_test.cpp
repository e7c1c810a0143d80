// The network setup window through its real widgets, found by object name, with every dialog
// answered by the forms runtime's test hook. Runs in the one window test binary.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <filesystem>
#include <map>

#include "base/shared_values.h"
#include "forms/default_instance.h"
#include "forms/dialog_hook.h"
#include "forms/msgbox.h"
#include "forms/text_rules.h"
#include "forms/web_browser.h"
#include "frm_FileCreate.h"
#include "network/frm_NWSetup.h"
#include "window_rules.h"
#include "window_test_support.h"

namespace fs = std::filesystem;
using app::frm_FileCreate;
using network::frm_NWSetup;

namespace {

const char* const kAppTitle = "Corvane's Programmer / Debugger";
const char* const kExampleLine =
    "E,0,7,0,0,0,0,1,00,00,1,1,0,0,1,0,1,1,1,0100,1,1,0,,,,,,,,,,,,,,,,,,";
using Values = std::map<std::string, std::string>;
// e-mail, FTP and SNTP off, DHCP in use, slave ID 1, Everyday and Load Profile, threshold 0100.
const Values kExample = {{"Chk_DisableEmail", "1"}, {"Chk_DisableFTP", "1"},
                         {"Chk_DisableSNTP", "1"},  {"cmb_MBSlaveID", "1"},
                         {"Chk_LoadProfile", "1"},  {"txt_Threshold", "0100"}};

frm_FileCreate& Main() {
  return forms::DefaultInstance<frm_FileCreate>::Get();
}

QAction* NetworkSetupEntry() {
  if (Main().findChild<QAction*>(QStringLiteral("mnuNetworkSetup")) == nullptr) {
    app::WireWindows(Main());  // as the program's start does
  }
  return Main().findChild<QAction*>(QStringLiteral("mnuNetworkSetup"));
}

std::string ProgramFiles() {
  return testsupport::AppDir() + "/Program_Files/";
}

class NWSetupWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const auto& entry : fs::directory_iterator(ProgramFiles())) fs::remove_all(entry);
    NetworkSetupEntry()->trigger();
    ASSERT_TRUE(forms::DefaultInstance<frm_NWSetup>::Exists());
    w = &forms::DefaultInstance<frm_NWSetup>::Get();
  }
  void TearDown() override { forms::DefaultInstance<frm_NWSetup>::Unload(); }

  template <typename T>
  T* Find(const std::string& name) const {
    T* widget = w->findChild<T*>(QString::fromStdString(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }
  QCheckBox* Day(int index) const {
    return Find<QCheckBox>("Chk_WeekDay_" + std::to_string(index));
  }

  // Enters values as a technician would leave them: texts, "1"/"0" for boxes, list positions.
  void Set(const Values& values) {
    for (const auto& [name, value] : values) {
      QWidget* widget = w->findChild<QWidget*>(QString::fromStdString(name));
      ASSERT_NE(widget, nullptr) << name;
      if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        edit->setText(QString::fromStdString(value));
      } else if (auto* box = qobject_cast<QCheckBox*>(widget)) {
        box->setChecked(value == "1");
      } else if (auto* list = qobject_cast<QComboBox*>(widget)) {
        list->setCurrentIndex(std::stoi(value));
      }
    }
  }
  std::string Text(const std::string& name) const {
    return Find<QLineEdit>(name)->text().toStdString();
  }

  // Clicks "Create File"; the one message box it showed.
  forms::DialogCall Create() {
    dialogs.Clear();
    Find<QPushButton>("cmd_Create_NW_File")->click();
    const auto shown = dialogs.Messages();
    EXPECT_EQ(shown.size(), 1u);
    return shown.empty() ? forms::DialogCall{} : shown.back();
  }
  void ExpectRefusal(const Values& values, const std::string& message) {
    Set(values);
    const auto shown = Create();
    EXPECT_EQ(shown.prompt, message);
    EXPECT_EQ(shown.title, "Network Setup");
    EXPECT_EQ(shown.buttons, forms::vbCritical);
    EXPECT_TRUE(fs::is_empty(ProgramFiles())) << message;
  }
  // Clicks "Load Data From File" and picks `path`.
  std::vector<forms::DialogCall> Load(const std::string& path) {
    dialogs.Clear();
    dialogs.Answer(path);
    Find<QPushButton>("cmd_Read_NW_File")->click();
    return dialogs.Messages();
  }

  forms::ScriptedDialogs dialogs;
  frm_NWSetup* w = nullptr;
};

TEST_F(NWSetupWindow, FilesMenuOpensItModelessAndItsCloseGivesBackTheMainButtons) {
  EXPECT_EQ(NetworkSetupEntry()->text().toStdString(), "Network Setup...");
  QMenu* files = Main().findChild<QMenu*>(QStringLiteral("mnuFiles"));
  ASSERT_NE(files, nullptr);
  EXPECT_EQ(files->title().toStdString(), "Files");
  EXPECT_TRUE(files->actions().contains(NetworkSetupEntry()));

  EXPECT_TRUE(w->isVisible());
  EXPECT_FALSE(w->isModal());
  EXPECT_EQ(w->windowTitle().toStdString(), "Network Board Setup");
  EXPECT_FALSE(Main().wb->isVisible());
  EXPECT_FALSE(Main().cmd_CreateFile->isEnabled());
  EXPECT_FALSE(Main().cmd_ReadRaw->isEnabled());

  Set({{"txt_CTRatio", "7"}});
  w->close();  // as the user closes it
  EXPECT_TRUE(testsupport::WaitFor([] { return !forms::DefaultInstance<frm_NWSetup>::Exists(); }));
  EXPECT_TRUE(Main().wb->isVisible());
  EXPECT_TRUE(Main().cmd_CreateFile->isEnabled());
  EXPECT_TRUE(Main().cmd_ReadRaw->isEnabled());

  NetworkSetupEntry()->trigger();  // a new opening starts from the initial values
  w = &forms::DefaultInstance<frm_NWSetup>::Get();
  EXPECT_EQ(Text("txt_CTRatio"), "1");
  EXPECT_FALSE(Main().wb->isVisible());
  EXPECT_FALSE(Main().cmd_CreateFile->isEnabled());
}

TEST_F(NWSetupWindow, ControlsCaptionsAndInitialValues) {
  const std::vector<std::pair<std::string, std::string>> texts = {
      {"txt_MeterSerialNumber", "1000000000000000"},
      {"txt_CTRatio", "1"},
      {"txt_PTRatio", "1"},
      {"txt_Threshold", "0"},
      {"txt_LPScaler", "1"},
      {"txt_FTPPassword", ""},
      {"txt_EmailPassword", ""},
      {"txt_SNTPAddress2", ""}};
  for (const auto& [name, value] : texts) {
    EXPECT_EQ(Text(name), value) << name;
    EXPECT_EQ(Find<QLineEdit>(name)->echoMode(), QLineEdit::Normal) << name;  // shown in clear
  }
  const std::vector<std::pair<std::string, std::string>> boxes = {
      {"Chk_DisableModBus", "Disable ModBus Server"},
      {"Chk_DisableFTP", "Disable FTP"},
      {"Chk_DisableSNTP", "Disable SNTP"},
      {"Chk_SNTP_Update_RTC", "Enable SNTP Update to Real Time Clock"},
      {"Chk_DisableDHCP", "Disable DHCP ( Use Static IP )"},
      {"Chk_DisableEmail", "Disable Email"},
      {"chk_CC_Option", "CC: Option"},
      {"Chk_CurrentBilling", "Current Billing Values"},
      {"Chk_LastReset", "Last Reset Values"},
      {"Chk_LastSeason", "Last Season Values"},
      {"Chk_Status", "Status Values"},
      {"Chk_LoadProfile", "Load Profile"}};
  for (const auto& [name, caption] : boxes) {
    EXPECT_EQ(Find<QCheckBox>(name)->text().toStdString(), caption);
    EXPECT_FALSE(Find<QCheckBox>(name)->isChecked()) << name;
  }
  const char* days[] = {"Sunday",   "Monday", "Tuesday",  "Wednesday",
                        "Thursday", "Friday", "Saturday", "Everyday"};
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(Day(i)->text().toStdString(), days[i]);
    EXPECT_EQ(Day(i)->isChecked(), i == 7) << i;
    EXPECT_EQ(w->Chk_WeekDay.at(static_cast<std::size_t>(i)), Day(i));
  }
  const std::vector<std::tuple<std::string, int, int>> lists = {{"cmb_MBSlaveID", 256, 255},
                                                                {"cmb_SNTPPeriodicity", 25, 0},
                                                                {"cmb_SNTP_UTC_Offset", 25, 0},
                                                                {"cmb_EmailHour", 24, 0},
                                                                {"cmb_EmailMinute", 60, 0}};
  for (const auto& [name, count, position] : lists) {
    QComboBox* list = Find<QComboBox>(name);
    EXPECT_FALSE(list->isEditable()) << name;
    ASSERT_EQ(list->count(), count) << name;
    EXPECT_EQ(list->currentIndex(), position) << name;
    EXPECT_EQ(list->itemText(count - 1).toStdString(), std::to_string(count - 1));
    EXPECT_EQ(list->itemText(7).toStdString(), "7");
  }
  EXPECT_EQ(Find<QPushButton>("cmd_Create_NW_File")->text().toStdString(), "Create File");
  EXPECT_EQ(Find<QPushButton>("cmd_Read_NW_File")->text().toStdString(), "Load Data From File");
  EXPECT_EQ(w->NWFields.size(), 41u);

  // "Reports" and "Day to Report" sit inside "Email Setup".
  QGroupBox* email = Find<QGroupBox>("fra_Email");
  EXPECT_EQ(email->title().toStdString(), "Email Setup");
  for (const char* inner : {"fra_Reports", "fra_DayToReport"}) {
    EXPECT_EQ(Find<QGroupBox>(inner)->parentWidget(), email) << inner;
  }
  EXPECT_EQ(Find<QCheckBox>("Chk_LoadProfile")->parentWidget(), Find<QGroupBox>("fra_Reports"));
  EXPECT_EQ(Day(3)->parentWidget(), Find<QGroupBox>("fra_DayToReport"));
  EXPECT_EQ(Find<QLineEdit>("txt_Gateway")->parentWidget(), Find<QGroupBox>("fra_DHCP"));
  EXPECT_EQ(Find<QComboBox>("cmb_MBSlaveID")->parentWidget(), Find<QGroupBox>("fra_Misc"));
}

TEST_F(NWSetupWindow, WholeWindowFitsTheScreen) {
  const QSize size = w->sizeHint().expandedTo(w->minimumSizeHint());
  EXPECT_LE(size.width(), 1280);
  EXPECT_LE(size.height(), 760);  // room for the title bar on a 1280 x 800 screen
}

TEST_F(NWSetupWindow, TypingLimitsStopTypingButNotTheProgram) {
  QLineEdit* ct = Find<QLineEdit>("txt_CTRatio");
  ct->clear();
  QTest::keyClicks(ct, QStringLiteral("12345"));
  EXPECT_EQ(ct->text().toStdString(), "123");
  QLineEdit* threshold = Find<QLineEdit>("txt_Threshold");
  threshold->clear();
  QTest::keyClicks(threshold, QStringLiteral("010099"));
  EXPECT_EQ(threshold->text().toStdString(), "0100");
  QLineEdit* ftp = Find<QLineEdit>("txt_FTPServerAddress");
  QTest::keyClicks(ftp, QString(40, QLatin1Char('a')));
  EXPECT_EQ(ftp->text().size(), 31);
  QLineEdit* serial = Find<QLineEdit>("txt_MeterSerialNumber");
  QTest::keyClicks(serial, QStringLiteral("12345678901234567890"));
  EXPECT_EQ(serial->text().size(), 36);  // no limit

  ct->setText(QStringLiteral("12345"));  // a load may put in more than can be typed
  EXPECT_EQ(ct->text().toStdString(), "12345");
  QTest::keyClick(ct, Qt::Key_Backspace);
  EXPECT_EQ(ct->text().toStdString(), "1234");
  QTest::keyClicks(ct, QStringLiteral("9"));
  EXPECT_EQ(ct->text().toStdString(), "1234");
}

TEST_F(NWSetupWindow, InitialStateAndOneReportStopWhereTheyShould) {
  auto shown = Create();
  EXPECT_EQ(shown.prompt, "Atleast 1 email report must be selected.");
  EXPECT_EQ(shown.title, "Network Setup");
  EXPECT_EQ(shown.buttons, forms::vbCritical);
  ExpectRefusal({{"Chk_Status", "1"}}, "Threshold must be 4 characters.1");
}

TEST_F(NWSetupWindow, NumberChecks) {
  Set(kExample);
  for (const char* ok : {"0999", "-999", "0.50"}) {
    Set({{"txt_Threshold", ok}, {"txt_LPScaler", "x"}});  // passing 12 to 14 reaches 15
    EXPECT_EQ(Create().prompt, "LP Scaler must be a numeric value.") << ok;
  }
  ExpectRefusal({{"txt_LPScaler", "1"}, {"txt_Threshold", "9999"}},
                "Threshold cannot be higher than 999.");
  ExpectRefusal({{"txt_Threshold", "12"}}, "Threshold must be 4 characters.2");
  ExpectRefusal({{"txt_Threshold", "0100"}, {"txt_CTRatio", "1.0"}},
                "CT Ratio must be an Integer value from 1 to 999. No Decimals allowed");
  ExpectRefusal({{"txt_CTRatio", "0"}}, "CT Ratio cannot be less than 1.");
  Set({{"txt_CTRatio", " 5 "}});
  EXPECT_EQ(Create().prompt, "Network Setup File created. File Name: setup_1000000000000000.txt");
  EXPECT_EQ(testsupport::ReadBytes(ProgramFiles() + "setup_1000000000000000.txt"),
            "E,0,7,0,0,0,0,1,00,00,1,1,0,0,1,0,1,5,1,0100,1,1,0,,,,,,,,,,,,,,,,,,\r\n");
  EXPECT_EQ(Text("txt_CTRatio"), " 5 ");  // a create changes no control
}

TEST_F(NWSetupWindow, AddressChecks) {
  Set(kExample);
  ExpectRefusal({{"Chk_DisableEmail", "0"}, {"txt_EmailAddress", "meter@plant.example.com"}},
                "Error in Email CC Address.");
  EXPECT_FALSE(Find<QCheckBox>("chk_CC_Option")->isChecked());

  Set({{"txt_EmailAddressCC", "office@10.0.0.9"},
       {"Chk_DisableDHCP", "1"},
       {"txt_StaticIPAddress", "10.0.0.50"},
       {"txt_SubNetMask", "255.255.255.0"},
       {"txt_Gateway", "10.0.0.1"},
       {"txt_POP3Domain", "pop"},
       {"txt_SMTPDomain", "smtp"}});
  ExpectRefusal({},
                "POP3 Address Error: You must use numeric IP Address values with DHCP "
                "turned off!");
  ExpectRefusal({{"txt_POP3Domain", "10.0.0.2"}},
                "SMPT Address Error: You must use numeric IP Address values with DHCP "
                "turned off!");
  Set({{"txt_SMTPDomain", "10.0.0.3"}, {"Chk_DisableFTP", "0"}, {"txt_FTPServerAddress", "ftp"}});
  ExpectRefusal({},
                "FTP Server Address Error: You must use numeric IP Address values with DHCP "
                "turned off!");
  Set({{"txt_FTPServerAddress", "10.0.0.4"}, {"txt_DNSAddress1", "dns"}});
  ExpectRefusal({},
                "DNS Server1 Address Error: You must use numeric IP Address values with "
                "DHCP turned off!");
  Set({{"txt_DNSAddress1", ""},
       {"Chk_DisableSNTP", "0"},
       {"cmb_SNTPPeriodicity", "1"},
       {"txt_SNTPAddress1", "time.example.com"},
       {"txt_SNTPAddress2", "10.0.0.5"}});
  ExpectRefusal({},
                "SNTP Address1 Error: You must use numeric IP Address values with DHCP "
                "turned off!");
  Set({{"txt_DNSAddress1", "10.0.0.6"}});  // a host name is fine once it can be resolved
  dialogs.Clear();
  Find<QPushButton>("cmd_Create_NW_File")->click();
  ASSERT_EQ(dialogs.Messages().size(), 1u);
  EXPECT_EQ(dialogs.Messages()[0].prompt,
            "Network Setup File created. File Name: setup_1000000000000000.txt");
  fs::remove(ProgramFiles() + "setup_1000000000000000.txt");
  Set({{"txt_SNTPAddress1", "10.0.0.5"}, {"txt_SNTPAddress2", ""}, {"txt_DNSAddress1", ""}});
  ExpectRefusal({},
                "SNTP Address2 Error: You must use numeric IP Address values with DHCP "
                "turned off!");
}

TEST_F(NWSetupWindow, SerialChecksAndRunTimeFailures) {
  Set(kExample);
  ExpectRefusal({{"txt_MeterSerialNumber", "100000000000000"}},
                "Meter Serial Number must be 16 digits.");
  ExpectRefusal({{"txt_MeterSerialNumber", "10000000000000AB"}},
                "Meter Serial Number must be numeric.");
  ExpectRefusal({{"txt_MeterSerialNumber", "0000000000000001"}},
                "First Digit of Meter Serial Number Cannot be zero.");
  Set({{"txt_MeterSerialNumber", "+100000000000000"}});
  auto shown = Create();
  EXPECT_EQ(shown.prompt, "Error in file creation: Type mismatch");
  EXPECT_EQ(shown.title, kAppTitle);
  EXPECT_EQ(shown.buttons, forms::vbOKOnly);
  Set({{"txt_MeterSerialNumber", "1000000000000000"}, {"txt_Threshold", "1e10"}});
  shown = Create();
  EXPECT_EQ(shown.prompt, "Error in file creation: Overflow");
  EXPECT_EQ(shown.title, kAppTitle);
  EXPECT_TRUE(fs::is_empty(ProgramFiles()));
}

TEST_F(NWSetupWindow, CreatesTheExampleFileAndAsksBeforeOverwriting) {
  Set(kExample);
  const std::string path = ProgramFiles() + "setup_1000000000000000.txt";
  auto shown = Create();
  EXPECT_EQ(shown.prompt, "Network Setup File created. File Name: setup_1000000000000000.txt");
  EXPECT_EQ(shown.title, "Mv900 File Programmer");
  EXPECT_EQ(shown.buttons, forms::vbOKOnly);
  EXPECT_EQ(testsupport::ReadBytes(path), std::string(kExampleLine) + "\r\n");
  EXPECT_EQ(base::Shared().current_file_name, "setup_1000000000000000.txt");
  EXPECT_EQ(w->NWFields.at(19), "0100");

  testsupport::WriteBytes(path, "old bytes");
  dialogs.Clear();
  dialogs.Answer(forms::vbNo);
  Find<QPushButton>("cmd_Create_NW_File")->click();
  ASSERT_EQ(dialogs.Messages().size(), 1u);  // the question only
  EXPECT_EQ(dialogs.Messages()[0].prompt,
            "Network Setup File Exists! Overwrite? setup_1000000000000000.txt");
  EXPECT_EQ(dialogs.Messages()[0].buttons, forms::vbYesNo);
  EXPECT_EQ(dialogs.Messages()[0].title, "Mv900 File Programmer");
  EXPECT_EQ(testsupport::ReadBytes(path), "old bytes");

  dialogs.Clear();
  dialogs.Answer(forms::vbYes);
  Find<QPushButton>("cmd_Create_NW_File")->click();
  ASSERT_EQ(dialogs.Messages().size(), 2u);
  EXPECT_EQ(testsupport::ReadBytes(path), std::string(kExampleLine) + "\r\n");
}

TEST_F(NWSetupWindow, LoadThenCreateWritesTheSameLineUnderTheSameName) {
  const std::string line =
      "E,1,4,1,0,0,1,0,07,05,0,0,0,1,0,1,17,200,3,0250,10,12,20,meter@plant.example.com,"
      "office@10.1.2.9,10.1.2.8,10.1.2.9,meter17,s3cret,plant.example.com,10.1.2.3,meter user,"
      "p@ss word,10.1.2.50,255.255.255.0,10.1.2.1,10.1.2.6,10.1.2.7,10.1.2.4,10.1.2.5,";
  const std::string path = ProgramFiles() + "setup_1234567890123456.txt";
  testsupport::WriteBytes(path, line + "\r\n");
  EXPECT_TRUE(Load(path).empty());
  EXPECT_EQ(dialogs.Calls().at(0).prompt, "Text Files(*.txt)|*.txt");
  EXPECT_EQ(fs::current_path(), fs::path(ProgramFiles()).parent_path());
  EXPECT_EQ(base::Shared().last_opened_file_path, path);
  EXPECT_EQ(Text("txt_MeterSerialNumber"), "1234567890123456");
  EXPECT_EQ(Text("txt_FTPPassword"), "p@ss word");
  EXPECT_EQ(Find<QComboBox>("cmb_SNTP_UTC_Offset")->currentIndex(), 20);
  EXPECT_TRUE(Day(4)->isChecked());

  testsupport::WriteBytes(path, "replaced");
  dialogs.Clear();
  dialogs.Answer(forms::vbYes);
  Find<QPushButton>("cmd_Create_NW_File")->click();
  ASSERT_EQ(dialogs.Messages().size(), 2u);
  EXPECT_EQ(dialogs.Messages()[0].prompt,
            "Network Setup File Exists! Overwrite? setup_1234567890123456.txt");
  EXPECT_EQ(dialogs.Messages()[1].prompt,
            "Network Setup File created. File Name: setup_1234567890123456.txt");
  EXPECT_EQ(testsupport::ReadBytes(path), line + "\r\n");
}

TEST_F(NWSetupWindow, RefusedOrCancelledLoadsLeaveTheWindowAsItWas) {
  Set({{"txt_FTPUsername", "kept"}});
  const std::string path = ProgramFiles() + "setup_2000000000000000.txt";
  testsupport::WriteBytes(path, std::string(kExampleLine) + ",");
  auto shown = Load(path);
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].prompt, "Invalid Network Parameters File size!");
  EXPECT_EQ(shown[0].title, kAppTitle);
  EXPECT_EQ(Text("txt_MeterSerialNumber"), "2000000000000000");  // taken from the name

  const std::string gone = ProgramFiles() + "setup_3000000000000000.txt";
  shown = Load(gone);
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].prompt, gone + " File does not exist. Exiting...");
  EXPECT_EQ(shown[0].title, "Mv900 Programmer");

  dialogs.Clear();
  Find<QPushButton>("cmd_Read_NW_File")->click();  // cancelled
  EXPECT_TRUE(dialogs.Messages().empty());
  EXPECT_EQ(Text("txt_FTPUsername"), "kept");
  EXPECT_EQ(Text("txt_MeterSerialNumber"), "3000000000000000");
}

TEST_F(NWSetupWindow, BadFieldStopsTheLoadThere) {
  std::string line = kExampleLine;
  line.replace(line.find(",00,00,"), 7, ",24,00,");  // hour 24 in field 8
  const std::string path = ProgramFiles() + "setup_1000000000000000.txt";
  testsupport::WriteBytes(path, line + "\r\n");
  const auto shown = Load(path);
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].prompt,
            "Cannot load field 8 of the file into \"Schedule Time (hour)\" (cmb_EmailHour): it "
            "holds \"24\". Loading stopped at this field.");
  EXPECT_EQ(shown[0].title, "Network Setup");
  EXPECT_EQ(shown[0].buttons, forms::vbCritical);
  EXPECT_TRUE(Find<QCheckBox>("Chk_LoadProfile")->isChecked());  // field 7, before it
  EXPECT_FALSE(Find<QCheckBox>("Chk_DisableFTP")->isChecked());  // field 10, after it
  EXPECT_EQ(Find<QComboBox>("cmb_EmailHour")->currentIndex(), 0);
  EXPECT_EQ(std::distance(fs::directory_iterator(ProgramFiles()), fs::directory_iterator()), 1);
}

TEST(MainWindowFiles, WriterReportsItsOwnFailures) {
  forms::ScriptedDialogs dialogs;
  EXPECT_FALSE(Main().Write_String_To_File("E,", ""));
  ASSERT_EQ(dialogs.Messages().size(), 1u);
  EXPECT_EQ(dialogs.Messages()[0].prompt, "Invalid file name...exiting");
  EXPECT_EQ(dialogs.Messages()[0].title, kAppTitle);
  EXPECT_EQ(dialogs.Messages()[0].buttons, forms::vbOKOnly);

  dialogs.Clear();
  const std::string missing = testsupport::AppDir() + "/No_Such_Dir/setup_1000000000000000.txt";
  EXPECT_FALSE(Main().Write_String_To_File("E,", missing));
  ASSERT_EQ(dialogs.Messages().size(), 1u);
  EXPECT_EQ(dialogs.Messages()[0].prompt, "Error in writing file. Please Check and try again...");
  EXPECT_EQ(dialogs.Messages()[0].title, "Mv900 Programmer");
  EXPECT_EQ(dialogs.Messages()[0].buttons, forms::vbCritical);
  EXPECT_FALSE(fs::exists(testsupport::AppDir() + "/No_Such_Dir"));

  const std::string file = ProgramFiles() + "lines.txt";
  EXPECT_TRUE(Main().Write_String_To_File("caf\xc3\xa9,", file));
  EXPECT_EQ(testsupport::ReadBytes(file), "caf\xe9,\r\n");
  testsupport::WriteBytes(file, "a,\r\nb,\nc\r");
  EXPECT_EQ(Main().fnc_FileToString(file), "a,b,c");
  fs::remove(file);
}

// Tab from the serial walks every control of the window once, in reading order: the top row,
// then each column from top to bottom.
TEST_F(NWSetupWindow, KeyboardWalksEveryControlInReadingOrder) {
  const std::vector<std::string> expected = {
      "txt_MeterSerialNumber", "cmd_Create_NW_File", "cmd_Read_NW_File",     "Chk_DisableDHCP",
      "txt_StaticIPAddress",   "txt_SubNetMask",     "txt_Gateway",          "txt_DNSAddress1",
      "txt_DNSAddress2",       "Chk_DisableFTP",     "txt_FTPServerAddress", "txt_FTPUsername",
      "txt_FTPPassword",       "Chk_DisableEmail",   "txt_EmailAddress",     "txt_EmailAddressCC",
      "chk_CC_Option",         "txt_POP3Domain",     "txt_SMTPDomain",       "txt_EmailUserName",
      "txt_EmailPassword",     "txt_EmailDomain",    "cmb_EmailHour",        "cmb_EmailMinute",
      "Chk_CurrentBilling",    "Chk_LastReset",      "Chk_LastSeason",       "Chk_Status",
      "Chk_LoadProfile",       "Chk_WeekDay_0",      "Chk_WeekDay_1",        "Chk_WeekDay_2",
      "Chk_WeekDay_3",         "Chk_WeekDay_4",      "Chk_WeekDay_5",        "Chk_WeekDay_6",
      "Chk_WeekDay_7",         "Chk_DisableSNTP",    "Chk_SNTP_Update_RTC",  "cmb_SNTPPeriodicity",
      "cmb_SNTP_UTC_Offset",   "txt_SNTPAddress1",   "txt_SNTPAddress2",     "Chk_DisableModBus",
      "cmb_MBSlaveID",         "txt_CTRatio",        "txt_PTRatio",          "txt_Threshold",
      "txt_LPScaler"};
  EXPECT_EQ(testsupport::TabWalk(Find<QLineEdit>("txt_MeterSerialNumber")), expected);
}

TEST_F(NWSetupWindow, EveryControlAnnouncesItsLabelOrCaption) {
  const std::map<std::string, std::string> names = {
      {"txt_MeterSerialNumber", "Meter Serial Number"},
      {"txt_StaticIPAddress", "Static IP Address"},
      {"txt_EmailAddressCC", "CC: Email Address"},
      {"cmb_EmailHour", "Schedule Time (hour)"},
      {"cmb_EmailMinute", "Schedule Time (minute)"},
      {"cmb_MBSlaveID", "MB Slave ID"},
      {"Chk_DisableDHCP", "Disable DHCP ( Use Static IP )"},
      {"Chk_WeekDay_7", "Everyday"},
      {"cmd_Read_NW_File", "Load Data From File"}};
  for (const auto& [control, name] : names) {
    EXPECT_EQ(Find<QWidget>(control)->accessibleName().toStdString(), name) << control;
  }
  EXPECT_EQ(testsupport::UnnamedControls(w), std::vector<std::string>{});
  // A label leads to its box: its buddy is the control it names.
  for (const QLabel* label : w->findChildren<QLabel*>()) {
    if (label->text() == QStringLiteral(":")) continue;  // the hour-minute separator
    ASSERT_NE(label->buddy(), nullptr) << label->text().toStdString();
    EXPECT_TRUE(label->buddy()->accessibleName().startsWith(label->text()))
        << label->text().toStdString();
  }
}

// The main window's dialog is shared; what the network window does must not move it.
TEST_F(NWSetupWindow, LoadingLeavesTheMainReadDialogWhereItOpens) {
  const std::string path = ProgramFiles() + "setup_1000000000000000.txt";
  testsupport::WriteBytes(path, std::string(kExampleLine) + "\r\n");
  ASSERT_TRUE(Load(path).empty());
  EXPECT_EQ(dialogs.Calls().front().initial, testsupport::AppDir() + "/Program_Files");
  EXPECT_EQ(base::Shared().last_opened_file_path, path);

  Main().CommonDialog1.InitDir = "/elsewhere";  // as any other window may leave it
  dialogs.Clear();
  Main().cmd_ReadRaw_Click();  // cancelled
  ASSERT_EQ(dialogs.Calls().size(), 1u);
  EXPECT_EQ(dialogs.Calls()[0].initial, testsupport::AppDir() + "/Program_Files");
}

std::string WithField(const std::string& line, std::size_t index, const std::string& value) {
  std::vector<std::string> pieces = forms::Split(line);
  pieces.at(index) = value;
  std::string out;
  for (std::size_t i = 0; i < pieces.size(); ++i) out += (i > 0 ? "," : "") + pieces[i];
  return out;
}

TEST_F(NWSetupWindow, ListNumbersAsTheRuntimeReadsThemAndOverlongTextRefused) {
  const std::string path = ProgramFiles() + "setup_1000000000000000.txt";
  for (const char* slave_id : {" 7", "+7", "7.0", "07"}) {
    Set({{"cmb_MBSlaveID", "0"}});
    testsupport::WriteBytes(path, WithField(kExampleLine, 16, slave_id) + "\r\n");
    EXPECT_TRUE(Load(path).empty()) << slave_id;
    EXPECT_EQ(Find<QComboBox>("cmb_MBSlaveID")->currentIndex(), 7) << slave_id;
  }

  testsupport::WriteBytes(path, WithField(kExampleLine, 31, std::string(200, 'h')) + "\r\n");
  Set({{"txt_FTPUsername", "kept"}});
  const auto shown = Load(path);
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].prompt,
            "Cannot load field 31 of the file into \"FTP Username\" "
            "(txt_FTPUsername): it holds \"" +
                std::string(60, 'h') + "...\". Loading stopped at this field.");
  EXPECT_EQ(Text("txt_FTPUsername"), "kept");
}

}  // namespace
