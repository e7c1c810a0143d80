// The communications tests window: from the workstation, can an SNTP time server, an FTP server
// and a daytime server be reached? Modal. Thin wiring: TestLogic decides, this shows.
#pragma once

#include <QDialog>
#include <chrono>
#include <memory>

#include "comms/test_logic.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

namespace comms {

// A round indicator lamp showing a colour value (blue-green-red order).
class Lamp : public QWidget {
 public:
  explicit Lamp(const char* name);
  int ColorValue() const { return color_; }
  void SetColorValue(int color);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  int color_ = 0xC0C0C0;
};

class frm_Test : public QDialog, private TestView {
  Q_OBJECT

 public:
  static constexpr const char* kFormName = "frm_Test";
  static constexpr int kWatchdogMs = 10000;

  frm_Test();
  ~frm_Test() override;

  // Test seam: the watchdog's interval for windows created from now on (0 restores 10 s).
  static void SetWatchdogIntervalForTests(std::chrono::milliseconds interval);
  // Test seam: the services' ports for windows created from now on.
  static void SetPortsForTests(TestPorts ports);

  void Cmd_SNTP_Click();
  void Cmd_DayTime_Click();
  void Cmd_FTP_Click();
  void Cmd_Exit_Click();
  void Timer_Watchdog_Timer();

  TestLogic& logic() { return *logic_; }

 signals:
  // Every text lbl_Ftp_Client_Status shows, as it shows it: the FTP test's progress for
  // whoever follows it (a label keeps only the last).
  void FtpStatusShown(const QString& text);

 public:

  QLabel* lbl_Caption = nullptr;
  QComboBox* Combo1 = nullptr;
  QPushButton* Cmd_SNTP = nullptr;
  Lamp* SNTP_LED = nullptr;
  QLabel* lbl_SNTP_Verdict = nullptr;
  QComboBox* Combo2 = nullptr;
  QPushButton* Cmd_DayTime = nullptr;
  Lamp* DayTime_LED = nullptr;
  QLineEdit* txt_Ftp_Server = nullptr;
  QLineEdit* txt_Ftp_Username = nullptr;
  QLineEdit* txt_Ftp_Password = nullptr;
  QPushButton* Cmd_FTP = nullptr;
  Lamp* FTP_LED = nullptr;
  QLabel* lbl_Ftp_Client_Status = nullptr;
  QPushButton* Cmd_Exit = nullptr;
  QTimer* Timer_Watchdog = nullptr;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void Form_Unload();

  std::string SntpServer() const override;
  std::string DaytimeServer() const override;
  std::string FtpServer() const override;
  std::string FtpUsername() const override;
  std::string FtpPassword() const override;
  void FillServers(const std::vector<std::string>& sntp,
                   const std::vector<std::string>& daytime) override;
  void SetFtpTexts(const std::string& server, const std::string& user,
                   const std::string& password) override;
  void SetLamp(Test test, int color) override;
  void EnableTest(Test test, bool enabled) override;
  void EnableWatchdog(bool enabled) override;
  void SetFtpStatus(const std::string& text) override;
  void SetSntpVerdict(const std::string& text) override;
  void ShowMessage(const forms::Message& message) override;
  void DoEvents() override;
  void WaitEvents() override;

  std::unique_ptr<TestLogic> logic_;
  bool unloaded_ = false;
};

// Shows the window modal: the main window takes no input until it closes.
void ShowTestWindow();

}  // namespace comms
