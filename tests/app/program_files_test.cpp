// Meter program files through the real main window and WebEngine view: a file read into the
// shipped template's page, edited there, and written back by "Create File".
#include <gtest/gtest.h>

#include <unistd.h>
#include <QObject>
#include <filesystem>

#include "base/shared_values.h"
#include "forms/default_instance.h"
#include "forms/dialog_hook.h"
#include "forms/msgbox.h"
#include "forms/runtime_error.h"
#include "forms/web_browser.h"
#include "frm_FileCreate.h"
#include "program/program_form.h"
#include "window_test_support.h"

namespace fs = std::filesystem;
using app::frm_FileCreate;
using forms::ScriptedDialogs;
using testsupport::ReadBytes;
using testsupport::WaitFor;
using testsupport::WriteBytes;

namespace {

frm_FileCreate& Main() {
  return forms::DefaultInstance<frm_FileCreate>::Get();
}

const char* const kFileName = "setup_1000000087654321.txt";
// Every kind of input, a value missing from its drop-down (42) and dates split 2 + 3.
const char* const kProgram =
    "1,0,1,2,3,87654321,1,4711,12,7,3,1,2,3,4,5,42,13,45,60,"
    "6,5,9,10,17,20,-1,0,7,15,-1,0,-1,0,-1,0,0,0,8,30,12,0,22,55,4,"
    "1,2,3,1,2,3,1,5,1,3,1,2,7,10,0,"
    "03/15 00:00,2,08/01 06:30,1,12/24/2026 18:00,3,12/31/2026 23:00,4,01/02/2027 00:00,0*";

std::string ProgramDir() {
  return testsupport::AppDir() + "/Program_Files";
}
std::string ProgramPath() {
  return ProgramDir() + "/" + kFileName;
}

class ProgramFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::copy_file(testsupport::BinDir() + "/Templates/Read_Template.htm",
                  testsupport::AppDir() + "/Templates/Read_Template.htm",
                  fs::copy_options::overwrite_existing);
    for (const auto& e : fs::directory_iterator(ProgramDir())) fs::remove_all(e.path());
    base::Shared().current_file_name.clear();
    base::Shared().last_opened_file_path.clear();
  }
  void TearDown() override { fs::current_path(testsupport::AppDir()); }

  // "Read File" on `path`, waiting until the page has loaded.
  void Read(const std::string& path) {
    bool loaded = false;
    auto c = QObject::connect(Main().wb, &forms::WebBrowser::DocumentComplete,
                              [&](const QString&, bool ok) { loaded = ok; });
    dialogs_.Answer(path);
    Main().cmd_ReadRaw_Click();
    EXPECT_TRUE(WaitFor([&] { return loaded; }));
    QObject::disconnect(c);
  }
  program::FormValues Shown() {
    auto inputs = Main().wb->ReadForm("f");
    EXPECT_TRUE(inputs.has_value());
    std::vector<program::PageInput> page;
    for (const auto& i : inputs.value_or(forms::FormInputs{}))
      page.push_back({i.name, i.type, i.value, i.checked});
    auto read = program::ReadFormValues(page);
    EXPECT_FALSE(read.refusal.has_value()) << read.refusal.value_or(program::Message{}).prompt;
    return read.values;
  }
  std::string Js(const char* script) {
    auto v = Main().wb->Evaluate(QString::fromLatin1(script));
    return v ? v->toString().toStdString() : "<no answer>";
  }

  ScriptedDialogs dialogs_;
};

