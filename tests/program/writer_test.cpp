// The program file writer: assembly, file name, the overwrite question and the text writer,
// on real files.
#include <gtest/gtest.h>

#include <filesystem>
#include <variant>

#include "base/text_files.h"
#include "forms/text_rules.h"
#include "program/program_file.h"
#include "support.h"

using program::FormValues;
using program::Message;
using testsupport::Boxes;
using testsupport::ReadBytes;
using testsupport::ScratchDir;
using testsupport::ValidForm;
using testsupport::WriteBytes;

namespace {

program::ProgramFile Prepared(const FormValues& v) {
  auto r = program::PrepareProgramFile(v);
  if (auto* m = std::get_if<Message>(&r)) ADD_FAILURE() << m->prompt;
  return std::get_if<program::ProgramFile>(&r) ? std::get<program::ProgramFile>(r)
                                               : program::ProgramFile{};
}

// The fields after field 60 of the assembled text.
std::string DatePart(const std::string& text) {
  std::size_t at = 0;
  for (int i = 0; i < 60; ++i) at = text.find(',', at) + 1;
  return text.substr(at);
}

class Writer : public ::testing::Test {
 protected:
  void SetUp() override { std::filesystem::create_directory(dir_.path() + "/Program_Files"); }
  std::string AppPath() const { return dir_.path() + "/"; }
  std::string FilePath(const std::string& name) const {
    return dir_.path() + "/Program_Files/" + name;
  }
  ScratchDir dir_;
  Boxes boxes_;
};

TEST(ProgramText, FileNameCarriesTheSixteenDigitSerial) {
  EXPECT_EQ(program::ProgramFileName("12345678"), "setup_1000000012345678.txt");
  EXPECT_EQ(Prepared(ValidForm()).file_name, "setup_1000000012345678.txt");
}

TEST(ProgramText, DateItemsFollowFieldSixtyByCounts) {
  FormValues v = ValidForm();
  v["nrdts"] = "should,not,appear";
  EXPECT_EQ(DatePart(Prepared(v).text),
            "01/01/2026 00:00,1,07/04/2026 12:00,2,12/25/2026 00:00,3,11/11/2026 11:00,4,"
            "10/31/2026 23:59,5*");

  v["re"] = "0";
  v["nr"] = "5";
  v["redts"] = "left,out";
  v["nrdts"] = "a,1,b,2,c,3,d,4,e,5";
  std::string text = Prepared(v).text;
  EXPECT_EQ(DatePart(text), "a,1,b,2,c,3,d,4,e,5*");
  EXPECT_NE(text.find(",0,a,1,"), std::string::npos);  // DA2, then the first item: no gap

  v["re"] = "2";
  v["nr"] = "3";
  v["redts"] = "r1,x,r2,y";
  v["nrdts"] = "n1,x,n2,y,n3,z";
  EXPECT_EQ(DatePart(Prepared(v).text), "r1,x,r2,y,n1,x,n2,y,n3,z*");

  v["redts"] = "";
  EXPECT_EQ(DatePart(Prepared(v).text), "n1,x,n2,y,n3,z*");
}

TEST(ProgramText, TierCountIsFieldFortyFiveAndQuotesDisappear) {
  FormValues v = ValidForm();
  v["T1H3"] = "1";
  v["T2H3"] = "2";
  v["T3H3"] = "3";
  v["T4H3"] = "4";
  v["MID1"] = "\"ab\"";
  v["redts"] = "\"x\",1,y,2,z,3,w,4,v,5";
  std::string text = Prepared(v).text;
  auto fields = forms::Split(text);
  ASSERT_EQ(fields.size(), 70u);
  EXPECT_EQ(fields[44], "4");
  EXPECT_EQ(fields[7], "ab");
  EXPECT_EQ(fields[60], "x");
  EXPECT_EQ(text.find('"'), std::string::npos);
}

TEST_F(Writer, WritesTheExactBytesAndConfirms) {
  ASSERT_TRUE(program::SaveProgramFile(Prepared(ValidForm()), AppPath(), boxes_.Show()));
  EXPECT_EQ(ReadBytes(FilePath("setup_1000000012345678.txt")),
            "1,1,1,5,0,12345678,0,17,3,2,1,1,2,3,4,5,6,2,30,60,"
            "6,15,12,0,18,45,-1,0,-1,0,-1,0,-1,0,-1,0,-1,0,-1,0,-1,0,-1,0,"
            "3,1,1,1,1,1,2,3,2,1,3,1,1,1,11,0,"
            "01/01/2026 00:00,1,07/04/2026 12:00,2,12/25/2026 00:00,3,11/11/2026 11:00,4,"
            "10/31/2026 23:59,5*\r\n");
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_EQ(boxes_.shown[0], (Message{"Program File created. File Name: setup_1000000012345678.txt",
                                      0, "Mv900 File Programmer"}));
  EXPECT_EQ(dir_.List("Program_Files"), std::vector<std::string>{"setup_1000000012345678.txt"});
}

TEST_F(Writer, OverwriteQuestionNoKeepsTheOldFileAndYesReplacesIt) {
  const std::string path = FilePath("setup_1000000012345678.txt");
  WriteBytes(path,
             "old program that is longer than the new one ... ... ... ... ... ... ... ... "
             "... ... ... ... ... ... ... ... ... ... ... ... ... ... ... ... ... ... ... "
             "... ... ... ... ... ... ... ... ... ... ... ... ... ... ...\r\n");
  const std::string old = ReadBytes(path);
  const auto file = Prepared(ValidForm());

  boxes_.Answer(program::kNo);
  EXPECT_FALSE(program::SaveProgramFile(file, AppPath(), boxes_.Show()));
  EXPECT_EQ(ReadBytes(path), old);
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_EQ(boxes_.shown[0],
            (Message{"Mv900 Setup File Exists! Overwrite? setup_1000000012345678.txt", 4,
                     "Mv900 File Programmer"}));

  boxes_.Answer(program::kYes);
  EXPECT_TRUE(program::SaveProgramFile(file, AppPath(), boxes_.Show()));
  EXPECT_EQ(ReadBytes(path), std::string(testsupport::kValidText) + "\r\n");
  ASSERT_EQ(boxes_.shown.size(), 3u);
  EXPECT_EQ(boxes_.shown[2].prompt, "Program File created. File Name: setup_1000000012345678.txt");
}

TEST_F(Writer, EmptyPathIsRefusedWithTheApplicationTitle) {
  EXPECT_FALSE(base::WriteStringToFile("x", "", boxes_.Show()));
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_EQ(boxes_.shown[0], (Message{"Invalid file name...exiting", 0, ""}));
}

TEST_F(Writer, MissingDirectoryGivesTheErrorAndLeavesNothingBehind) {
  std::filesystem::remove(dir_.path() + "/Program_Files");
  const auto before = dir_.List();
  EXPECT_FALSE(program::SaveProgramFile(Prepared(ValidForm()), AppPath(), boxes_.Show()));
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_EQ(boxes_.shown[0], (Message{"Error in writing file. Please Check and try again...", 16,
                                      "Mv900 Programmer"}));
  EXPECT_EQ(dir_.List(), before);
}

TEST_F(Writer, AFailedWriteLeavesTheOldFileAsItWas) {
  const std::string path = FilePath("kept.txt");
  WriteBytes(path, "previous program\r\n");
  // U+03A9 has no place in code page 1252, so the write fails after the file was chosen.
  EXPECT_FALSE(base::WriteStringToFile("new \xCE\xA9 program", path, boxes_.Show()));
  EXPECT_EQ(ReadBytes(path), "previous program\r\n");
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_EQ(boxes_.shown[0].prompt, "Error in writing file. Please Check and try again...");
  EXPECT_EQ(dir_.List("Program_Files"), std::vector<std::string>{"kept.txt"});

  // A directory in the way is a failure too, not a success.
  std::filesystem::create_directory(FilePath("adir"));
  EXPECT_FALSE(base::WriteStringToFile("x", FilePath("adir"), boxes_.Show()));
  EXPECT_EQ(boxes_.shown.size(), 2u);
}

TEST_F(Writer, TextIsStoredInTheAnsiCodePage) {
  const std::string path = FilePath("ansi.txt");
  ASSERT_TRUE(base::WriteStringToFile("caf\xC3\xA9 \xE2\x82\xAC", path, boxes_.Show()));
  EXPECT_EQ(ReadBytes(path), "caf\xE9 \x80\r\n");
  EXPECT_EQ(base::FileToString(path), "caf\xC3\xA9 \xE2\x82\xAC");
  EXPECT_TRUE(boxes_.shown.empty());
}

}  // namespace
