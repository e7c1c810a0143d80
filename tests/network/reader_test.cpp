#include <gtest/gtest.h>

#include <map>
#include <stdexcept>

#include "network/create_file.h"
#include "network/load_file.h"
#include "nw_test_util.h"

namespace {

using network::SetupState;

class Reader : public ::testing::Test {
 protected:
  // Writes `content` under `name` in Program_Files and loads it into `state`.
  std::optional<forms::Message> Load(const std::string& name, const std::string& content) {
    const std::string path = dir.program_file(name);
    nwtest::WriteBytes(path, content);
    return network::LoadNetworkFile(path, name, state, nw_fields);
  }
  std::string Recreate() {
    network::lp_regexp re;
    const auto plan = network::PlanCreate(state, re, dir.app_path());
    EXPECT_FALSE(plan.refusal) << plan.refusal->prompt;
    return plan.line;
  }
  // The example line with some fields replaced.
  static std::string WithFields(const std::map<int, std::string>& values) {
    const std::string line = nwtest::kExampleLine;
    std::string out;
    int i = 0;
    for (std::size_t from = 0, comma = 0; (comma = line.find(',', from)) != std::string::npos;
         from = comma + 1, ++i) {
      const auto v = values.find(i);
      out += (v != values.end() ? v->second : line.substr(from, comma - from)) + ",";
    }
    return out;
  }

