// The program form's contract and the checks of "Create File", in their order.
#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <variant>

#include "program/program_checks.h"
#include "program/program_file.h"
#include "support.h"

using program::FormValues;
using program::Message;
using testsupport::ValidForm;

namespace {

// The message "Create File" would show for `v`, or "" when it would write.
std::string Outcome(const FormValues& v) {
  auto r = program::PrepareProgramFile(v);
  if (auto* m = std::get_if<Message>(&r)) return m->prompt;
  return "";
}

// The message for the valid form with one input changed.
Message RefusalWith(const char* input, const char* value) {
  FormValues v = ValidForm();
  v[input] = value;
  auto r = program::PrepareProgramFile(v);
  if (const auto* m = std::get_if<Message>(&r)) return *m;
  ADD_FAILURE() << input << " = \"" << value << "\" was accepted";
  return {};
}

const char* const kHour = "Your DST Action Time (Hour) Selection is -1. Please correct!";
const char* const kDst1 = "Your DST 1 Action is set to 'OFF'. Please correct!";
const char* const kDst2 = "Your DST 2 Action is set to 'ON'. Please correct!";
const char* const kNoTiers = "You have not selected any tiers!";
const char* const kNoTou = "You have not Checked the Program TOU Details Checkbox!";
const char* const kDemand =
    "You have selected the same Demand Sources for both Channel 0 and Channel 1!";
const char* const kEnergy =
    "You have selected the same Energy Sources for both Channel 0 and Channel 1!";
const char* const kLoad =
    "You have selected the same Load Profile Sources for both Channel 0 and Channel 1!";
const char* const kDates =
    "5 dates MUST be present. Set Action to 'No Action' which will result in no operation for "
    "the dates added.";
const char* const kSerial = "Invalid Meter Serial number. Exiting...";

void SetAllHours(FormValues& v, const char* hour) {
  for (const auto& t : program::TierInputNames())
    if (t[2] == 'H') v[t] = hour;
}

TEST(FormContract, EveryInputWithItsKindInFieldOrder) {
  std::string names;
  for (const auto& input : program::Inputs()) {
    names += input.name;
    names += input.kind == program::InputKind::CheckBox     ? ":c "
             : input.kind == program::InputKind::RadioGroup ? ":r "
                                                            : " ";
  }
  EXPECT_EQ(names,
            "PMD:c PDST:c PTOU:c re nr MS LS:c MID1 MC TC TS CD0 CD1 CE0 CE1 CL0 CL1 DH DM Do "
            "T1H1 T1M1 T2H1 T2M1 T3H1 T3M1 T4H1 T4M1 T1H2 T1M2 T2H2 T2M2 T3H2 T3M2 T4H2 T4M2 "
            "T1H3 T1M3 T2H3 T2M3 T3H3 T3M3 T4H3 T4M3 "
            "D1:r D2:r D3:r D4:r D5:r D6:r D7:r WON WDON MON DA1 WOF WDOF MOF DA2 redts nrdts ");
}

TEST(FormContract, PageElementsGiveDigitsForSwitchesAndPositionsForRadioGroups) {
  std::vector<program::PageInput> page;
  for (const auto& input : program::Inputs()) {
    if (input.kind == program::InputKind::RadioGroup) {
      // Values are ignored: the group is read by the position of the checked button.
      for (int i = 0; i < 3; ++i) page.push_back({input.name, "radio", "x", false});
    } else if (input.kind == program::InputKind::CheckBox) {
      page.push_back({input.name, "checkbox", "on", input.name == "PDST"});
    } else {
      page.push_back({input.name, "text", "v-" + input.name, false});
    }
  }
  auto at = [&](const std::string& name, int pos) -> program::PageInput& {
    for (auto& e : page)
      if (e.name == name && pos-- == 0) return e;
    throw std::out_of_range(name);
  };
  at("D1", 0).checked = true;
  at("D2", 1).checked = true;
  at("D3", 2).checked = true;  // the third button, and none checked, both give 3
  at("D5", 0).checked = true;
  at("D5", 1).checked = true;  // the first checked wins
  page.push_back({"extra", "text", "ignored", false});

  auto read = program::ReadFormValues(page);
  ASSERT_FALSE(read.refusal.has_value());
  EXPECT_EQ(read.values.size(), program::Inputs().size());
  EXPECT_EQ(read.values.at("PMD"), "0");
  EXPECT_EQ(read.values.at("PDST"), "1");
  EXPECT_EQ(read.values.at("MS"), "v-MS");
  EXPECT_EQ(read.values.at("T4M3"), "v-T4M3");
  std::string days;
  for (const char* d : {"D1", "D2", "D3", "D4", "D5", "D6", "D7"}) days += read.values.at(d);
  EXPECT_EQ(days, "1233133");
}

TEST(FormContract, APageWithoutAnInputOfTheContractIsRefusedByName) {
  std::vector<program::PageInput> page;
  for (const auto& input : program::Inputs())
    if (input.name != "WDOF") page.push_back({input.name, "text", "1", false});
  auto read = program::ReadFormValues(page);
  ASSERT_TRUE(read.refusal.has_value());
  EXPECT_NE(read.refusal->prompt.find("\"WDOF\""), std::string::npos) << read.refusal->prompt;
  EXPECT_EQ(read.refusal->buttons, program::kCritical);
  EXPECT_EQ(read.refusal->title, "Mv900 Program Module");
  EXPECT_TRUE(read.values.empty());
  EXPECT_TRUE(program::ReadFormValues({}).refusal.has_value());
}

TEST(Checks, TierCountIsTheLargestOfAnyScheduleAndMustAgreeWithTou) {
  FormValues v = ValidForm();
  SetAllHours(v, "-1");
  EXPECT_EQ(program::TierCount(v), 0);
  v["T1H1"] = "0";
  v["T2H1"] = "5";
  v["T3H1"] = "9";  // schedule 1: three tiers
  v["T1H3"] = "1";
  v["T2H3"] = "2";
  v["T3H3"] = "3";
  v["T4H3"] = "4";  // schedule 3: four tiers
  EXPECT_EQ(program::TierCount(v), 4);
  SetAllHours(v, " -1 ");
  v["T2H2"] = "+7";
  EXPECT_EQ(program::TierCount(v), 1);
  // Tier count against the TOU switch: 0 passes only with it off.
  SetAllHours(v, "-1");
  v["PTOU"] = "0";
  EXPECT_EQ(Outcome(v), "");
  v["PTOU"] = "1";
  EXPECT_EQ(Outcome(v), kNoTiers);
  v["T3H2"] = "0";  // hour 0 is a used tier
  EXPECT_EQ(Outcome(v), "");
  v["T2H2"] = "seven";
  std::string bad;
  EXPECT_EQ(program::TierCount(v, &bad), std::nullopt);
  EXPECT_EQ(bad, "T2H2");
}

TEST(Checks, EachFaultAloneGivesItsMessageIconAndTitle) {
  const struct {
    const char* input;
    const char* value;
    const char* message;
  } cases[] = {
      {"DH", "-1", kHour},   {"DA1", "0", kDst1},   {"DA2", "1", kDst2},
      {"PTOU", "0", kNoTou}, {"CD1", "1", kDemand}, {"CE1", "3", kEnergy},
      {"CL1", "5", kLoad},   {"nr", "1", kDates},   {"MS", "1234567", kSerial},
  };
  for (const auto& c : cases) {
    const Message m = RefusalWith(c.input, c.value);
    EXPECT_EQ(m.prompt, c.message);
    EXPECT_EQ(m.buttons, program::kCritical) << c.input;
    EXPECT_EQ(m.title, c.message == kSerial ? "Mv900 Programmer" : "Mv900 Program Module");
  }
  FormValues v = ValidForm();
  SetAllHours(v, "-1");
  EXPECT_EQ(Outcome(v), kNoTiers);
}

TEST(Checks, OnlyTheFirstFailureIsShownInTheFixedOrder) {
  // Every fault at once; mending them one by one walks the messages in order.
  FormValues v = ValidForm();
  v["DH"] = "-1";
  v["DA1"] = "0";
  v["DA2"] = "1";
  SetAllHours(v, "-1");
  v["CD1"] = v["CD0"];
  v["CE1"] = v["CE0"];
  v["CL1"] = v["CL0"];
  v["nr"] = "3";
  v["MS"] = "123456789";
  const std::pair<const char*, std::function<void()>> steps[] = {
      {kHour, [&] { v["DH"] = "0"; }},      {kDst1, [&] { v["DA1"] = "1"; }},
      {kDst2, [&] { v["DA2"] = "0"; }},     {kNoTiers, [&] { v["PTOU"] = "0"; }},
      {nullptr, [&] { v["T4H2"] = "23"; }},  // a tier again, with PTOU off
      {kNoTou, [&] { v["PTOU"] = "1"; }},   {kDemand, [&] { v["CD1"] = "9"; }},
      {kEnergy, [&] { v["CE1"] = "9"; }},   {kLoad, [&] { v["CL1"] = "9"; }},
      {kDates, [&] { v["nr"] = "0"; }},     {kSerial, [&] { v["MS"] = "ABCD-\xC3\xA9/x"; }},
  };
  for (const auto& [message, mend] : steps) {
    if (message != nullptr) {
      EXPECT_EQ(Outcome(v), message);
    }
    mend();
  }
  // Eight characters of any kind pass the serial check; "/" is then refused for the name.
  EXPECT_NE(Outcome(v).find("cannot be part of a file name"), std::string::npos);
  v["MS"] = "ABCD-\xC3\xA9.x";
  EXPECT_EQ(Outcome(v), "");
}

TEST(Checks, DstRowsAreSkippedWithoutPdstAndDemandComesBeforeEnergy) {
  FormValues v = ValidForm();
  v["PDST"] = "0";
  v["DH"] = "-1";
  v["DA1"] = "0";
  v["DA2"] = "1";
  EXPECT_EQ(Outcome(v), "");
  v["DH"] = "not a number";  // not even read
  EXPECT_EQ(Outcome(v), "");
  v["PDST"] = "1";
  v["DH"] = "-1";
  EXPECT_EQ(Outcome(v), kHour);
  v = ValidForm();
  v["CD1"] = v["CD0"];
  v["CE1"] = v["CE0"];
  EXPECT_EQ(Outcome(v), kDemand);
}

TEST(Checks, RecurringAndNonRecurringDatesMustMakeFive) {
  FormValues v = ValidForm();
  v["re"] = "2";
  v["nr"] = "3";
  EXPECT_EQ(Outcome(v), "");
  v["re"] = "5";
  v["nr"] = "1";
  EXPECT_EQ(Outcome(v), kDates);
  v["re"] = "-1";
  v["nr"] = "6";
  EXPECT_EQ(Outcome(v), "");
}

TEST(Checks, ANumberThatIsNotIntegerTextIsRefusedNamingTheInput) {
  const struct {
    const char* input;
    const char* value;
  } cases[] = {{"DH", "1.5"}, {"DA1", ""}, {"DA2", "ON"}, {"T3H3", "x"}, {"re", "5a"}};
  for (const auto& c : cases) {
    const Message m = RefusalWith(c.input, c.value);
    EXPECT_EQ(m.prompt, std::string("The value of ") + c.input + " (\"" + c.value +
                            "\") is not a whole number. Please correct!");
    EXPECT_EQ(m.title, "Mv900 Program Module");
    EXPECT_EQ(m.buttons, program::kCritical);
  }
}

TEST(Checks, AValueThatWouldShiftTheFieldsIsRefusedAfterTheTenChecks) {
  FormValues v = ValidForm();
  v["TC"] = "2,5";
  auto r = program::PrepareProgramFile(v);
  ASSERT_TRUE(std::holds_alternative<Message>(r));
  EXPECT_EQ(std::get<Message>(r).prompt,
            "The value of TC holds a comma (\",\"), which would break the program file. Please "
            "remove it!");
  EXPECT_EQ(std::get<Message>(r).title, "Mv900 Program Module");
  EXPECT_EQ(std::get<Message>(r).buttons, program::kCritical);
  v["MS"] = "1234567";  // the checks still come first
  EXPECT_EQ(Outcome(v), kSerial);

  v = ValidForm();
  v["Do"] = "6*0";
  EXPECT_NE(Outcome(v).find("The value of Do holds the end mark"), std::string::npos);
  v = ValidForm();
  v["nrdts"] = "a\nb";
  EXPECT_NE(Outcome(v).find("The value of nrdts holds a line break"), std::string::npos);
  v = ValidForm();
  v["MS"] = std::string(
      "1234\0"
      "678",
      8);
  EXPECT_NE(Outcome(v).find("cannot be part of a file name"), std::string::npos);
}

TEST(Checks, ASerialThatCannotNameItsFileAsWrittenIsRefused) {
  const std::string quote =
      "The serial number MS holds a double quote (\"), which the program file cannot keep. "
      "Please remove it!";
  auto unsafe = [](const std::string& what) {
    return "The serial number MS holds " + what +
           ", which cannot be part of a file name. Please remove it!";
  };
  const struct {
    std::string serial;
    std::string message;
  } cases[] = {{"1234\"678", quote},
               {"\"1234567", quote},
               {"1234/678", unsafe("\"/\"")},
               {"1234\\678", unsafe("\"\\\"")},
               {"1234:678", unsafe("\":\"")},
               {"1234?678", unsafe("\"?\"")},
               {"1234<678", unsafe("\"<\"")},
               {"1234|678", unsafe("\"|\"")},
               {"1234\t678", unsafe("a control character")},
               {"12345678", ""}};
  for (const auto& c : cases) {
    FormValues v = ValidForm();
    v["MS"] = c.serial;
    EXPECT_EQ(Outcome(v), c.message) << c.serial;
  }
}

TEST(Checks, DateCountsThatWouldWrapAroundToFiveAreRefused) {
  FormValues v = ValidForm();
  v["re"] = "-9223372036854775808";
  v["nr"] = "-9223372036854775803";
  EXPECT_EQ(Outcome(v), kDates);
  v["re"] = "9223372036854775807";
  v["nr"] = "-9223372036854775802";
  EXPECT_EQ(Outcome(v), "");  // a true sum of 5
}

TEST(Checks, AValueQuotedInAMessageIsCut) {
  const std::string long_value = std::string(500, '7') + "x";
  const Message m = RefusalWith("DH", long_value.c_str());
  EXPECT_EQ(m.prompt, "The value of DH (\"" + std::string(60, '7') +
                          "...\") is not a whole number. Please correct!");
}

}  // namespace
