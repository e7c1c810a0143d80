// Every control value of the network setup window, as the window's handlers read them into
// the logic and apply them back. Members carry the controls' names; the defaults are the
// window's state right after it opens.
#pragma once

#include <array>
#include <string>

namespace network {

// Items of the drop-down lists: "0" upward, so an item's position is its number.
inline constexpr int kSlaveIdItems = 256;
inline constexpr int kSntpPeriodicityItems = 25;
inline constexpr int kSntpUtcOffsetItems = 25;
inline constexpr int kEmailHourItems = 24;
inline constexpr int kEmailMinuteItems = 60;

inline constexpr int kEveryday = 7;  // Chk_WeekDay(7); 0 is Sunday to 6 Saturday

struct SetupState {
  std::string txt_MeterSerialNumber = "1000000000000000";

  // "Misc"
  bool Chk_DisableModBus = false;
  int cmb_MBSlaveID = 255;
  std::string txt_CTRatio = "1";
  std::string txt_PTRatio = "1";
  std::string txt_Threshold = "0";
  std::string txt_LPScaler = "1";

  // "FTP Setup"
  bool Chk_DisableFTP = false;
  std::string txt_FTPServerAddress;
  std::string txt_FTPUsername;
  std::string txt_FTPPassword;

  // "SNTP Setup"
  bool Chk_DisableSNTP = false;
  bool Chk_SNTP_Update_RTC = false;
  int cmb_SNTPPeriodicity = 0;
  int cmb_SNTP_UTC_Offset = 0;
  std::string txt_SNTPAddress1;
  std::string txt_SNTPAddress2;

  // "DHCP Configuration"
  bool Chk_DisableDHCP = false;
  std::string txt_StaticIPAddress;
  std::string txt_SubNetMask;
  std::string txt_Gateway;
  std::string txt_DNSAddress1;
  std::string txt_DNSAddress2;

  // "Email Setup"
  bool Chk_DisableEmail = false;
  std::string txt_EmailAddress;
  std::string txt_EmailAddressCC;
  bool chk_CC_Option = false;
  std::string txt_POP3Domain;
  std::string txt_SMTPDomain;
  std::string txt_EmailUserName;
  std::string txt_EmailPassword;
  std::string txt_EmailDomain;
  int cmb_EmailHour = 0;
  int cmb_EmailMinute = 0;
  // "Reports"
  bool Chk_CurrentBilling = false;
  bool Chk_LastReset = false;
  bool Chk_LastSeason = false;
  bool Chk_Status = false;
  bool Chk_LoadProfile = false;
  // "Day to Report"
  std::array<bool, 8> Chk_WeekDay{false, false, false, false, false, false, false, true};

  bool operator==(const SetupState&) const = default;
};

}  // namespace network
