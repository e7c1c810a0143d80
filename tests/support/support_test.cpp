// The helpers other tests lean on: a wait that gives up, a scratch directory that goes away,
// bytes that come back exactly.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <stdexcept>

#include "support/bounded_wait.h"
#include "support/file_bytes.h"
#include "support/scratch_dir.h"

namespace fs = std::filesystem;
using std::chrono::milliseconds;
using testsupport::ScratchDir;

TEST(BoundedWait, EndsWhenThePumpMakesItHappenOrAtTheLimit) {
  int pumped = 0;
  EXPECT_TRUE(testsupport::WaitUntil([&] { return pumped >= 3; }, milliseconds(2000),
                                     [&] { ++pumped; }));
  EXPECT_EQ(pumped, 3);

  pumped = 0;
  EXPECT_TRUE(testsupport::WaitUntil([] { return true; }, milliseconds(2000), [&] { ++pumped; }));
  EXPECT_EQ(pumped, 0);

  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(testsupport::WaitUntil([] { return false; }, milliseconds(100), [&] { ++pumped; }));
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_GE(took, milliseconds(100));
  EXPECT_LT(took, milliseconds(1500));
  EXPECT_GT(pumped, 0);

  pumped = 0;
  testsupport::PumpFor(milliseconds(30), [&] { ++pumped; });
  EXPECT_GT(pumped, 0);
}

TEST(ScratchDir, HoldsFilesUntilItGoesThenLeavesNothing) {
  std::string root;
  {
    ScratchDir dir("support-self");
    root = dir.path();
    ASSERT_TRUE(fs::is_directory(root));
    EXPECT_NE(ScratchDir("support-self").path(), root);
    testsupport::WriteBytes(dir.File("b"), "");
    testsupport::WriteBytes(dir.File(".hidden"), "");
    const std::string sub = dir.Sub("a/deep");
    testsupport::WriteBytes(sub + "/x", "x");
    EXPECT_EQ(dir.List(), (std::vector<std::string>{".hidden", "a", "b"}));
    EXPECT_EQ(dir.List("a/deep"), std::vector<std::string>{"x"});
    dir.Sub("a/deep");  // made again: empty
    EXPECT_TRUE(dir.List("a/deep").empty());
  }
  EXPECT_FALSE(fs::exists(root));
}

TEST(FileBytes, ComeBackExactlyAndRefuseLoudly) {
  ScratchDir dir("support-self");
  const std::string path = dir.File("f");
  const struct {
    std::string bytes;
  } cases[] = {{std::string("a\0b", 3)}, {"line\r\nnext\r"}, {"\xff\xfe\x80"}, {""}};
  testsupport::WriteBytes(path, "a much longer earlier content");
  for (const auto& c : cases) {
    testsupport::WriteBytes(path, c.bytes);
    EXPECT_EQ(testsupport::ReadBytes(path), c.bytes);
  }
  EXPECT_THROW(testsupport::ReadBytes(dir.File("missing")), std::runtime_error);
  EXPECT_THROW(testsupport::WriteBytes(dir.File("no/such/dir"), "x"), std::runtime_error);
}
