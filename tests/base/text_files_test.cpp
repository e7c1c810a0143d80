// The one set of text-file helpers every window reads and writes through.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <chrono>
#include <future>

#include "base/text_files.h"
#include "forms/runtime_error.h"
#include "support/file_bytes.h"
#include "support/scratch_dir.h"

namespace {

using testsupport::ReadBytes;
using testsupport::WriteBytes;

struct Failure {
  int number = 0;
  std::string description;
};

template <typename F>
Failure FailureOf(F&& call) {
  try {
    call();
  } catch (const forms::RuntimeError& e) {
    return {e.Number(), e.Description()};
  }
  return {};
}

class TextFiles : public ::testing::Test {
 protected:
  testsupport::ScratchDir dir_{"text-files"};
};

TEST_F(TextFiles, OnlyAReadableRegularFileExistsAndAPipeNeverBlocks) {
  WriteBytes(dir_.File("empty.txt"), "");
  dir_.Sub("folder");
  ASSERT_EQ(mkfifo(dir_.File("pipe").c_str(), 0600), 0);
  const struct {
    std::string path;
    bool exists;
  } cases[] = {{dir_.File("empty.txt"), true}, {dir_.File("missing.txt"), false},
               {dir_.File("folder"), false},   {dir_.File("pipe"), false},
               {"/dev/null", false},           {"", false}};
  for (const auto& c : cases) {
    // A pipe without a writer would hold a blocking open for ever: bounded here.
    auto answer = std::async(std::launch::async, [&] { return base::FileExists(c.path); });
    ASSERT_EQ(answer.wait_for(std::chrono::seconds(5)), std::future_status::ready) << c.path;
    EXPECT_EQ(answer.get(), c.exists) << c.path;
  }
  auto read = std::async(std::launch::async,
                         [&] { return FailureOf([&] { base::FileToString(dir_.File("pipe")); }); });
  ASSERT_EQ(read.wait_for(std::chrono::seconds(5)), std::future_status::ready);
  EXPECT_EQ(read.get().number, forms::kErrPathFileAccess);
}

TEST_F(TextFiles, LinesJoinWithoutSeparatorFromTheCodePage) {
  const struct {
    std::string bytes;
    std::string text;
  } cases[] = {{"abc,def*\r\n", "abc,def*"},
               {"ab\r\nc,d\ne\rf*", "abc,def*"},
               {"", ""},
               {"Caf\xe9", "Caf\xc3\xa9"}};
  for (const auto& c : cases) {
    WriteBytes(dir_.File("f.txt"), c.bytes);
    EXPECT_EQ(base::FileToString(dir_.File("f.txt")), c.text);
  }
  const Failure missing = FailureOf([&] { base::FileToString(dir_.File("none.txt")); });
  EXPECT_EQ(missing.number, forms::kErrFileNotFound);
  EXPECT_EQ(missing.description, "File not found");
}

TEST_F(TextFiles, ReadIsCappedAtOneMebibyte) {
  const std::string path = dir_.File("big.txt");
  WriteBytes(path, std::string(base::kMaxReadBytes, 'x'));
  EXPECT_EQ(base::FileToString(path).size(), base::kMaxReadBytes);
  WriteBytes(path, std::string(base::kMaxReadBytes + 1, 'x'));
  const Failure big = FailureOf([&] { base::FileToString(path); });
  EXPECT_EQ(big.number, forms::kErrPathFileAccess);
  EXPECT_EQ(big.description, "File is larger than 1 MiB");
}

TEST_F(TextFiles, WriteReplacesWholeOrLeavesTheOldFile) {
  const std::string path = dir_.File("w.txt");
  WriteBytes(path, "a much longer old content");
  base::WriteTextFile(path, "Caf\xc3\xa9,1\r\n");
  EXPECT_EQ(ReadBytes(path), "Caf\xe9,1\r\n");

  // A character the code page cannot hold: refused, the old file stays, no temporary is left.
  EXPECT_EQ(FailureOf([&] { base::WriteTextFile(path, "\xe4\xb8\xad"); }).number,
            forms::kErrPathFileAccess);
  EXPECT_EQ(ReadBytes(path), "Caf\xe9,1\r\n");
  EXPECT_EQ(dir_.List(), std::vector<std::string>{"w.txt"});

  const Failure no_dir = FailureOf([&] { base::WriteTextFile(dir_.File("no/such.txt"), "x"); });
  EXPECT_EQ(no_dir.number, forms::kErrPathNotFound);
  EXPECT_EQ(no_dir.description, "Path not found");
}

}  // namespace
