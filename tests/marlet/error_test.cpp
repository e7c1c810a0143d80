#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "marlet/automation_error.h"
#include "marlet/error_codes.h"
#include "marlet/error_text.h"
#include "ole/com_ptr.h"
#include "ole2.h"
#include "winreg.h"

namespace marlet {
namespace {

AutomationError Map(Code code, const std::string& stored = "", uint32_t help = 21302) {
  ErrorText text;
  if (!stored.empty()) {
    EXPECT_EQ(text.Set(stored), kOk);
  }
  return ToAutomationError(code, text, help);
}

TEST(AutomationMapping, RuleRefusalKeepsItsMessageAndHelp) {
  AutomationError e = Map(kAlreadyActive, RuleText(kAlreadyActive));
  EXPECT_EQ(static_cast<uint32_t>(e.hresult), 0x800A4E89u);
  EXPECT_EQ(e.number, 20105);
  EXPECT_EQ(e.description, "Marlet is already Active.");
  EXPECT_EQ(e.source, "Halyard.Marlet.1");
  EXPECT_EQ(e.help_file, "halyard.chm");
  EXPECT_EQ(e.help_context, 21302u);
}

TEST(AutomationMapping, SocketCodesGetBracketedTableText) {
  AutomationError e = Map(10048);
  EXPECT_EQ(e.number, 25049);
  EXPECT_EQ(static_cast<uint32_t>(e.hresult), 0x800A61D9u);
  EXPECT_EQ(e.description, "[10048] Address already in use");

  e = Map(10093);
  EXPECT_EQ(e.number, 25094);
  EXPECT_EQ(e.description, "[10093] Winsock not loaded yet (WSANOTINITIALISED)");

  e = Map(11001);
  EXPECT_EQ(e.number, 26002);
  EXPECT_EQ(static_cast<uint32_t>(e.hresult), 0x800A0000u | 26002u);
  EXPECT_EQ(e.description, "[11001] Host not found");

  e = Map(10004);  // the first row
  EXPECT_EQ(e.description, "[10004] Interrupted system call");
  e = Map(11004);  // the last row before the end marker
  EXPECT_EQ(e.description, "[11004] Valid name, no data record (check DNS setup)");
}

TEST(AutomationMapping, CodeMissingFromTableSaysSo) {
  AutomationError e = Map(10101);
  EXPECT_EQ(e.number, 25102);
  EXPECT_EQ(e.description, "[10101] (no description available)");
  // Between two rows, and the end marker's own code, are not rows either.
  EXPECT_EQ(SocketErrorText(10072), nullptr);
  EXPECT_EQ(SocketErrorText(0), nullptr);
}

TEST(AutomationMapping, TextAlreadyStoredWinsOverTable) {
  EXPECT_EQ(Map(10054, "Destination unreachable (service unavailable?).").description,
            "Destination unreachable (service unavailable?).");
}

TEST(AutomationMapping, MadeTextIsKeptByTheEngine) {
  ErrorText text;
  ToAutomationError(10040, text, 0);
  EXPECT_EQ(text.view(), "[10040] Message too long");
}

TEST(AutomationMapping, NumberBoundaryBetweenRuleAndSocketRanges) {
  EXPECT_EQ(AutomationNumber(10000), 30001);
  EXPECT_EQ(AutomationNumber(10001), 25002);
  EXPECT_EQ(AutomationNumber(117), 20118);
}

TEST(AutomationMapping, OutOfMemoryIsNumberSevenWithoutHelp) {
  ErrorText text;
  AutomationError e = ToAutomationError(kOutOfMemory, text, 21308);
  EXPECT_EQ(e.number, 7);
  EXPECT_EQ(static_cast<uint32_t>(e.hresult), 0x800A0007u);
  EXPECT_EQ(e.description, "Out of memory.");
  EXPECT_TRUE(e.help_file.empty());
  EXPECT_EQ(e.help_context, 0u);
  EXPECT_EQ(CodeText(kOutOfMemory), "Out of memory.");
}

TEST(AutomationMapping, SuccessCarriesNothing) {
  ErrorText text;
  AutomationError e = ToAutomationError(kOk, text, 21302);
  EXPECT_EQ(e.hresult, kSuccess);
  EXPECT_FALSE(e.failed());
  EXPECT_TRUE(e.description.empty());
  EXPECT_TRUE(text.empty());
}

TEST(AutomationMapping, GetterHelpContextZeroLeavesOutHelpFile) {
  AutomationError e = Map(10048, "", 0);
  EXPECT_TRUE(e.failed());
  EXPECT_TRUE(e.help_file.empty());
  EXPECT_EQ(e.help_context, 0u);
  EXPECT_EQ(e.source, "Halyard.Marlet.1");
}

TEST(AutomationMapping, FrameworkErrors) {
  struct Case {
    FrameworkError error;
    uint32_t hresult;
    int32_t number;
    const char* text;
  };
  const Case cases[] = {
      {FrameworkError::kRuntimeOnly, 0x800A018A, 394,
       "Property is runtime only (no supported in design time)."},
      {FrameworkError::kReadOnly, 0x800A017F, 383, "Property is read-only."},
      {FrameworkError::kWriteOnly, 0x800A018A, 394, "Property is write-only."},
      {FrameworkError::kNotByteArray, 0x800A017C, 380,
       "Property accepts only one-dimensional byte arrays."},
  };
  for (const Case& c : cases) {
    AutomationError e = ToAutomationError(c.error, 21323);
    EXPECT_EQ(static_cast<uint32_t>(e.hresult), c.hresult) << c.text;
    EXPECT_EQ(e.number, c.number) << c.text;
    EXPECT_EQ(e.description, c.text);
    EXPECT_EQ(e.help_context, 21323u);
    EXPECT_EQ(e.help_file, "halyard.chm");
  }
}

TEST(RuleTexts, EveryRuleHasItsMessage) {
  EXPECT_STREQ(RuleText(106), "You cannot change the LocalPort while the control is Active.");
  EXPECT_STREQ(RuleText(116),
               "RemotePort can't be zero when UseConnection is set. Please specify a valid "
               "service port number.");
  EXPECT_STREQ(RuleText(117), "Cannot change UseConnection option while the control is Active.");
  EXPECT_EQ(RuleText(105), nullptr);
  EXPECT_EQ(RuleText(kOutOfMemory), nullptr);
}

TEST(ErrorTextStorage, ShortTextsStayInside) {
  ErrorText text;
  EXPECT_TRUE(text.empty());
  EXPECT_STREQ(text.c_str(), "");
  const std::string t99(99, 'x');
  ASSERT_EQ(text.Set(t99), kOk);
  EXPECT_FALSE(text.on_heap());
  EXPECT_EQ(text.view(), t99);
}

TEST(ErrorTextStorage, LongTextMovesToHeapGrowsAndMovesBack) {
  ErrorText text;
  const std::string t100(100, 'a');
  ASSERT_EQ(text.Set(t100), kOk);
  EXPECT_TRUE(text.on_heap());
  EXPECT_EQ(text.capacity(), 150u);  // one and a half times plus the terminator
  EXPECT_EQ(text.view(), t100);
  EXPECT_EQ(text.c_str()[100], '\0');

  const std::string t150(150, 'b');  // still fits the block
  ASSERT_EQ(text.Set(t150), kOk);
  EXPECT_EQ(text.capacity(), 150u);
  EXPECT_EQ(text.view(), t150);

  const std::string t151(151, 'c');  // does not: grows the same way
  ASSERT_EQ(text.Set(t151), kOk);
  EXPECT_EQ(text.capacity(), 226u);
  EXPECT_EQ(text.view(), t151);

  ASSERT_EQ(text.Set("short"), kOk);
  EXPECT_FALSE(text.on_heap());
  EXPECT_EQ(text.capacity(), 99u);
  EXPECT_STREQ(text.c_str(), "short");
}

TEST(ErrorTextStorage, StoringAPartOfItselfIsSafe) {
  ErrorText text;
  ASSERT_EQ(text.Set(std::string(120, 'q') + "tail"), kOk);
  // A prefix of the heap text that fits inside: copied before the block goes.
  ASSERT_EQ(text.Set(text.view().substr(0, 10)), kOk);
  EXPECT_EQ(text.view(), "qqqqqqqqqq");
}

TEST(ErrorTextStorage, ClearEmptiesWithoutLosingTheNextSet) {
  ErrorText text;
  ASSERT_EQ(text.Set(std::string(200, 'z')), kOk);
  text.Clear();
  EXPECT_TRUE(text.empty());
  EXPECT_STREQ(text.c_str(), "");
  ASSERT_EQ(text.Set("[10054] Connection reset by peer"), kOk);
  EXPECT_EQ(text.view(), "[10054] Connection reset by peer");
}

}  // namespace
}  // namespace marlet

