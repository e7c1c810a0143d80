// The program file reader: its checks in order, the data array literal with its safe
// encoding, and the page made from the template, on real files.
#include <gtest/gtest.h>

#include <filesystem>
#include <variant>

#include "forms/text_rules.h"
#include "program/program_form.h"
#include "program/program_page.h"
#include "support.h"

using program::Message;
using testsupport::Boxes;
using testsupport::ReadBytes;
using testsupport::ScratchDir;
using testsupport::WriteBytes;

namespace {

const char* const kValidLiteral =
    "P=new Array(1,1,1,5,0,12345678,0,17,3,2,1,1,2,3,4,5,6,2,30,60,"
    "6,15,12,0,18,45,-1,0,-1,0,-1,0,-1,0,-1,0,-1,0,-1,0,-1,0,-1,0,"
    "3,1,1,1,1,1,2,3,2,1,3,1,1,1,11,0,"
    "\"01/01/2026 00:00\",\"1\",\"07/04/2026 12:00\",\"2\",\"12/25/2026 00:00\",\"3\","
    "\"11/11/2026 11:00\",\"4\",\"10/31/2026 23:59\",\"5\")";

std::string Literal(const std::string& text) {
  auto r = program::DataArrayLiteral(text);
  if (auto* m = std::get_if<Message>(&r)) return "refused: " + m->prompt;
  return std::get<std::string>(r);
}

// The valid file with field `index` (from 0) replaced.
std::string WithField(std::size_t index, const std::string& value) {
  auto fields = forms::Split(testsupport::kValidText);
  fields[index] = value;
  std::string text;
  for (const auto& f : fields) text += (text.empty() ? "" : ",") + f;
  return text;
}

// A valid file of exactly `length` characters: filler after the terminator counts.
std::string OfLength(std::size_t length) {
  std::string base = WithField(60, "d");  // 224 characters
  return base + std::string(length - base.size(), 'x');
}

TEST(DataArray, AWrittenFileGivesTheLiteralByteForByte) {
  EXPECT_EQ(Literal(testsupport::kValidText), kValidLiteral);
  // Surrounding blanks and anything after "*" do not reach the page.
  EXPECT_EQ(Literal(std::string("  ") + testsupport::kValidText + "junk  "), kValidLiteral);
}

TEST(DataArray, LengthWindowIsCountedBeforeTheCutAtTheTerminator) {
  EXPECT_EQ(Literal(OfLength(230)), "refused: Invalid raw File size. Exiting... Length is: 230");
  EXPECT_EQ(Literal(OfLength(253)), "refused: Invalid raw File size. Exiting... Length is: 253");
  EXPECT_EQ(Literal(OfLength(231)).rfind("P=new Array(1,", 0), 0u);
  EXPECT_EQ(Literal(OfLength(252)).rfind("P=new Array(1,", 0), 0u);
  // Characters, not bytes: 252 characters that take 281 bytes inside.
  std::string accented;
  for (int i = 0; i < 29; ++i) accented += "\xC3\xA9";
  EXPECT_EQ(Literal(WithField(60, accented)).rfind("P=new Array(", 0), 0u);
  EXPECT_EQ(Literal(WithField(60, accented + "e")),
            "refused: Invalid raw File size. Exiting... Length is: 253");
  auto refused = std::get<Message>(program::DataArrayLiteral("short"));
  EXPECT_EQ(refused,
            (Message{"Invalid raw File size. Exiting... Length is: 5", 16, "Mv900 Programmer"}));
}

TEST(DataArray, FieldCountAndSerialAreCheckedInOrder) {
  std::string sixty_nine = testsupport::kValidText;
  sixty_nine.erase(sixty_nine.find(",17,"), 3);
  EXPECT_EQ(Literal(WithField(7, "17,1")), "refused: Invalid raw data. Exiting...");
  EXPECT_EQ(Literal(sixty_nine), "refused: Invalid raw data. Exiting...");
  EXPECT_EQ(Literal(WithField(5, "123456789")), "refused: Invalid Meter Serial number. Exiting...");
  // A text holding quotes is used as it is: counted at the array, not as raw data.
  EXPECT_EQ(Literal(WithField(7, "\"1\",\"7\"")), "refused: Raw File is corrupted. Exiting...");
  EXPECT_EQ(Literal(WithField(5, "\"12345678\"")),
            "refused: Invalid Meter Serial number. Exiting...");
}

TEST(DataArray, FieldsThatAreNotPlainNumbersBecomeEscapedStrings) {
  const struct {
    std::string field;
    std::string literal;
  } cases[] = {
      {"0", "0"},
      {"-1", "-1"},
      {"120", "120"},
      {"0.5", "\"0.5\""},
      {"007", "\"007\""},  // a bare 007 would be an octal 7
      {"-0", "\"-0\""},
      {"1234567890123456", "\"1234567890123456\""},
      {"", "\"\""},
      {"ABC", "\"ABC\""},
      {"0);document.title='owned';(0", "\"0);document.title='owned';(0\""},
      {"a\"b\\c", "\"a\\\"b\\\\c\""},
      {"</script><script>x()</script>", "\"\\u003C/script>\\u003Cscript>x()\\u003C/script>\""},
      {"\"quoted <b>\"", "\"quoted \\u003Cb>\""},
      {"\"plain\"", "\"plain\""},
      {"\"", "\"\\\"\""},
      {"caf\xC3\xA9\t\xF0\x9F\x98\x80", "\"caf\\u00E9\\u0009\\uD83D\\uDE00\""},
  };
  for (const auto& c : cases) EXPECT_EQ(program::ScriptLiteral(c.field), c.literal) << c.field;
}

TEST(Template, EveryPlaceholderIsReplacedAndOtherTextKept) {
  EXPECT_EQ(program::FillTemplate("a P=new Array(0); b P=new Array(0)", "P=new Array(1)"),
            "a P=new Array(1); b P=new Array(1)");
  EXPECT_EQ(program::FillTemplate("p=new Array(0) P=new Array( 0)", "X"),
            "p=new Array(0) P=new Array( 0)");
  EXPECT_EQ(program::FillTemplate("P=new Array(0)", "P=new Array(0)P=new Array(0)"),
            "P=new Array(0)P=new Array(0)");
}

class Reader : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directory(dir_.path() + "/Program_Files");
    std::filesystem::create_directory(dir_.path() + "/Templates");
    WriteBytes(Template(), "<html>\r\n<script>var P=new Array(0);</script>\r\n</html>\r\n");
  }
  std::string Template() const { return dir_.path() + "/Templates/Read_Template.htm"; }
  std::string Page() const { return dir_.path() + "/Templates/Rx_Pgm.htm"; }
  std::string Program(const std::string& text) const {
    const std::string path = dir_.path() + "/Program_Files/setup_1000000012345678.txt";
    WriteBytes(path, text);
    return path;
  }
  std::optional<std::string> Build(const std::string& chosen) {
    return program::BuildProgramPage(chosen, dir_.path(), dir_.path() + "/", boxes_.Show());
  }
  ScratchDir dir_;
  Boxes boxes_;
};