  nwtest::AppDir dir;
  SetupState state;
  std::vector<std::string> nw_fields = std::vector<std::string>(41);
};

TEST_F(Reader, WrittenFileLoadsBackToTheSameLineAndName) {
  for (const SetupState& original : {nwtest::FullState(), nwtest::ExampleState()}) {
    network::lp_regexp re;
    const auto written = network::PlanCreate(original, re, dir.app_path());
    ASSERT_FALSE(written.refusal);
    nwtest::WriteBytes(written.path, written.line + "\r\n");
    state = SetupState{};  // a freshly opened window
    EXPECT_FALSE(network::LoadNetworkFile(written.path, written.file_name, state, nw_fields));
    EXPECT_EQ(state.txt_MeterSerialNumber, original.txt_MeterSerialNumber);
    EXPECT_EQ(Recreate(), written.line);
  }
}

TEST_F(Reader, DayNeverUnchecks) {
  ASSERT_FALSE(Load("setup_1000000000000000.txt", WithFields({{2, "3"}})));
  EXPECT_EQ(Recreate(), WithFields({{2, "3"}}));  // Wednesday and Everyday give "3" again
  state.Chk_WeekDay[1] = true;
  ASSERT_FALSE(Load("setup_1000000000000000.txt", WithFields({{2, "7"}})));
  ASSERT_FALSE(Load("setup_1000000000000000.txt", WithFields({{2, "8"}})));  // no such day
  EXPECT_EQ(state.Chk_WeekDay,
            (std::array<bool, 8>{false, true, false, true, false, false, false, true}));
}

TEST_F(Reader, EmptyFeatureFieldsClearTheirEntries) {
  state = nwtest::FullState();
  ASSERT_FALSE(Load("setup_1000000000000000.txt", nwtest::kExampleLine));
  for (const std::string* entry :
       {&state.txt_EmailAddress, &state.txt_EmailPassword, &state.txt_FTPServerAddress,
        &state.txt_StaticIPAddress, &state.txt_DNSAddress1, &state.txt_SNTPAddress1}) {
    EXPECT_EQ(*entry, "");
  }
  EXPECT_EQ(state.cmb_SNTPPeriodicity, 1);  // SNTP off was written as periodicity 1, offset 0
  EXPECT_EQ(state.cmb_SNTP_UTC_Offset, 0);
  EXPECT_EQ(state.txt_Threshold, "0100");
}

TEST_F(Reader, WrongPieceCountChangesNothingButTheSerial) {
  const std::string line = nwtest::kExampleLine;
  for (const std::string& content : {line.substr(0, line.size() - 1), line + ",", std::string()}) {
    state = nwtest::FullState();
    const auto stop = Load("setup_2000000000000000.txt", content);
    ASSERT_TRUE(stop);
    EXPECT_EQ(*stop,
              (forms::Message{"Invalid Network Parameters File size!", forms::vbOKOnly, ""}));
    EXPECT_EQ(state, nwtest::FullState({{"txt_MeterSerialNumber", "2000000000000000"}}));
  }
}

TEST_F(Reader, SerialComesOnlyFromAProperName) {
  EXPECT_EQ(network::SerialFromFileName(" setup_3000000000000000.txt "), "3000000000000000");
  for (const char* name : {"setup_300000000000000.txt", "setup_30000000000000000.txt",
                           "setap_3000000000000000.txt", "setup_30000000000000AB.txt"}) {
    EXPECT_FALSE(network::SerialFromFileName(name)) << name;
  }
  state.txt_MeterSerialNumber = "4000000000000000";
  for (const char* name : {"setup_300000000000000.txt", "other_3000000000000000.txt"}) {
    EXPECT_FALSE(Load(name, nwtest::kExampleLine));
    EXPECT_EQ(state.txt_MeterSerialNumber, "4000000000000000");
    EXPECT_TRUE(state.Chk_LoadProfile);  // the content was loaded all the same
  }
  // A meter program file shares the name pattern: the serial is taken, the content refused.
  std::string program;
  for (int i = 1; i <= 70; ++i) program += std::to_string(i % 10) + (i < 70 ? "," : "*\r\n");
  ASSERT_TRUE(Load("setup_1000000012345678.txt", program));
  EXPECT_EQ(state.txt_MeterSerialNumber, "1000000012345678");
}

TEST_F(Reader, OuterSpacesDroppedInnerSpacesKeptLinesJoined) {
  const std::string line = WithFields({{10, "0"}, {30, " ftp host "}, {31, "user "}});
  ASSERT_FALSE(Load("setup_1000000000000000.txt", "   " + line.substr(0, 20) + "\r\n" +
                                                      line.substr(20, 9) + "\n" + line.substr(29) +
                                                      "  \r\n"));
  EXPECT_EQ(state.txt_FTPServerAddress, " ftp host ");
  EXPECT_EQ(state.txt_FTPUsername, "user ");
  EXPECT_EQ(nw_fields.size(), 41u);
  EXPECT_EQ(Recreate(), WithFields({{10, "0"}, {30, "ftp host"}, {31, "user"}}));
}

TEST_F(Reader, BadFieldStopsThereKeepingWhatCameBefore) {
  const std::vector<std::tuple<int, std::string, std::string>> cases = {
      {8, "24", "\"Schedule Time (hour)\" (cmb_EmailHour)"},
      {3, "2", "\"Current Billing Values\" (Chk_CurrentBilling)"},
      {2, "10", "\"Day to Report\" (Chk_WeekDay)"},
      {16, "256", "\"MB Slave ID\" (cmb_MBSlaveID)"},
      {21, "x", "\"SNTP Periodicity\" (cmb_SNTPPeriodicity)"},
      {9, "-1", "\"Schedule Time (minute)\" (cmb_EmailMinute)"},
      {13, "", "\"Disable DHCP ( Use Static IP )\" (Chk_DisableDHCP)"},
  };
  for (const auto& [field, value, names] : cases) {
    state = SetupState{};
    // Field 1 comes before every bad field, field 30 after all of them.
    const auto stop =
        Load("setup_1000000000000000.txt", WithFields({{1, "1"}, {field, value}, {30, "later"}}));
    ASSERT_TRUE(stop) << field;
    EXPECT_EQ(*stop, (forms::Message{"Cannot load field " + std::to_string(field) +
                                         " of the file into " + names + ": it holds \"" + value +
                                         "\". Loading stopped at this field.",
                                     forms::vbCritical, "Network Setup"}));
    EXPECT_TRUE(state.chk_CC_Option) << field;
    EXPECT_EQ(state.Chk_LoadProfile, field > 7) << field;
    EXPECT_EQ(state.txt_FTPServerAddress, "") << field;
  }
}

TEST_F(Reader, MissingOrUnreadableFileChangesNothingButTheSerial) {
  const std::string path = dir.program_file("setup_5000000000000000.txt");
  auto stop = network::LoadNetworkFile(path, "setup_5000000000000000.txt", state, nw_fields);
  ASSERT_TRUE(stop);
  EXPECT_EQ(*stop, (forms::Message{path + " File does not exist. Exiting...", forms::vbCritical,
                                   "Mv900 Programmer"}));
  EXPECT_EQ(state.txt_MeterSerialNumber, "5000000000000000");

  // Far beyond any setup file: the read stops at the cap and nothing changes.
  nwtest::WriteBytes(path, std::string(nwtest::kExampleLine) + std::string(1024 * 1024, ' '));
  const SetupState before = state;
  const std::vector<std::string> fields_before = nw_fields;
  stop = network::LoadNetworkFile(path, "setup_5000000000000000.txt", state, nw_fields);
  ASSERT_TRUE(stop);
  EXPECT_EQ(*stop,
            (forms::Message{"The file " + path + " cannot be read: File is larger than 1 MiB",
                            forms::vbCritical, "Network Setup"}));
  EXPECT_EQ(state, before);
  EXPECT_EQ(nw_fields, fields_before);
}

}  // namespace