namespace marlet {
namespace {

std::u16string Take(BSTR b) {
  std::u16string s = b ? std::u16string(b, SysStringLen(b)) : std::u16string();
  SysFreeString(b);
  return s;
}

class ThreadErrorInfo : public ::testing::Test {
 protected:
  void SetUp() override { SetErrorInfo(0, nullptr); }
  // The thread's current error object, taken (GetErrorInfo clears it).
  static ole::ComPtr<IErrorInfo> Current() {
    ole::ComPtr<IErrorInfo> info;
    GetErrorInfo(0, info.put());
    return info;
  }
};

TEST_F(ThreadErrorInfo, RuleRefusalBecomesTheThreadsErrorObject) {
  ErrorText text;
  text.Set(RuleText(kAlreadyActive));
  EXPECT_EQ(static_cast<uint32_t>(RaiseAutomationError(ToAutomationError(104, text, 21302))),
            0x800A4E89u);
  ole::ComPtr<IErrorInfo> info = Current();
  ASSERT_TRUE(info);
  BSTR b = nullptr;
  info->GetDescription(&b);
  EXPECT_EQ(Take(b), u"Marlet is already Active.");
  info->GetSource(&b);
  EXPECT_EQ(Take(b), u"Halyard.Marlet.1");
  info->GetHelpFile(&b);
  EXPECT_EQ(Take(b), u"halyard.chm");
  DWORD context = 0;
  info->GetHelpContext(&context);
  EXPECT_EQ(context, 21302u);
  GUID guid{};
  guid.Data1 = 1;
  info->GetGUID(&guid);
  EXPECT_TRUE(IsEqualGUID(guid, GUID_NULL));
  EXPECT_FALSE(Current());  // handed over once
}

TEST_F(ThreadErrorInfo, AnsiTextIsConvertedAndMemoryErrorHasNoHelp) {
  ErrorText text;
  text.Set("caf\xE9");  // 1252
  RaiseAutomationError(ToAutomationError(10048, text, 21307));
  ole::ComPtr<IErrorInfo> info = Current();
  ASSERT_TRUE(info);
  BSTR b = nullptr;
  info->GetDescription(&b);
  EXPECT_EQ(Take(b), u"caf\u00E9");

  EXPECT_EQ(static_cast<uint32_t>(RaiseAutomationError(ToAutomationError(200, text, 21307))),
            0x800A0007u);
  info = Current();
  ASSERT_TRUE(info);
  info->GetDescription(&b);
  EXPECT_EQ(Take(b), u"Out of memory.");
  info->GetHelpFile(&b);
  EXPECT_EQ(Take(b), u"");
  DWORD context = 1;
  info->GetHelpContext(&context);
  EXPECT_EQ(context, 0u);
}

TEST_F(ThreadErrorInfo, SourceIsTheProgIdTheRegistryHolds) {
  char dir[] = "/tmp/marlet-registry-XXXXXX";
  ASSERT_TRUE(mkdtemp(dir));
  const std::string file = std::string(dir) + "/registry.txt";
  const char* saved = std::getenv("OLE_REGISTRY");
  const std::string old = saved ? saved : "";
  setenv("OLE_REGISTRY", file.c_str(), 1);
  HKEY key = nullptr;
  ASSERT_EQ(
      RegCreateKeyExA(HKEY_CLASSES_ROOT, "CLSID\\{7E2A4C10-3B9D-4F21-A6C3-51D0E8B7F2A4}\\ProgID", 0,
                      nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
      ERROR_SUCCESS);
  const char progid[] = "Halyard.Marlet.7";
  RegSetValueExA(key, "", 0, REG_SZ, reinterpret_cast<const BYTE*>(progid), sizeof progid);
  RegCloseKey(key);

  ErrorText text;
  RaiseAutomationError(ToAutomationError(10048, text, 21307));
  ole::ComPtr<IErrorInfo> info = Current();
  ASSERT_TRUE(info);
  BSTR b = nullptr;
  info->GetSource(&b);
  EXPECT_EQ(Take(b), u"Halyard.Marlet.7");

  setenv("OLE_REGISTRY", old.c_str(), 1);
  std::filesystem::remove_all(dir);
}

TEST_F(ThreadErrorInfo, SuccessInstallsNothing) {
  ErrorText text;
  EXPECT_EQ(RaiseAutomationError(ToAutomationError(kOk, text, 21302)), S_OK);
  EXPECT_FALSE(Current());
}

}  // namespace
}  // namespace marlet
