#include <gtest/gtest.h>

#include <algorithm>

#include "network/nw_writer.h"
#include "nw_test_util.h"

namespace {

using network::NWSetupState;

network::CreatePlan Plan(const NWSetupState& s, const std::string& app_path = "/app/") {
  network::lp_regexp re;
  return network::PlanCreate(s, re, app_path);
}

std::string Field(const NWSetupState& s, int index) {
  const auto plan = Plan(s);
  EXPECT_FALSE(plan.refusal) << plan.refusal->prompt;
  return plan.fields.at(static_cast<std::size_t>(index));
}

TEST(Writer, ExampleLineNameAndPlace) {
  const auto plan = Plan(nwtest::ExampleState(), "/opt/app/");
  ASSERT_FALSE(plan.refusal);
  EXPECT_EQ(plan.line, nwtest::kExampleLine);
  EXPECT_EQ(plan.file_name, "setup_1000000000000000.txt");
  EXPECT_EQ(plan.path, "/opt/app/Program_Files/setup_1000000000000000.txt");
  EXPECT_EQ(std::count(plan.line.begin(), plan.line.end(), ','), 40);
}

TEST(Writer, PromptsAndMessages) {
  EXPECT_EQ(network::OverwriteQuestion("setup_1000000000000000.txt"),
            (network::Message{"Network Setup File Exists! Overwrite? setup_1000000000000000.txt",
                              network::vbYesNo, "Mv900 File Programmer"}));
  EXPECT_EQ(network::CreatedMessage("setup_1000000000000000.txt"),
            (network::Message{"Network Setup File created. File Name: setup_1000000000000000.txt",
                              network::vbOKOnly, "Mv900 File Programmer"}));
  const auto refusal = Plan(NWSetupState{}).refusal;
  ASSERT_TRUE(refusal);
  EXPECT_EQ(*refusal, (network::Message{"Atleast 1 email report must be selected.",
                                        network::vbCritical, "Network Setup"}));
}

TEST(Writer, EveryFieldOfAFullRecordTrimmed) {
  NWSetupState s = nwtest::FullState();
  s.txt_FTPUsername = "  meter user  ";
  s.txt_CTRatio = " 200";
  EXPECT_EQ(Plan(s).line,
            "E,1,4,1,0,0,1,0,07,05,0,0,0,1,0,1,17,200,3,0250,10,12,20,meter.17@plant.example.com,"
            "office@10.1.2.9,10.1.2.8,10.1.2.9,meter17,s3cret,plant.example.com,10.1.2.3,"
            "meter user,p@ss word,10.1.2.50,255.255.255.0,10.1.2.1,10.1.2.6,10.1.2.7,10.1.2.4,"
            "10.1.2.5,");
}

TEST(Writer, SwitchedOffFeaturesWriteTheirFixedValues) {
  NWSetupState s = nwtest::FullState();
  s.Chk_DisableEmail = true;
  s.Chk_DisableFTP = true;
  s.Chk_DisableModBus = true;
  s.Chk_DisableSNTP = true;
  s.Chk_DisableDHCP = false;  // DHCP in use: no static address, DNS still written
  const auto plan = Plan(s);
  ASSERT_FALSE(plan.refusal) << plan.refusal->prompt;
  EXPECT_EQ(plan.line,
            "E,1,4,1,0,0,1,0,07,05,1,1,1,0,1,0,255,200,3,0250,10,1,0,,,,,,,,,,,,,,10.1.2.6,"
            "10.1.2.7,,,");
}

TEST(Writer, TwoDigitReportTime) {
  NWSetupState s = nwtest::ExampleState();
  s.cmb_EmailHour = 7;
  s.cmb_EmailMinute = 5;
  EXPECT_EQ(Field(s, 8), "07");
  EXPECT_EQ(Field(s, 9), "05");
  s.cmb_EmailHour = 23;
  s.cmb_EmailMinute = 59;
  EXPECT_EQ(Field(s, 8), "23");
  EXPECT_EQ(Field(s, 9), "59");
}

TEST(Writer, DayRule) {
  using Days = std::array<bool, 8>;
  const std::vector<std::pair<Days, std::string>> cases = {
      {{false, true, false, false, false, true, false, false}, "7"},   // Monday and Friday
      {{false, true, false, false, false, true, false, true}, "7"},    // ... with Everyday
      {{false, false, true, false, false, false, false, false}, "2"},  // Tuesday
      {{false, false, true, false, false, false, false, true}, "2"},   // Everyday and Tuesday
      {{false, false, false, false, false, false, false, true}, "7"},  // Everyday
      {{true, false, false, false, false, false, false, false}, "0"},  // Sunday
      {{false, false, false, false, false, false, true, true}, "6"},   // Saturday, Everyday
  };
  for (const auto& [days, expected] : cases) {
    NWSetupState s = nwtest::ExampleState();
    s.Chk_WeekDay = days;
    EXPECT_EQ(Field(s, 2), expected);
  }
}

TEST(Writer, RefusesACommaInAnEntryThatIsWritten) {
  NWSetupState s = nwtest::FullState();
  s.txt_FTPPassword = "pa,ss";
  auto plan = Plan(s);
  ASSERT_TRUE(plan.refusal);
  EXPECT_EQ(plan.refusal->prompt,
            "The entry \"FTP Password\" contains a comma (\",\"), which a network setup file "
            "cannot hold. Remove it and create the file again.");
  EXPECT_EQ(plan.refusal->buttons, network::vbCritical);
  EXPECT_EQ(plan.refusal->title, "Network Setup");
  EXPECT_EQ(plan.failed_step, 0);
  EXPECT_TRUE(plan.line.empty());

  s.Chk_DisableFTP = true;  // the password is not written then, so it does no harm
  EXPECT_FALSE(Plan(s).refusal);

  s.txt_EmailDomain = "a,b";
  plan = Plan(s);
  ASSERT_TRUE(plan.refusal);
  EXPECT_NE(plan.refusal->prompt.find("\"Email Domain\""), std::string::npos);
}

TEST(Writer, RefusesACharacterTheCodePageCannotHold) {
  NWSetupState s = nwtest::FullState();
  s.txt_EmailUserName = "caf\xc3\xa9";  // 1252 holds it
  EXPECT_FALSE(Plan(s).refusal);
  s.txt_EmailUserName = "\xe4\xb8\xad";  // it does not hold this
  const auto plan = Plan(s);
  ASSERT_TRUE(plan.refusal);
  EXPECT_NE(plan.refusal->prompt.find("\"User Name\""), std::string::npos);
}

}  // namespace
