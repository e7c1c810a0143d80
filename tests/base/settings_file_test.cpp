#include <gtest/gtest.h>

#include <sys/stat.h>
#include <cstdlib>
#include <filesystem>

#include "base/settings_file.h"
#include "base/shared_values.h"
#include "support/file_bytes.h"
#include "support/scratch_dir.h"

namespace fs = std::filesystem;
using base::WriteIniValue;

namespace {

class WriteIni : public ::testing::Test {
 protected:
  std::string Read() const { return fs::exists(file_) ? testsupport::ReadBytes(file_) : ""; }
  void Login(const std::string& user, const std::string& password, const std::string& address) {
    WriteIniValue(file_, "Startup", "UserName", user);
    WriteIniValue(file_, "Startup", "Password", password);
    WriteIniValue(file_, "Startup", "IPAddress", address);
  }
  testsupport::ScratchDir dir_{"ini-test"};
  std::string file_ = dir_.File("Debugger.ini");
};

TEST_F(WriteIni, FirstWritesCreateThePrivateFileKeyByKey) {
  WriteIniValue(file_, "Startup", "UserName", "meter");
  EXPECT_EQ(Read(), "[Startup]\r\nUserName=meter\r\n");
  WriteIniValue(file_, "Startup", "Password", "s3cret");
  WriteIniValue(file_, "Startup", "IPAddress", "127.0.0.1");
  EXPECT_EQ(Read(), "[Startup]\r\nUserName=meter\r\nPassword=s3cret\r\nIPAddress=127.0.0.1\r\n");
  struct stat st {};
  ASSERT_EQ(stat(file_.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(WriteIni, SecondLoginReplacesValuesAndEmptyValueIsKept) {
  Login("a", "b", "c");
  Login("tech", "", "10.1.1.1");
  EXPECT_EQ(Read(), "[Startup]\r\nUserName=tech\r\nPassword=\r\nIPAddress=10.1.1.1\r\n");
}

TEST_F(WriteIni, OtherSectionsAndKeysSurvive) {
  testsupport::WriteBytes(file_,
                          "[Window]\r\nLeft=10\r\n[Startup]\r\nTheme=dark\r\nUserName=x\r\n");
  Login("u", "p", "h");
  EXPECT_EQ(Read(),
            "[Window]\r\nLeft=10\r\n[Startup]\r\nTheme=dark\r\nUserName=u\r\nPassword="
            "p\r\nIPAddress=h\r\n");
}

TEST_F(WriteIni, NonAsciiValueIsStoredInTheCodePage) {
  WriteIniValue(file_, "Startup", "UserName", "Jos\xc3\xa9 \xe2\x82\xac");
  EXPECT_EQ(Read(), "[Startup]\r\nUserName=Jos\xe9 \x80\r\n");
}

TEST_F(WriteIni, ValueTheCodePageCannotHoldIsNotWrittenAsQuestionMarks) {
  WriteIniValue(file_, "Startup", "UserName", "old");
  WriteIniValue(file_, "Startup", "UserName", "\xe4\xb8\xad");
  EXPECT_EQ(Read(), "[Startup]\r\nUserName=old\r\n");
}

TEST_F(WriteIni, MissingDirectoryChangesNothingAndReturns) {
  const std::string missing = dir_.File("gone/Debugger.ini");
  WriteIniValue(missing, "Startup", "UserName", "u");
  WriteIniValue(missing, "Startup", "Password", "p");
  WriteIniValue(missing, "Startup", "IPAddress", "h");
  EXPECT_FALSE(fs::exists(dir_.File("gone")));
  EXPECT_TRUE(fs::is_empty(dir_.path()));
}

}  // namespace

namespace {

TEST(SettingsPath, FollowsXdgConfigHomeAndIgnoresARelativeOne) {
  setenv("XDG_CONFIG_HOME", "/srv/cfg", 1);
  EXPECT_EQ(base::DefaultSettingsFilePath(), "/srv/cfg/corvane-debugger/Debugger.ini");
  setenv("XDG_CONFIG_HOME", "relative/cfg", 1);
  setenv("HOME", "/home/tech", 1);
  EXPECT_EQ(base::DefaultSettingsFilePath(), "/home/tech/.config/corvane-debugger/Debugger.ini");
  unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(base::DefaultSettingsFilePath(), "/home/tech/.config/corvane-debugger/Debugger.ini");
}

TEST(SettingsPath, TheRunsPathIsSetOnceWithAPrivateDirectory) {
  testsupport::ScratchDir dir("settings-path");
  setenv("XDG_CONFIG_HOME", dir.path().c_str(), 1);
  base::Shared().settings_file_path.clear();
  base::InitSettingsFilePath();
  EXPECT_EQ(base::Shared().settings_file_path, dir.File("corvane-debugger/Debugger.ini"));
  struct stat st {};
  ASSERT_EQ(stat(dir.File("corvane-debugger").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  unsetenv("XDG_CONFIG_HOME");
}

}  // namespace
