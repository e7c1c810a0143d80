#include <gtest/gtest.h>

#include <unistd.h>
#include <climits>
#include <filesystem>

#include "base/app_paths.h"
#include "support/scratch_dir.h"

namespace {

std::string CurrentDir() {
  char buf[PATH_MAX];
  return getcwd(buf, sizeof buf) != nullptr ? buf : "";
}

TEST(AppPaths, RootStaysOthersGetOneSeparator) {
  EXPECT_EQ(base::WithTrailingSeparator("/"), "/");
  EXPECT_EQ(base::WithTrailingSeparator("/opt/corvane"), "/opt/corvane/");
  EXPECT_EQ(base::WithTrailingSeparator("/opt/corvane/"), "/opt/corvane/");
  EXPECT_EQ(base::ProgramFilesPath("/opt/c/", "setup_1.txt"), "/opt/c/Program_Files/setup_1.txt");
  EXPECT_EQ(base::TemplatesPath("/", "Rx_Pgm.htm"), "/Templates/Rx_Pgm.htm");
}

TEST(AppPaths, ReadDialogsStartInProgramFilesOrSayWhyNot) {
  testsupport::ScratchDir dir("app-paths");
  const std::string before = CurrentDir();
  EXPECT_EQ(base::EnterProgramFiles(dir.path()), "No such file or directory");
  EXPECT_EQ(CurrentDir(), before);
  dir.Sub("Program_Files");
  EXPECT_EQ(base::EnterProgramFiles(dir.path()), std::nullopt);
  EXPECT_EQ(CurrentDir(), std::filesystem::canonical(dir.File("Program_Files")).string());
  ASSERT_EQ(chdir(before.c_str()), 0);
}

}  // namespace
