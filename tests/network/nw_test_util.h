// Shared by the network tests: a scratch application directory and a state that passes every
// check.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "network/nw_setup_state.h"

namespace nwtest {

// A fresh application directory with its Program_Files folder, removed afterwards.
class AppDir {
 public:
  AppDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "nwsetup.XXXXXX").string();
    root_ = mkdtemp(tmpl.data());
    std::filesystem::create_directory(root_ / "Program_Files");
  }
  ~AppDir() { std::filesystem::remove_all(root_); }
  AppDir(const AppDir&) = delete;
  AppDir& operator=(const AppDir&) = delete;

  std::string app_path() const { return root_.string() + "/"; }
  std::string program_file(const std::string& name) const {
    return (root_ / "Program_Files" / name).string();
  }

 private:
  std::filesystem::path root_;
};

inline std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// What the main window's whole-file reader gives for an ASCII file: its lines joined. The
// window tests load through the real one.
inline std::string ReadJoined(const std::string& path) {
  std::string text;
  for (const char c : ReadBytes(path)) {
    if (c != '\r' && c != '\n') text += c;
  }
  return text;
}

// The window's example: e-mail, FTP and SNTP off, DHCP in use, ModBus slave 1, Everyday and
// Load Profile, threshold 0100.
inline network::NWSetupState ExampleState() {
  network::NWSetupState s;
  s.Chk_DisableEmail = true;
  s.Chk_DisableFTP = true;
  s.Chk_DisableSNTP = true;
  s.cmb_MBSlaveID = 1;
  s.Chk_LoadProfile = true;
  s.txt_Threshold = "0100";
  return s;
}

inline const char* kExampleLine =
    "E,0,7,0,0,0,0,1,00,00,1,1,0,0,1,0,1,1,1,0100,1,1,0,,,,,,,,,,,,,,,,,,";

// Every feature on, static addresses, every field distinct from the initial window.
inline network::NWSetupState FullState() {
  network::NWSetupState s;
  s.txt_MeterSerialNumber = "1234567890123456";
  s.cmb_MBSlaveID = 17;
  s.txt_CTRatio = "200";
  s.txt_PTRatio = "3";
  s.txt_Threshold = "0250";
  s.txt_LPScaler = "10";
  s.txt_FTPServerAddress = "10.1.2.3";
  s.txt_FTPUsername = "meter user";
  s.txt_FTPPassword = "p@ss word";
  s.Chk_SNTP_Update_RTC = true;
  s.cmb_SNTPPeriodicity = 12;
  s.cmb_SNTP_UTC_Offset = 20;
  s.txt_SNTPAddress1 = "10.1.2.4";
  s.txt_SNTPAddress2 = "10.1.2.5";
  s.Chk_DisableDHCP = true;
  s.txt_StaticIPAddress = "10.1.2.50";
  s.txt_SubNetMask = "255.255.255.0";
  s.txt_Gateway = "10.1.2.1";
  s.txt_DNSAddress1 = "10.1.2.6";
  s.txt_DNSAddress2 = "10.1.2.7";
  s.txt_EmailAddress = "meter.17@plant.example.com";
  s.txt_EmailAddressCC = "office@10.1.2.9";
  s.chk_CC_Option = true;
  s.txt_POP3Domain = "10.1.2.8";
  s.txt_SMTPDomain = "10.1.2.9";
  s.txt_EmailUserName = "meter17";
  s.txt_EmailPassword = "s3cret";
  s.txt_EmailDomain = "plant.example.com";
  s.cmb_EmailHour = 7;
  s.cmb_EmailMinute = 5;
  s.Chk_CurrentBilling = true;
  s.Chk_Status = true;
  s.Chk_WeekDay = {false, false, false, false, true, false, false, false};  // Thursday
  return s;
}

}  // namespace nwtest
