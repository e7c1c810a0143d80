// The FTP client window's rules that can go wrong on their own: directory rows, the history
// list, the local listing's attribute rule and the progress arithmetic.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <climits>

#include "forms/runtime_error.h"
#include "ftp/ftp_client_logic.h"
#include "support/file_bytes.h"
#include "support/scratch_dir.h"

namespace {

using ftp::PaneRow;

TEST(FtpClientRules, DirectoryRowsLoseTheirMarkAndFilesStayAsTheyAre) {
  const struct {
    const char* row;
    bool dir;
    const char* left;
  } cases[] = {
      {"<Dir> sub", true, "sub"},
      {"<Dir> ..", true, ".."},
      {"<Dir> <Dir> x", true, "<Dir> x"},
      {"<Dir>", true, ""},
      {"<Dir>x", true, ""},
      {"<dir> sub", false, "<dir> sub"},
      {" <Dir> sub", false, " <Dir> sub"},
      {"firmware.bin", false, "firmware.bin"},
      {"", false, ""},
  };
  for (const auto& c : cases) {
    std::string entry = c.row;
    EXPECT_EQ(ftp::fnc_IsDirEntry(entry), c.dir) << c.row;
    EXPECT_EQ(entry, c.left) << c.row;
  }
  EXPECT_EQ(ftp::DirRow(".."), "<Dir> ..");
}

TEST(FtpClientRules, ProgressNeverDividesByZeroNorOverflows) {
  const struct {
    int container;
    int64_t bytes, size;
    int width;
  } cases[] = {
      {400, 0, 100, 0},
      {400, 50, 100, 200},
      {400, 100, 100, 400},
      {400, 150, 100, 400},              // more than the listing said
      {400, 0, 0, 400},                  // an empty file is done at once
      {400, 4096, 0, 400},               // no size known
      {400, INT32_MAX, INT32_MAX, 400},  // the product passes 32 bits
      {400, 1 << 30, INT32_MAX, 200},
      {400, -5, 100, 0},
      {0, 50, 100, 0},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ftp::ProgressWidth(c.container, c.bytes, c.size), c.width)
        << c.container << " " << c.bytes << "/" << c.size;
}

TEST(FtpClientRules, LocalListingShowsPlainDirectoriesThenNormalFiles) {
  testsupport::ScratchDir scratch("ftp-local");
  const std::string dir = scratch.Sub("here");
  scratch.Sub("here/b_sub");
  scratch.Sub("here/a_sub");
  scratch.Sub("here/.hidden_dir");
  const std::string ro_dir = scratch.Sub("here/readonly_dir");
  testsupport::WriteBytes(dir + "/z.txt", "abc");
  testsupport::WriteBytes(dir + "/empty.bin", "");
  testsupport::WriteBytes(dir + "/.profile", "hidden");
  testsupport::WriteBytes(dir + "/locked.txt", "12345");
  ASSERT_EQ(chmod(ro_dir.c_str(), 0555), 0);
  ASSERT_EQ(chmod((dir + "/locked.txt").c_str(), 0444), 0);
  ASSERT_EQ(mkfifo((dir + "/pipe").c_str(), 0600), 0);
  ASSERT_EQ(symlink("z.txt", (dir + "/link.txt").c_str()), 0);
  ASSERT_EQ(symlink("missing", (dir + "/dangling").c_str()), 0);

  EXPECT_EQ(ftp::ListLocalDirectory(dir), (std::vector<PaneRow>{{"<Dir> ..", 0},
                                                                {"<Dir> a_sub", 0},
                                                                {"<Dir> b_sub", 0},
                                                                {"empty.bin", 0},
                                                                {"link.txt", 3},
                                                                {"locked.txt", 5},
                                                                {"z.txt", 3}}));
  chmod(ro_dir.c_str(), 0755);

  try {
    ftp::ListLocalDirectory(dir + "/none");
    ADD_FAILURE() << "listed a missing directory";
  } catch (const forms::RuntimeError& e) {
    EXPECT_EQ(e.Number(), 76);
    EXPECT_EQ(e.Description(), "Path not found");
  }
}

}  // namespace