TEST_F(ProgramFiles, ReadShowsEveryValueAndCreateWritesItBack) {
  WriteBytes(ProgramPath(), std::string(kProgram) + "\r\n");
  const std::string original = ReadBytes(ProgramPath());
  Read(ProgramPath());
  EXPECT_TRUE(dialogs_.Messages().empty());
  EXPECT_EQ(base::Shared().last_opened_file_path, ProgramPath());
  // The page reached the view as one line, as its template was read.
  const std::string page = ReadBytes(testsupport::AppDir() + "/Templates/Rx_Pgm.htm");
  EXPECT_EQ(page.find('\n'), page.size() - 1);
  EXPECT_NE(page.find("P=new Array(1,0,1,2,3,87654321,"), std::string::npos);
  EXPECT_EQ(dialogs_.Calls().at(0).prompt, "Text Files(*.txt)|*.txt");

  program::FormValues shown = Shown();
  const program::FormValues expected = {
      {"PMD", "1"},
      {"PDST", "0"},
      {"PTOU", "1"},
      {"re", "2"},
      {"nr", "3"},
      {"MS", "87654321"},
      {"LS", "1"},
      {"MID1", "4711"},
      {"MC", "12"},
      {"TC", "7"},
      {"TS", "3"},
      {"CD0", "1"},
      {"CD1", "2"},
      {"CE0", "3"},
      {"CE1", "4"},
      {"CL0", "5"},
      {"CL1", "42"},
      {"DH", "13"},
      {"DM", "45"},
      {"Do", "60"},
      {"T1H1", "6"},
      {"T1M1", "5"},
      {"T2H1", "9"},
      {"T2M1", "10"},
      {"T3H1", "17"},
      {"T3M1", "20"},
      {"T4H1", "-1"},
      {"T4M1", "0"},
      {"T1H2", "7"},
      {"T1M2", "15"},
      {"T2H2", "-1"},
      {"T2M2", "0"},
      {"T3H2", "-1"},
      {"T3M2", "0"},
      {"T4H2", "-1"},
      {"T4M2", "0"},
      {"T1H3", "0"},
      {"T1M3", "0"},
      {"T2H3", "8"},
      {"T2M3", "30"},
      {"T3H3", "12"},
      {"T3M3", "0"},
      {"T4H3", "22"},
      {"T4M3", "55"},
      {"D1", "1"},
      {"D2", "2"},
      {"D3", "3"},
      {"D4", "1"},
      {"D5", "2"},
      {"D6", "3"},
      {"D7", "1"},
      {"WON", "5"},
      {"WDON", "1"},
      {"MON", "3"},
      {"DA1", "1"},
      {"WOF", "2"},
      {"WDOF", "7"},
      {"MOF", "10"},
      {"DA2", "0"},
      {"redts", "03/15 00:00,2,08/01 06:30,1"},
      {"nrdts", "12/24/2026 18:00,3,12/31/2026 23:00,4,01/02/2027 00:00,0"}};
  EXPECT_EQ(shown, expected);
  // Drop-downs show the chosen entry, not only hold the value.
  EXPECT_EQ(Js("var s=document.forms.f.elements.DA1;s.options[s.selectedIndex].text"), "ON");
  EXPECT_EQ(Js("document.getElementById('tiercount').textContent"), "4");

  // Nothing changed: the same bytes.
  dialogs_.Clear();
  dialogs_.Answer(forms::vbYes);
  Main().cmd_CreateFile_Click();
  ASSERT_EQ(dialogs_.Messages().size(), 2u);
  EXPECT_EQ(dialogs_.Messages()[0].prompt,
            std::string("Mv900 Setup File Exists! Overwrite? ") + kFileName);
  EXPECT_EQ(dialogs_.Messages()[1].prompt,
            std::string("Program File created. File Name: ") + kFileName);
  EXPECT_EQ(ReadBytes(ProgramPath()), original);
  EXPECT_EQ(base::Shared().current_file_name, kFileName);

  // Two inputs changed in the page.
  ASSERT_TRUE(Main().wb->WriteForm("f", {{"MID1", "4712"}, {"D3", "1"}}));
  dialogs_.Answer(forms::vbYes);
  Main().cmd_CreateFile_Click();
  EXPECT_EQ(ReadBytes(ProgramPath()),
            "1,0,1,2,3,87654321,1,4712,12,7,3,1,2,3,4,5,42,13,45,60,"
            "6,5,9,10,17,20,-1,0,7,15,-1,0,-1,0,-1,0,0,0,8,30,12,0,22,55,4,"
            "1,2,1,1,2,3,1,5,1,3,1,2,7,10,0,"
            "03/15 00:00,2,08/01 06:30,1,12/24/2026 18:00,3,12/31/2026 23:00,4,01/02/2027 00:00,"
            "0*\r\n");
}

TEST_F(ProgramFiles, AHostileFieldIsShownAsTextAndDoesNotRun) {
  std::string hostile = kProgram;
  hostile.replace(hostile.find(",4711,"), 6, ",1);document.title='owned';(1,");
  hostile.replace(hostile.find("01/02/2027 00:00"), 16, "</script><b id=x>");
  hostile.replace(hostile.find("12/31/2026 23:00"), 16, "e");  // back within 252 characters
  WriteBytes(ProgramPath(), hostile);
  Read(ProgramPath());
  ASSERT_TRUE(dialogs_.Messages().empty()) << dialogs_.Messages()[0].prompt;
  EXPECT_EQ(Js("document.title"), "Mv900 meter program");
  EXPECT_EQ(Js("String(document.getElementById('x'))"), "null");
  program::FormValues shown = Shown();
  EXPECT_EQ(shown.at("MID1"), "1);document.title='owned';(1");
  EXPECT_EQ(shown.at("nrdts"), "12/24/2026 18:00,3,e,4,</script><b id=x>,0");
}

