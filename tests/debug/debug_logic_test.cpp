// The window's plain parts: splitting a datagram into rows, and appending to the log file.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "debug/debug_logic.h"
#include "forms/runtime_error.h"
#include "support/file_bytes.h"
#include "support/scratch_dir.h"

namespace {

TEST(DebugTrail, DatagramsSplitAtEveryLineFeedKeepingEmptyPiecesAndCarriageReturns) {
  const struct {
    std::string text;
    std::vector<std::string> pieces;
  } cases[] = {
      {"", {""}},
      {"one", {"one"}},
      {"A\nB\n", {"A", "B", ""}},
      {"\n", {"", ""}},
      {"a\r\nb", {"a\r", "b"}},
      {"\n\nx\n\n", {"", "", "x", "", ""}},
      {"cr\ronly", {"cr\ronly"}},
      {std::string("n\0m\nz", 5), {std::string("n\0m", 3), "z"}},
  };
  for (const auto& c : cases) EXPECT_EQ(debug::SplitAtLineFeeds(c.text), c.pieces) << c.text;
}

TEST(DebugTrail, LinesAreAppendedInTheCodePageAndFailuresCarryThePlatformsDescription) {
  const testsupport::ScratchDir dir;
  const std::string log = dir.path() + "/Debug_Report.Txt";
  debug::AppendLine(log, "first");
  debug::AppendLine(log, "");
  debug::AppendLine(log, "caf\xC3\xA9");  // é is one byte in code page 1252
  EXPECT_EQ(testsupport::ReadBytes(log), "first\r\n\r\ncaf\xE9\r\n");

  std::filesystem::create_directory(dir.path() + "/a_directory");
  const struct {
    std::string path;
    std::string text;
    std::string description;
  } failures[] = {
      {dir.path() + "/missing/Debug_Report.Txt", "x", "Path not found"},
      {dir.path() + "/a_directory", "x", "Path/File access error"},
      {log, "\xE4\xB8\x80", "Path/File access error"},  // a character 1252 lacks
  };
  for (const auto& f : failures) {
    try {
      debug::AppendLine(f.path, f.text);
      ADD_FAILURE() << f.path << " was written";
    } catch (const forms::RuntimeError& e) {
      EXPECT_EQ(e.Description(), f.description) << f.path;
    }
  }
  EXPECT_EQ(testsupport::ReadBytes(log), "first\r\n\r\ncaf\xE9\r\n") << "a refused line leaves the file";
}

}  // namespace
