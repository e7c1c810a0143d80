#include <gtest/gtest.h>

#include <functional>

#include "network/nw_checks.h"
#include "network/nw_writer.h"
#include "network/runtime_error.h"
#include "nw_test_util.h"

namespace {

using network::NWSetupState;
using Edit = std::function<void(NWSetupState&)>;

struct Case {
  const char* name;
  Edit edit;
  int step;  // 0: every check passes
  std::string message;
};

std::optional<network::CheckFailure> Check(const NWSetupState& s) {
  network::lp_regexp re;
  return network::CheckEntries(s, re);
}

void RunCases(const NWSetupState& base, const std::vector<Case>& cases) {
  for (const auto& c : cases) {
    NWSetupState s = base;
    c.edit(s);
    const auto failure = Check(s);
    if (c.step == 0) {
      EXPECT_FALSE(failure) << c.name << ": stopped at " << failure->step << " "
                            << failure->message;
      continue;
    }
    ASSERT_TRUE(failure) << c.name;
    EXPECT_EQ(failure->step, c.step) << c.name;
    EXPECT_EQ(failure->message, c.message) << c.name;
  }
}

TEST(Checks, InitialWindowStopsAtReportsThenThreshold) {
  NWSetupState s;
  auto failure = Check(s);
  ASSERT_TRUE(failure);
  EXPECT_EQ(failure->step, 2);
  EXPECT_EQ(failure->message, "Atleast 1 email report must be selected.");

  s.Chk_Status = true;
  failure = Check(s);
  ASSERT_TRUE(failure);
  EXPECT_EQ(failure->step, 14);
  EXPECT_EQ(failure->message, "Threshold must be 4 characters.1");
}

TEST(Checks, DaysReportsAndModBus) {
  RunCases(
      nwtest::ExampleState(),
      {
          {"example passes", [](NWSetupState&) {}, 0, ""},
          {"no day even with e-mail off", [](NWSetupState& s) { s.Chk_WeekDay = {}; }, 1,
           "Please select atleast 1 day to send an email report."},
          {"one weekday is enough",
           [](NWSetupState& s) {
             s.Chk_WeekDay = {false, false, false, false, false, false, true};
           },
           0, ""},
          {"no report even with e-mail off", [](NWSetupState& s) { s.Chk_LoadProfile = false; }, 2,
           "Atleast 1 email report must be selected."},
          {"slave 0", [](NWSetupState& s) { s.cmb_MBSlaveID = 0; }, 3,
           "ModBus Slave ID cannot be 0."},
          {"slave 0 with ModBus off",
           [](NWSetupState& s) { s.cmb_MBSlaveID = 0, s.Chk_DisableModBus = true; }, 0, ""},
      });
}

TEST(Checks, RatiosThresholdAndScaler) {
  RunCases(nwtest::ExampleState(),
           {
               {"CT text", [](NWSetupState& s) { s.txt_CTRatio = "x"; }, 4,
                "CT Ratio must be a numeric value."},
               {"CT empty", [](NWSetupState& s) { s.txt_CTRatio = ""; }, 4,
                "CT Ratio must be a numeric value."},
               {"CT 1.0", [](NWSetupState& s) { s.txt_CTRatio = "1.0"; }, 5,
                "CT Ratio must be an Integer value from 1 to 999. No Decimals allowed"},
               {"CT 1000", [](NWSetupState& s) { s.txt_CTRatio = "1000"; }, 6,
                "CT Ratio cannot be higher than 999."},
               {"CT 0", [](NWSetupState& s) { s.txt_CTRatio = "0"; }, 7,
                "CT Ratio cannot be less than 1."},
               {"CT spaced 5", [](NWSetupState& s) { s.txt_CTRatio = " 5 "; }, 0, ""},
               {"CT 999", [](NWSetupState& s) { s.txt_CTRatio = "999"; }, 0, ""},
               {"PT text", [](NWSetupState& s) { s.txt_PTRatio = "1a"; }, 8,
                "PT Ratio must be a numeric value."},
               {"PT 2.5", [](NWSetupState& s) { s.txt_PTRatio = "2.5"; }, 9,
                "PT Ratio must be an Integer value from 1 to 999. No Decimals allowed"},
               {"PT 5e3", [](NWSetupState& s) { s.txt_PTRatio = "5e3"; }, 10,
                "PT Ratio cannot be higher than 999."},
               {"PT -1", [](NWSetupState& s) { s.txt_PTRatio = "-1"; }, 11,
                "PT Ratio cannot be less than 1."},
               {"threshold text", [](NWSetupState& s) { s.txt_Threshold = "abcd"; }, 12,
                "Threshold must be a numeric value."},
               {"threshold 0999", [](NWSetupState& s) { s.txt_Threshold = "0999"; }, 0, ""},
               {"threshold -999", [](NWSetupState& s) { s.txt_Threshold = "-999"; }, 0, ""},
               {"threshold 0.50", [](NWSetupState& s) { s.txt_Threshold = "0.50"; }, 0, ""},
               {"threshold spaced", [](NWSetupState& s) { s.txt_Threshold = " 0100 "; }, 0, ""},
               {"threshold 9999", [](NWSetupState& s) { s.txt_Threshold = "9999"; }, 13,
                "Threshold cannot be higher than 999."},
               {"threshold 12", [](NWSetupState& s) { s.txt_Threshold = "12"; }, 14,
                "Threshold must be 4 characters.2"},
               {"threshold 00100", [](NWSetupState& s) { s.txt_Threshold = "00100"; }, 14,
                "Threshold must be 4 characters.5"},
               {"LP text", [](NWSetupState& s) { s.txt_LPScaler = "-"; }, 15,
                "LP Scaler must be a numeric value."},
               {"LP 1.5", [](NWSetupState& s) { s.txt_LPScaler = "1.5"; }, 16,
                "LP Scaler must be an Integer value from 1 to 999. No Decimals allowed"},
               {"LP 1000", [](NWSetupState& s) { s.txt_LPScaler = "1000"; }, 17,
                "LP Scaler cannot be higher than 999."},
               {"LP 0", [](NWSetupState& s) { s.txt_LPScaler = "0"; }, 18,
                "LP Scaler cannot be less than 1."},
           });
}

TEST(Checks, EmailAddresses) {
  NWSetupState base = nwtest::ExampleState();
  base.Chk_DisableEmail = false;
  base.txt_EmailAddress = " meter@plant.example.com ";
  base.txt_EmailAddressCC = "office@10.0.0.9";
  RunCases(
      base,
      {
          {"both valid, trimmed", [](NWSetupState&) {}, 0, ""},
          {"bad address", [](NWSetupState& s) { s.txt_EmailAddress = "meter@plant"; }, 19,
           "Error in Email Address."},
          {"empty CC without CC option", [](NWSetupState& s) { s.txt_EmailAddressCC = ""; }, 20,
           "Error in Email CC Address."},
          {"bad CC with CC option",
           [](NWSetupState& s) { s.txt_EmailAddressCC = "x", s.chk_CC_Option = true; }, 20,
           "Error in Email CC Address."},
          {"e-mail off ignores both",
           [](NWSetupState& s) { s.Chk_DisableEmail = true, s.txt_EmailAddress = "bad"; }, 0, ""},
      });
}

std::string Static(const std::string& entry) {
  return entry + " Error: You must use numeric IP Address values with DHCP turned off!";
}

TEST(Checks, StaticAddressing) {
  NWSetupState base = nwtest::FullState();  // DHCP off, every feature on, numeric servers
  RunCases(
      base,
      {
          {"full state passes", [](NWSetupState&) {}, 0, ""},
          {"static ip", [](NWSetupState& s) { s.txt_StaticIPAddress = "10.1.2"; }, 21,
           "Invalid Static IP Address."},
          {"static ip with space", [](NWSetupState& s) { s.txt_StaticIPAddress = "10.1.2.50 "; },
           21, "Invalid Static IP Address."},
          {"subnet", [](NWSetupState& s) { s.txt_SubNetMask = "255.255.256.0"; }, 22,
           "Invalid Sub Net IP Address."},
          {"gateway", [](NWSetupState& s) { s.txt_Gateway = ""; }, 23,
           "Invalid Gateway IP Address."},
          {"POP3 host name", [](NWSetupState& s) { s.txt_POP3Domain = "pop.example.com"; }, 24,
           Static("POP3 Address")},
          {"POP3 plain number", [](NWSetupState& s) { s.txt_POP3Domain = "123"; }, 0, ""},
          {"SMTP host name", [](NWSetupState& s) { s.txt_SMTPDomain = "smtp"; }, 25,
           Static("SMPT Address")},
          {"mail hosts with e-mail off",
           [](NWSetupState& s) {
             s.Chk_DisableEmail = true, s.txt_POP3Domain = "pop", s.txt_SMTPDomain = "smtp";
           },
           0, ""},
          {"FTP host name", [](NWSetupState& s) { s.txt_FTPServerAddress = "ftp.example.com"; }, 26,
           Static("FTP Server Address")},
          {"FTP host with FTP off",
           [](NWSetupState& s) { s.Chk_DisableFTP = true, s.txt_FTPServerAddress = "ftp"; }, 0, ""},
          {"DNS1 host name", [](NWSetupState& s) { s.txt_DNSAddress1 = "dns.local"; }, 27,
           Static("DNS Server1 Address")},
          {"DNS2 host name", [](NWSetupState& s) { s.txt_DNSAddress2 = "dns2"; }, 28,
           Static("DNS Server2 Address")},
          {"DNS entries empty", [](NWSetupState& s) { s.txt_DNSAddress1 = s.txt_DNSAddress2 = ""; },
           0, ""},
          {"SNTP host name without DNS",
           [](NWSetupState& s) {
             s.txt_SNTPAddress1 = "pool.ntp.example", s.txt_DNSAddress1 = s.txt_DNSAddress2 = "";
           },
           29, Static("SNTP Address1")},
          {"SNTP host name with DNS",
           [](NWSetupState& s) { s.txt_SNTPAddress1 = "pool.ntp.example"; }, 0, ""},
          {"SNTP host name with only DNS2",
           [](NWSetupState& s) { s.txt_SNTPAddress1 = "ntp", s.txt_DNSAddress1 = ""; }, 0, ""},
          {"SNTP2 empty without DNS",
           [](NWSetupState& s) {
             s.txt_SNTPAddress2 = "", s.txt_DNSAddress1 = s.txt_DNSAddress2 = "";
           },
           30, Static("SNTP Address2")},
          {"SNTP hosts with SNTP off",
           [](NWSetupState& s) {
             s.Chk_DisableSNTP = true, s.txt_SNTPAddress1 = "a", s.txt_SNTPAddress2 = "b",
             s.txt_DNSAddress1 = s.txt_DNSAddress2 = "";
           },
           0, ""},
          {"DHCP in use takes host names everywhere",
           [](NWSetupState& s) {
             s.Chk_DisableDHCP = false, s.txt_StaticIPAddress = "x", s.txt_POP3Domain = "pop",
             s.txt_FTPServerAddress = "ftp", s.txt_DNSAddress1 = "dns", s.txt_SNTPAddress1 = "ntp",
             s.txt_SNTPAddress2 = "";
           },
           0, ""},
      });
}

TEST(Checks, TimeServersAndSerial) {
  NWSetupState base = nwtest::ExampleState();
  base.Chk_DisableSNTP = false;
  base.cmb_SNTPPeriodicity = 1;
  base.txt_SNTPAddress2 = "time.example.com";
  RunCases(
      base,
      {
          {"one time server by name, DHCP in use", [](NWSetupState&) {}, 0, ""},
          {"periodicity 0", [](NWSetupState& s) { s.cmb_SNTPPeriodicity = 0; }, 31,
           "SNTP Periodicity cannot be 0."},
          {"no time server", [](NWSetupState& s) { s.txt_SNTPAddress2 = "   "; }, 32,
           "Atleast 1 SNTP Server address must exist."},
          {"15 digits", [](NWSetupState& s) { s.txt_MeterSerialNumber = "100000000000000"; }, 33,
           "Meter Serial Number must be 16 digits."},
          {"17 digits", [](NWSetupState& s) { s.txt_MeterSerialNumber = "10000000000000000"; }, 33,
           "Meter Serial Number must be 16 digits."},
          {"ends in letters", [](NWSetupState& s) { s.txt_MeterSerialNumber = "10000000000000AB"; },
           34, "Meter Serial Number must be numeric."},
          {"leading zero", [](NWSetupState& s) { s.txt_MeterSerialNumber = "0000000000000001"; },
           35, "First Digit of Meter Serial Number Cannot be zero."},
      });
}

TEST(Checks, RunTimeFailuresReachTheCreateHandlerAsItsMessage) {
  const std::vector<std::pair<Edit, std::string>> cases = {
      {[](NWSetupState& s) { s.txt_MeterSerialNumber = "+100000000000000"; }, "Type mismatch"},
      {[](NWSetupState& s) { s.txt_MeterSerialNumber = " 100000000000000"; }, "Type mismatch"},
      {[](NWSetupState& s) { s.txt_Threshold = "1e10"; }, "Overflow"},
      {[](NWSetupState& s) { s.txt_CTRatio = "4e4"; }, "Overflow"},
      {[](NWSetupState& s) { s.txt_LPScaler = "40000"; }, "Overflow"},
  };
  nwtest::AppDir dir;
  for (const auto& [edit, description] : cases) {
    NWSetupState s = nwtest::ExampleState();
    edit(s);
    network::lp_regexp re;
    const auto plan = network::PlanCreate(s, re, dir.app_path());
    ASSERT_TRUE(plan.refusal) << description;
    EXPECT_EQ(*plan.refusal,
              (network::Message{"Error in file creation: " + description, network::vbOKOnly, ""}));
    EXPECT_TRUE(plan.line.empty());
  }
}

}  // namespace
