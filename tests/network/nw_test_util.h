// Shared by the network tests: a scratch application directory, and window values given as
// the controls' names with texts, "1"/"0" for boxes and list positions, as a technician
// leaves them.
#pragma once

#include <cstdlib>
#include <map>
#include <string>

#include "network/record_fields.h"
#include "network/setup_state.h"
#include "support/file_bytes.h"
#include "support/scratch_dir.h"

namespace nwtest {

using testsupport::ReadBytes;
using testsupport::WriteBytes;

// An application directory with an empty Program_Files.
class AppDir {
 public:
  AppDir() { dir_.Sub("Program_Files"); }
  std::string app_path() const { return dir_.path() + "/"; }
  std::string program_file(const std::string& name) const {
    return dir_.File("Program_Files/" + name);
  }

 private:
  testsupport::ScratchDir dir_{"nwsetup"};
};

using Values = std::map<std::string, std::string>;

inline network::SetupState With(network::SetupState s, const Values& values) {
  for (const auto& [name, value] : values) {
    if (name == "txt_MeterSerialNumber") {
      s.txt_MeterSerialNumber = value;
    } else if (name.rfind("Chk_WeekDay_", 0) == 0) {
      s.Chk_WeekDay.at(std::stoul(name.substr(12))) = value == "1";
    } else if (const network::FieldDef* f = network::FindField(name); f == nullptr) {
      std::abort();  // a misspelt control name in a test
    } else if (f->check != nullptr) {
      s.*f->check = value == "1";
    } else if (f->list != nullptr) {
      s.*f->list = std::stoi(value);
    } else {
      s.*f->text = value;
    }
  }
  return s;
}

// e-mail, FTP and SNTP off, DHCP in use, slave ID 1, Everyday and Load Profile, threshold 0100.
inline network::SetupState ExampleState(const Values& more = {}) {
  return With(With({}, {{"Chk_DisableEmail", "1"},
                        {"Chk_DisableFTP", "1"},
                        {"Chk_DisableSNTP", "1"},
                        {"cmb_MBSlaveID", "1"},
                        {"Chk_LoadProfile", "1"},
                        {"txt_Threshold", "0100"}}),
              more);
}

inline const char* kExampleLine =
    "E,0,7,0,0,0,0,1,00,00,1,1,0,0,1,0,1,1,1,0100,1,1,0,,,,,,,,,,,,,,,,,,";

// Every feature on, static addresses, every field unlike the freshly opened window.
inline network::SetupState FullState(const Values& more = {}) {
  return With(With({}, {{"txt_MeterSerialNumber", "1234567890123456"},
                        {"cmb_MBSlaveID", "17"},
                        {"txt_CTRatio", "200"},
                        {"txt_PTRatio", "3"},
                        {"txt_Threshold", "0250"},
                        {"txt_LPScaler", "10"},
                        {"txt_FTPServerAddress", "10.1.2.3"},
                        {"txt_FTPUsername", "meter user"},
                        {"txt_FTPPassword", "p@ss word"},
                        {"Chk_SNTP_Update_RTC", "1"},
                        {"cmb_SNTPPeriodicity", "12"},
                        {"cmb_SNTP_UTC_Offset", "20"},
                        {"txt_SNTPAddress1", "10.1.2.4"},
                        {"txt_SNTPAddress2", "10.1.2.5"},
                        {"Chk_DisableDHCP", "1"},
                        {"txt_StaticIPAddress", "10.1.2.50"},
                        {"txt_SubNetMask", "255.255.255.0"},
                        {"txt_Gateway", "10.1.2.1"},
                        {"txt_DNSAddress1", "10.1.2.6"},
                        {"txt_DNSAddress2", "10.1.2.7"},
                        {"txt_EmailAddress", "meter.17@plant.example.com"},
                        {"txt_EmailAddressCC", "office@10.1.2.9"},
                        {"chk_CC_Option", "1"},
                        {"txt_POP3Domain", "10.1.2.8"},
                        {"txt_SMTPDomain", "10.1.2.9"},
                        {"txt_EmailUserName", "meter17"},
                        {"txt_EmailPassword", "s3cret"},
                        {"txt_EmailDomain", "plant.example.com"},
                        {"cmb_EmailHour", "7"},
                        {"cmb_EmailMinute", "5"},
                        {"Chk_CurrentBilling", "1"},
                        {"Chk_Status", "1"},
                        {"Chk_WeekDay_7", "0"},
                        {"Chk_WeekDay_4", "1"}}),
              more);
}

}  // namespace nwtest