TEST_F(Reader, AWrittenFileBecomesThePageInOneLine) {
  auto page = Build(Program(std::string(testsupport::kValidText) + "\r\n"));
  ASSERT_EQ(page, Page());
  EXPECT_TRUE(boxes_.shown.empty());
  EXPECT_EQ(ReadBytes(Page()),
            std::string("<html><script>var ") + kValidLiteral + ";</script></html>\r\n");

  // Split over several lines, it reads as the one-line file.
  std::string text = testsupport::kValidText;
  text.insert(100, "\r\n");
  text.insert(40, "\n");
  std::filesystem::remove(Page());
  ASSERT_EQ(Build(Program(text)), Page());
  EXPECT_NE(ReadBytes(Page()).find(kValidLiteral), std::string::npos);
}

TEST_F(Reader, EachRefusalShowsItsMessageAndLeavesThePage) {
  WriteBytes(Page(), "previous page\r\n");
  const struct {
    std::string text;
    std::string message;
  } cases[] = {
      {OfLength(230), "Invalid raw File size. Exiting... Length is: 230"},
      {WithField(7, "17,1"), "Invalid raw data. Exiting..."},
      {WithField(5, "123456789"), "Invalid Meter Serial number. Exiting..."},
  };
  for (const auto& c : cases) {
    boxes_.shown.clear();
    EXPECT_EQ(Build(Program(c.text)), std::nullopt);
    ASSERT_EQ(boxes_.shown.size(), 1u);
    EXPECT_EQ(boxes_.shown[0], (Message{c.message, 16, "Mv900 Programmer"}));
  }
  boxes_.shown.clear();
  const std::string missing = dir_.path() + "/Program_Files/none.txt";
  EXPECT_EQ(Build(missing), std::nullopt);
  EXPECT_EQ(boxes_.shown.at(0).prompt, missing + " File does not exist. Exiting...");
  EXPECT_EQ(ReadBytes(Page()), "previous page\r\n");
}

