// The program file shipped for a technician's first read must itself be a file "Create File"
// would write: every check passed, the same text and the same name back.
#include <gtest/gtest.h>

#include <variant>

#include "forms/text_rules.h"
#include "program/program_file.h"
#include "program/program_form.h"
#include "program/program_page.h"
#include "support/file_bytes.h"

namespace {

TEST(SampleProgram, ReadsBackAndIsWrittenAgainUnchanged) {
  const std::string bytes = testsupport::ReadBytes(SAMPLE_PROGRAM_FILE);
  ASSERT_GE(bytes.size(), 2u);
  ASSERT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
  const std::string text = bytes.substr(0, bytes.size() - 2);
  EXPECT_TRUE(std::holds_alternative<std::string>(program::DataArrayLiteral(text)));

  // The page puts field i back into the input it came from; the tier count (before D1) is
  // derived, and the ten date items are the recurring dates.
  const std::vector<std::string> fields = forms::Split(text.substr(0, text.find('*')));
  ASSERT_EQ(fields.size(), 70u);
  program::FormValues values;
  std::size_t at = 0;
  for (const auto& input : program::Inputs()) {
    if (input.name == "redts" || input.name == "nrdts") continue;
    if (input.name == "D1") ++at;
    values[input.name] = fields.at(at++);
  }
  ASSERT_EQ(at, 60u);
  std::string dates;
  for (std::size_t i = 60; i < fields.size(); ++i) dates += (i > 60 ? "," : "") + fields[i];
  values["redts"] = dates;
  values["nrdts"] = "";

  const auto written = program::PrepareProgramFile(values);
  ASSERT_TRUE(std::holds_alternative<program::ProgramFile>(written))
      << std::get<program::Message>(written).prompt;
  const auto& file = std::get<program::ProgramFile>(written);
  EXPECT_EQ(file.text, text);
  const std::string path = SAMPLE_PROGRAM_FILE;
  EXPECT_EQ(file.file_name, path.substr(path.rfind('/') + 1));
  // No network setup file the window writes unchanged takes this name.
  EXPECT_NE(file.file_name, "setup_1000000000000000.txt");
}

}  // namespace
