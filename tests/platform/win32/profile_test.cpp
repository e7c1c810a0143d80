#include <gtest/gtest.h>

#include <sys/stat.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "windows.h"

namespace fs = std::filesystem;

namespace {

class Profile : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/profile-test-XXXXXX";
    dir_ = mkdtemp(tmpl);
    file_ = dir_ + "/Debugger.ini";
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Read() const {
    std::ifstream in(file_, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  void Write(const std::string& s) const { std::ofstream(file_, std::ios::binary) << s; }
  BOOL Set(const char* section, const char* key, const char* value) const {
    return WritePrivateProfileStringA(section, key, value, file_.c_str());
  }

  std::string dir_;
  std::string file_;
};

TEST_F(Profile, CreatesFileSectionAndKeysInOrder) {
  ASSERT_TRUE(Set("Startup", "UserName", "tech"));
  EXPECT_EQ(Read(), "[Startup]\r\nUserName=tech\r\n");
  ASSERT_TRUE(Set("Startup", "Password", "pw"));
  ASSERT_TRUE(Set("Startup", "IPAddress", ""));
  EXPECT_EQ(Read(), "[Startup]\r\nUserName=tech\r\nPassword=pw\r\nIPAddress=\r\n");
}

TEST_F(Profile, NewFileIsPrivateAndExistingModeIsKept) {
  ASSERT_TRUE(Set("Startup", "Password", "secret"));
  struct stat st {};
  ASSERT_EQ(stat(file_.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  chmod(file_.c_str(), 0640);
  ASSERT_TRUE(Set("Startup", "Password", "other"));
  ASSERT_EQ(stat(file_.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST_F(Profile, ReplacesKeyAndKeepsEveryOtherLine) {
  Write(
      "; comment\n[Other]\nUserName=keep\n\n[startup]\r\nuser name=x\r\nUSERNAME = "
      "old\r\nZ=1\r\n\r\n[Last]\nA=b");
  ASSERT_TRUE(Set("Startup", "UserName", "new"));
  EXPECT_EQ(Read(),
            "; comment\n[Other]\nUserName=keep\n\n[startup]\r\nuser "
            "name=x\r\nUserName=new\r\nZ=1\r\n\r\n[Last]\nA=b");
  ASSERT_TRUE(Set("Startup", "Password", "p"));
  EXPECT_EQ(Read(),
            "; comment\n[Other]\nUserName=keep\n\n[startup]\r\nuser "
            "name=x\r\nUserName=new\r\nZ=1\r\nPassword=p\r\n\r\n[Last]\nA=b");
  ASSERT_TRUE(Set("Missing", "K", "v"));
  EXPECT_TRUE(Read().ends_with("[Last]\nA=b\r\n[Missing]\r\nK=v\r\n")) << Read();
}

TEST_F(Profile, DeletesKeyOrSection) {
  Write("[A]\r\nx=1\r\ny=2\r\n[B]\r\nz=3\r\n");
  ASSERT_TRUE(Set("A", "x", nullptr));
  EXPECT_EQ(Read(), "[A]\r\ny=2\r\n[B]\r\nz=3\r\n");
  ASSERT_TRUE(Set("A", nullptr, nullptr));
  EXPECT_EQ(Read(), "[B]\r\nz=3\r\n");
}

TEST_F(Profile, MissingDirectoryFailsAndCreatesNothing) {
  const std::string nested = dir_ + "/absent/Debugger.ini";
  EXPECT_FALSE(WritePrivateProfileStringA("Startup", "UserName", "x", nested.c_str()));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  EXPECT_FALSE(fs::exists(dir_ + "/absent"));
}

TEST_F(Profile, FailedWriteLeavesOldFileAndNoLeftovers) {
  Write("[Startup]\r\nUserName=old\r\n");
  chmod(dir_.c_str(), 0500);
  const bool root = geteuid() == 0;
  BOOL ok = Set("Startup", "UserName", "new");
  chmod(dir_.c_str(), 0700);
  if (!root) {
    EXPECT_FALSE(ok);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(Read(), "[Startup]\r\nUserName=old\r\n");
  }
  int entries = 0;
  for ([[maybe_unused]] auto& e : fs::directory_iterator(dir_)) ++entries;
  EXPECT_EQ(entries, 1);
}

TEST_F(Profile, TargetThatIsADirectoryIsRefused) {
  fs::create_directory(file_);
  EXPECT_FALSE(Set("Startup", "UserName", "x"));
  EXPECT_TRUE(fs::is_directory(file_));
}

}  // namespace