// Every read is capped: an endless program file or template stops with the reason.
TEST_F(Reader, AFileBeyondTheCapIsRefusedWithTheReason) {
  WriteBytes(Page(), "previous page\r\n");
  const std::string huge(1024 * 1024 + 1, ' ');
  const std::string program = Program(std::string(testsupport::kValidText) + huge);
  EXPECT_EQ(Build(program), std::nullopt);
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_EQ(boxes_.shown[0],
            (Message{program + " could not be read (File is larger than 1 MiB). Exiting...", 16,
                     "Mv900 Programmer"}));

  boxes_.shown.clear();
  WriteBytes(Template(), "<p>P=new Array(0)</p>" + huge);
  EXPECT_EQ(Build(Program(testsupport::kValidText)), std::nullopt);
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_EQ(boxes_.shown[0].prompt,
            Template() + " could not be read (File is larger than 1 MiB). Exiting...");
  EXPECT_EQ(ReadBytes(Page()), "previous page\r\n");
}

TEST_F(Reader, MissingTemplateIsReportedAndATemplateWithoutPlaceholderIsCopied) {
  std::filesystem::remove(Template());
  EXPECT_EQ(Build(Program(testsupport::kValidText)), std::nullopt);
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_EQ(boxes_.shown[0],
            (Message{"Read_Template.htm File does not exist. Exiting...", 16, "Mv900 Programmer"}));
  EXPECT_FALSE(std::filesystem::exists(Page()));

  WriteBytes(Template(), "<p>no data\r\n here</p>");
  EXPECT_EQ(Build(Program(testsupport::kValidText)), Page());
  EXPECT_EQ(ReadBytes(Page()), "<p>no data here</p>\r\n");
}

TEST_F(Reader, AFailedPageWriteIsReportedAndThePageStillShown) {
  std::filesystem::create_directory(Page());  // a directory where the page belongs
  EXPECT_EQ(Build(Program(testsupport::kValidText)), Page());
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_EQ(boxes_.shown[0].prompt, "Error in writing file. Please Check and try again...");
}

TEST_F(Reader, EnteringProgramFilesChangesTheCurrentDirectory) {
  const auto before = std::filesystem::current_path();
  EXPECT_EQ(program::EnterProgramFilesDir(dir_.path()), std::nullopt);
  EXPECT_EQ(std::filesystem::current_path(),
            std::filesystem::canonical(dir_.path() + "/Program_Files"));
  std::filesystem::current_path(before);
  std::filesystem::remove(dir_.path() + "/Program_Files");
  auto refusal = program::EnterProgramFilesDir(dir_.path());
  ASSERT_TRUE(refusal.has_value());
  EXPECT_EQ(refusal->title, "Mv900 Programmer");
  EXPECT_EQ(std::filesystem::current_path(), before);
}

}  // namespace
