#include <gtest/gtest.h>

#include <algorithm>

#include "network/create_file.h"
#include "nw_test_util.h"

namespace {

using network::SetupState;

network::CreatePlan Plan(const SetupState& s) {
  network::lp_regexp re;
  return network::PlanCreate(s, re, "/opt/app/");
}

TEST(Writer, ExampleLineNameAndPlace) {
  const auto plan = Plan(nwtest::ExampleState());
  ASSERT_FALSE(plan.refusal);
  EXPECT_EQ(plan.line, nwtest::kExampleLine);
  EXPECT_EQ(plan.file_name, "setup_1000000000000000.txt");
  EXPECT_EQ(plan.path, "/opt/app/Program_Files/setup_1000000000000000.txt");
  EXPECT_EQ(std::count(plan.line.begin(), plan.line.end(), ','), 40);
}

TEST(Writer, EveryFieldOfAFullRecordTrimmed) {
  EXPECT_EQ(
      Plan(nwtest::FullState({{"txt_FTPUsername", "  meter user  "}, {"txt_CTRatio", " 200"}}))
          .line,
      "E,1,4,1,0,0,1,0,07,05,0,0,0,1,0,1,17,200,3,0250,10,12,20,meter.17@plant.example.com,"
      "office@10.1.2.9,10.1.2.8,10.1.2.9,meter17,s3cret,plant.example.com,10.1.2.3,"
      "meter user,p@ss word,10.1.2.50,255.255.255.0,10.1.2.1,10.1.2.6,10.1.2.7,10.1.2.4,"
      "10.1.2.5,");
}

TEST(Writer, SwitchedOffFeaturesWriteTheirFixedValues) {
  // DHCP in use: no static address, DNS still written.
  const auto plan = Plan(nwtest::FullState({{"Chk_DisableEmail", "1"},
                                            {"Chk_DisableFTP", "1"},
                                            {"Chk_DisableModBus", "1"},
                                            {"Chk_DisableSNTP", "1"},
                                            {"Chk_DisableDHCP", "0"}}));
  ASSERT_FALSE(plan.refusal) << plan.refusal->prompt;
  EXPECT_EQ(plan.line,
            "E,1,4,1,0,0,1,0,07,05,1,1,1,0,1,0,255,200,3,0250,10,1,0,,,,,,,,,,,,,,10.1.2.6,"
            "10.1.2.7,,,");
}

TEST(Writer, DayRule) {
  const std::vector<std::pair<nwtest::Values, std::string>> cases = {
      {{{"Chk_WeekDay_1", "1"}, {"Chk_WeekDay_5", "1"}, {"Chk_WeekDay_7", "0"}}, "7"},
      {{{"Chk_WeekDay_1", "1"}, {"Chk_WeekDay_5", "1"}}, "7"},  // with Everyday
      {{{"Chk_WeekDay_2", "1"}, {"Chk_WeekDay_7", "0"}}, "2"},
      {{{"Chk_WeekDay_2", "1"}}, "2"},  // Everyday and Tuesday
      {{}, "7"},                        // Everyday alone
      {{{"Chk_WeekDay_0", "1"}, {"Chk_WeekDay_7", "0"}}, "0"},
      {{{"Chk_WeekDay_6", "1"}}, "6"},
  };
  for (const auto& [days, expected] : cases) {
    const auto plan = Plan(nwtest::ExampleState(days));
    ASSERT_FALSE(plan.refusal);
    EXPECT_EQ(plan.fields.at(2), expected);
  }
}

TEST(Writer, RefusesEntriesTheFileCannotCarry) {
  auto plan = Plan(nwtest::FullState({{"txt_FTPPassword", "pa,ss"}}));
  ASSERT_TRUE(plan.refusal);
  EXPECT_EQ(*plan.refusal,
            (forms::Message{"The entry \"FTP Password\" contains a comma (\",\"), which a "
                            "network setup file cannot hold. Remove it and create the file "
                            "again.",
                            forms::vbCritical, "Network Setup"}));
  EXPECT_EQ(plan.failed_step, 0);
  EXPECT_TRUE(plan.line.empty());
  // Not written while FTP is off, so it does no harm then.
  EXPECT_FALSE(
      Plan(nwtest::FullState({{"txt_FTPPassword", "pa,ss"}, {"Chk_DisableFTP", "1"}})).refusal);

  EXPECT_FALSE(Plan(nwtest::FullState({{"txt_EmailUserName", "caf\xc3\xa9"}})).refusal);
  plan = Plan(nwtest::FullState({{"txt_EmailUserName", "\xe4\xb8\xad"}}));  // not in 1252
  ASSERT_TRUE(plan.refusal);
  EXPECT_EQ(plan.refusal->prompt,
            "The entry \"User Name\" contains a character that this workstation's code page "
            "cannot write. Remove it and create the file again.");
}

}  // namespace
