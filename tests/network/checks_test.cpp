// The check order and messages case by case; the window tests walk the same checks through
// the real controls for the cases a technician meets most.
#include <gtest/gtest.h>

#include "forms/runtime_error.h"
#include "network/create_file.h"
#include "network/entry_checks.h"
#include "nw_test_util.h"

namespace {

using network::SetupState;
using nwtest::Values;

struct Case {
  Values edit;
  int step;  // 0: every check passes
  std::string message;
};

std::string Static(const std::string& entry) {
  return entry + " Error: You must use numeric IP Address values with DHCP turned off!";
}

void RunCases(const SetupState& base, const std::vector<Case>& cases) {
  for (const auto& c : cases) {
    network::lp_regexp re;
    const auto failure = network::CheckEntries(nwtest::With(base, c.edit), re);
    const std::string what =
        c.edit.empty() ? "base" : c.edit.begin()->first + "=" + c.edit.begin()->second;
    if (c.step == 0) {
      EXPECT_FALSE(failure) << what << ": stopped at " << failure->step << " " << failure->message;
      continue;
    }
    ASSERT_TRUE(failure) << what;
    EXPECT_EQ(failure->step, c.step) << what;
    EXPECT_EQ(failure->message, c.message) << what;
  }
}

TEST(Checks, DaysReportsModBusAndNumbers) {
  RunCases(
      nwtest::ExampleState(),
      {
          {{}, 0, ""},
          {{{"Chk_WeekDay_7", "0"}}, 1, "Please select atleast 1 day to send an email report."},
          {{{"Chk_WeekDay_7", "0"}, {"Chk_WeekDay_6", "1"}}, 0, ""},
          {{{"Chk_LoadProfile", "0"}}, 2, "Atleast 1 email report must be selected."},
          {{{"cmb_MBSlaveID", "0"}}, 3, "ModBus Slave ID cannot be 0."},
          {{{"cmb_MBSlaveID", "0"}, {"Chk_DisableModBus", "1"}}, 0, ""},
          {{{"txt_CTRatio", ""}}, 4, "CT Ratio must be a numeric value."},
          {{{"txt_CTRatio", "1000"}}, 6, "CT Ratio cannot be higher than 999."},
          {{{"txt_CTRatio", "999"}}, 0, ""},
          {{{"txt_PTRatio", "1a"}}, 8, "PT Ratio must be a numeric value."},
          {{{"txt_PTRatio", "2.5"}},
           9,
           "PT Ratio must be an Integer value from 1 to 999. No Decimals allowed"},
          {{{"txt_PTRatio", "5e3"}}, 10, "PT Ratio cannot be higher than 999."},
          {{{"txt_PTRatio", "-1"}}, 11, "PT Ratio cannot be less than 1."},
          {{{"txt_Threshold", "abcd"}}, 12, "Threshold must be a numeric value."},
          {{{"txt_Threshold", " 0100 "}}, 0, ""},
          {{{"txt_Threshold", "00100"}}, 14, "Threshold must be 4 characters.5"},
          {{{"txt_LPScaler", "-"}}, 15, "LP Scaler must be a numeric value."},
          {{{"txt_LPScaler", "1.5"}},
           16,
           "LP Scaler must be an Integer value from 1 to 999. No Decimals allowed"},
          {{{"txt_LPScaler", "1000"}}, 17, "LP Scaler cannot be higher than 999."},
          {{{"txt_LPScaler", "0"}}, 18, "LP Scaler cannot be less than 1."},
      });
}

TEST(Checks, EmailAndStaticAddressing) {
  RunCases(
      nwtest::FullState(),
      {
          {{}, 0, ""},
          {{{"txt_EmailAddress", "meter@plant"}}, 19, "Error in Email Address."},
          {{{"txt_EmailAddressCC", "x"}}, 20, "Error in Email CC Address."},
          {{{"txt_StaticIPAddress", "10.1.2.50 "}}, 21, "Invalid Static IP Address."},
          {{{"txt_SubNetMask", "255.255.256.0"}}, 22, "Invalid Sub Net IP Address."},
          {{{"txt_Gateway", ""}}, 23, "Invalid Gateway IP Address."},
          {{{"txt_POP3Domain", "pop.example.com"}}, 24, Static("POP3 Address")},
          {{{"txt_POP3Domain", "123"}}, 0, ""},  // a plain number is let through
          {{{"txt_SMTPDomain", "smtp"}}, 25, Static("SMPT Address")},
          {{{"txt_POP3Domain", "pop"}, {"Chk_DisableEmail", "1"}}, 0, ""},
          {{{"txt_FTPServerAddress", "ftp"}}, 26, Static("FTP Server Address")},
          {{{"txt_FTPServerAddress", "ftp"}, {"Chk_DisableFTP", "1"}}, 0, ""},
          {{{"txt_DNSAddress1", "dns.local"}}, 27, Static("DNS Server1 Address")},
          {{{"txt_DNSAddress2", "  "}}, 28, Static("DNS Server2 Address")},
          {{{"txt_DNSAddress1", ""}, {"txt_DNSAddress2", ""}}, 0, ""},
          {{{"txt_SNTPAddress1", "ntp"}, {"txt_DNSAddress1", ""}}, 0, ""},  // DNS2 resolves it
          {{{"txt_SNTPAddress1", "ntp"}, {"txt_DNSAddress1", ""}, {"txt_DNSAddress2", ""}},
           29,
           Static("SNTP Address1")},
          {{{"txt_SNTPAddress2", ""}, {"txt_DNSAddress1", ""}, {"txt_DNSAddress2", ""}},
           30,
           Static("SNTP Address2")},
          {{{"txt_SNTPAddress1", "a"}, {"Chk_DisableSNTP", "1"}, {"txt_DNSAddress1", ""}}, 0, ""},
          {{{"Chk_DisableDHCP", "0"},
            {"txt_StaticIPAddress", "x"},
            {"txt_POP3Domain", "pop"},
            {"txt_DNSAddress1", "dns"},
            {"txt_SNTPAddress1", "ntp"}},
           0,
           ""},  // with DHCP in use host names go anywhere
          {{{"cmb_SNTPPeriodicity", "0"}}, 31, "SNTP Periodicity cannot be 0."},
          {{{"txt_SNTPAddress1", " "}, {"txt_SNTPAddress2", ""}, {"Chk_DisableDHCP", "0"}},
           32,
           "Atleast 1 SNTP Server address must exist."},
          {{{"txt_MeterSerialNumber", "10000000000000000"}},
           33,
           "Meter Serial Number must be 16 digits."},
      });
}

TEST(Checks, RunTimeFailuresBecomeTheCreateHandlersMessage) {
  for (const auto& [edit, description] : std::vector<std::pair<Values, std::string>>{
           {{{"txt_MeterSerialNumber", " 100000000000000"}}, "Type mismatch"},
           {{{"txt_CTRatio", "4e4"}}, "Overflow"},
           {{{"txt_LPScaler", "40000"}}, "Overflow"}}) {
    network::lp_regexp re;
    const auto plan = network::PlanCreate(nwtest::ExampleState(edit), re, "/app/");
    ASSERT_TRUE(plan.refusal) << description;
    EXPECT_EQ(*plan.refusal,
              (forms::Message{"Error in file creation: " + description, forms::vbOKOnly, ""}));
    EXPECT_TRUE(plan.line.empty());
  }
}

// An address that drives the pattern engine into its match limit: the helper reports it as a
// run-time failure, and the create handler shows it as its own.
TEST(Checks, ThePatternEnginesLimitIsTheCreateHandlersFailure) {
  std::string hostile = "a@";
  for (int i = 0; i < 14; ++i) hostile += "aaaaaaaaaa.";
  hostile += "1";
  network::lp_regexp re;
  try {
    re.IsValid(network::PatternKind::kEmail, hostile);
    ADD_FAILURE() << "the engine finished";
  } catch (const forms::RuntimeError& e) {
    EXPECT_EQ(e.Number(), 28);
    EXPECT_EQ(e.Description(), "Out of stack space");
  }
  const auto plan = network::PlanCreate(
      nwtest::ExampleState({{"Chk_DisableEmail", "0"}, {"txt_EmailAddress", hostile}}), re,
      "/app/");
  ASSERT_TRUE(plan.refusal);
  EXPECT_EQ(*plan.refusal,
            (forms::Message{"Error in file creation: Out of stack space", forms::vbOKOnly, ""}));
}

}  // namespace
