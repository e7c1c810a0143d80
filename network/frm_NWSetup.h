// The network setup window: a meter's network parameters, checked and written as a network
// setup file, or loaded back from one. Modeless; it announces its load and unload, and the
// application takes the main window's view and file buttons out of use meanwhile.
#pragma once

#include <QWidget>
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "forms/common_dialog.h"
#include "network/lp_regexp.h"
#include "network/setup_state.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;

namespace network {

class frm_NWSetup : public QWidget {
  Q_OBJECT

 public:
  static constexpr const char* kFormName = "frm_NWSetup";

  frm_NWSetup();
  ~frm_NWSetup() override;

  // Every control's value, and back.
  SetupState ReadControls() const;
  void ApplyControls(const SetupState& s);

  void cmd_Create_NW_File_Click();
  void cmd_Read_NW_File_Click();

  QLineEdit* txt_MeterSerialNumber = nullptr;
  QPushButton* cmd_Create_NW_File = nullptr;
  QPushButton* cmd_Read_NW_File = nullptr;

  QCheckBox* Chk_DisableModBus = nullptr;
  QComboBox* cmb_MBSlaveID = nullptr;
  QLineEdit* txt_CTRatio = nullptr;
  QLineEdit* txt_PTRatio = nullptr;
  QLineEdit* txt_Threshold = nullptr;
  QLineEdit* txt_LPScaler = nullptr;

  QCheckBox* Chk_DisableFTP = nullptr;
  QLineEdit* txt_FTPServerAddress = nullptr;
  QLineEdit* txt_FTPUsername = nullptr;
  QLineEdit* txt_FTPPassword = nullptr;

  QCheckBox* Chk_DisableSNTP = nullptr;
  QCheckBox* Chk_SNTP_Update_RTC = nullptr;
  QComboBox* cmb_SNTPPeriodicity = nullptr;
  QComboBox* cmb_SNTP_UTC_Offset = nullptr;
  QLineEdit* txt_SNTPAddress1 = nullptr;
  QLineEdit* txt_SNTPAddress2 = nullptr;

  QCheckBox* Chk_DisableDHCP = nullptr;
  QLineEdit* txt_StaticIPAddress = nullptr;
  QLineEdit* txt_SubNetMask = nullptr;
  QLineEdit* txt_Gateway = nullptr;
  QLineEdit* txt_DNSAddress1 = nullptr;
  QLineEdit* txt_DNSAddress2 = nullptr;

  QCheckBox* Chk_DisableEmail = nullptr;
  QLineEdit* txt_EmailAddress = nullptr;
  QLineEdit* txt_EmailAddressCC = nullptr;
  QCheckBox* chk_CC_Option = nullptr;
  QLineEdit* txt_POP3Domain = nullptr;
  QLineEdit* txt_SMTPDomain = nullptr;
  QLineEdit* txt_EmailUserName = nullptr;
  QLineEdit* txt_EmailPassword = nullptr;
  QLineEdit* txt_EmailDomain = nullptr;
  QComboBox* cmb_EmailHour = nullptr;
  QComboBox* cmb_EmailMinute = nullptr;
  QCheckBox* Chk_CurrentBilling = nullptr;
  QCheckBox* Chk_LastReset = nullptr;
  QCheckBox* Chk_LastSeason = nullptr;
  QCheckBox* Chk_Status = nullptr;
  QCheckBox* Chk_LoadProfile = nullptr;
  std::array<QCheckBox*, 8> Chk_WeekDay{};

  // Record fields while a file is created, the file's pieces while one is loaded.
  std::vector<std::string> NWFields;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildControls();
  QGroupBox* BuildMisc();
  QGroupBox* BuildFtp();
  QGroupBox* BuildSntp();
  QGroupBox* BuildDhcp();
  QGroupBox* BuildEmail();
  void SetKeyboardOrder();
  void Form_Load();
  void Form_Unload();

  std::unique_ptr<lp_regexp> regexp_;
  forms::CommonDialog dialog_;
};

}  // namespace network