TEST_F(ProgramFiles, NoWriteWithoutTheProgramForm) {
  const std::string other = testsupport::MakeTempDir("other") + "/other.htm";
  WriteBytes(other,
             "<html><body><form name='g'><input name='MS' value='12345678'></form></body></html>");
  for (const std::string& target : {std::string("about:blank"), other}) {
    bool loaded = false;
    auto c = QObject::connect(Main().wb, &forms::WebBrowser::DocumentComplete,
                              [&](const QString&, bool) { loaded = true; });
    Main().wb->Navigate(target);
    ASSERT_TRUE(WaitFor([&] { return loaded; }));
    QObject::disconnect(c);
    dialogs_.Clear();
    Main().cmd_CreateFile_Click();
    ASSERT_EQ(dialogs_.Messages().size(), 1u) << target;
    EXPECT_EQ(dialogs_.Messages()[0].title, "Mv900 Program Module");
    EXPECT_EQ(dialogs_.Messages()[0].buttons, forms::vbCritical);
    EXPECT_NE(dialogs_.Messages()[0].prompt.find("No program form is shown"), std::string::npos);
  }
  EXPECT_TRUE(fs::is_empty(ProgramDir()));
  EXPECT_EQ(base::Shared().current_file_name, "");
}

TEST_F(ProgramFiles, OverwriteAnsweredNoKeepsTheFileAndStillNamesIt) {
  WriteBytes(ProgramPath(), kProgram);
  Read(ProgramPath());
  ASSERT_TRUE(Main().wb->WriteForm("f", {{"MID1", "9"}}));
  dialogs_.Clear();
  dialogs_.Answer(forms::vbNo);
  Main().cmd_CreateFile_Click();
  ASSERT_EQ(dialogs_.Messages().size(), 1u);
  EXPECT_EQ(dialogs_.Messages()[0].buttons, forms::vbYesNo);
  EXPECT_EQ(dialogs_.Messages()[0].title, "Mv900 File Programmer");
  EXPECT_EQ(ReadBytes(ProgramPath()), kProgram);
  EXPECT_EQ(base::Shared().current_file_name, kFileName);

  // A check that fails leaves the current file name alone.
  base::Shared().current_file_name = "before";
  ASSERT_TRUE(Main().wb->WriteForm("f", {{"CE1", "3"}}));
  dialogs_.Clear();
  Main().cmd_CreateFile_Click();
  ASSERT_EQ(dialogs_.Messages().size(), 1u);
  EXPECT_EQ(dialogs_.Messages()[0].prompt,
            "You have selected the same Energy Sources for both Channel 0 and Channel 1!");
  EXPECT_EQ(base::Shared().current_file_name, "before");
}

TEST_F(ProgramFiles, CancelledDialogLeavesThePathEmptyAndTheDirectoryChanged) {
  base::Shared().last_opened_file_path = "/somewhere/old.txt";
  fs::current_path("/");
  Main().cmd_ReadRaw_Click();  // no answer scripted: Cancel
  EXPECT_EQ(base::Shared().last_opened_file_path, "");
  EXPECT_EQ(fs::current_path(), fs::canonical(ProgramDir()));
  EXPECT_TRUE(dialogs_.Messages().empty());
  ASSERT_EQ(dialogs_.Calls().size(), 1u);
  EXPECT_EQ(dialogs_.Calls()[0].kind, forms::DialogCall::OpenFile);
}

TEST_F(ProgramFiles, ARefusedFileLeavesThePageAsItWas) {
  WriteBytes(ProgramPath(), kProgram);
  Read(ProgramPath());
  const std::string page = ReadBytes(testsupport::AppDir() + "/Templates/Rx_Pgm.htm");
  const std::string short_file = ProgramDir() + "/short.txt";
  WriteBytes(short_file, "1,2,3*");
  dialogs_.Answer(short_file);
  Main().cmd_ReadRaw_Click();
  ASSERT_EQ(dialogs_.Messages().size(), 1u);
  EXPECT_EQ(dialogs_.Messages()[0].prompt, "Invalid raw File size. Exiting... Length is: 6");
  EXPECT_EQ(ReadBytes(testsupport::AppDir() + "/Templates/Rx_Pgm.htm"), page);
  EXPECT_EQ(Shown().at("MS"), "87654321");
}

TEST_F(ProgramFiles, TextHelpersOfTheMainWindow) {
  const std::string path = ProgramDir() + "/helper.txt";
  EXPECT_TRUE(Main().Write_String_To_File("a,b", path));
  EXPECT_EQ(ReadBytes(path), "a,b\r\n");
  WriteBytes(path, "one\r\ntwo\nthree");
  EXPECT_EQ(Main().fnc_FileToString(path), "onetwothree");
  EXPECT_THROW(Main().fnc_FileToString(ProgramDir() + "/none.txt"), forms::RuntimeError);
  EXPECT_FALSE(Main().Write_String_To_File("a", ""));
  EXPECT_EQ(dialogs_.Messages().at(0).prompt, "Invalid file name...exiting");
  EXPECT_EQ(dialogs_.Messages().at(0).title, "Corvane's Programmer / Debugger");
}

}  // namespace
