// The single-instance refusal with real processes of the program.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "support/bounded_wait.h"
#include "window_test_support.h"

namespace {

class Program {
 public:
  Program(const std::string& dir, const std::string& log) {
    pid_ = fork();
    if (pid_ == 0) {
      setenv("FORMS_DIALOG_LOG", log.c_str(), 1);
      setenv("FORMS_INSTANCE_LOCK", (dir + "/instance.lock").c_str(), 1);
      setenv("XDG_CONFIG_HOME", (dir + "/config").c_str(), 1);
      setenv("QT_QPA_PLATFORM", "offscreen", 1);
      const std::string exe = testsupport::BinDir() + "/Debugger";
      execl(exe.c_str(), exe.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
  }
  ~Program() { Kill(SIGKILL); }
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  // Waits (bounded) for the process to end; its exit status, or -1 if it is still running.
  int WaitExit(int timeout_ms) {
    for (int waited = 0; waited < timeout_ms; waited += 10) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return -1;
  }
  pid_t Pid() const { return pid_; }
  bool Running() {
    int status = 0;
    return pid_ > 0 && waitpid(pid_, &status, WNOHANG) == 0;
  }
  void Kill(int sig) {
    if (pid_ <= 0) return;
    kill(pid_, sig);
    WaitExit(10000);
  }

 private:
  pid_t pid_ = -1;
};

// The log appears once the program has started; until then there is nothing to read.
bool WaitForLog(const std::string& log, const std::string& text, int timeout_ms) {
  return testsupport::WaitUntil(
      [&] {
        return std::filesystem::exists(log) &&
               testsupport::ReadBytes(log).find(text) != std::string::npos;
      },
      std::chrono::milliseconds(timeout_ms), {}, std::chrono::milliseconds(20));
}

TEST(PreviousInstance, SecondCopyIsRefusedAndAKilledCopyLeavesNoBlocker) {
  const std::string dir = testsupport::MakeTempDir("instances");
  const std::string shown = "Show\tfrm_FileCreate\n";

  Program first(dir, dir + "/first.log");
  ASSERT_TRUE(WaitForLog(dir + "/first.log", shown, 30000));

  Program second(dir, dir + "/second.log");
  EXPECT_EQ(second.WaitExit(30000), 0);
  EXPECT_EQ(testsupport::ReadBytes(dir + "/second.log"),
            "MsgBox\t64\tCorvane - Taluro Programmer\t"
            "An instance of this application is already running. G'Bye\n");
  EXPECT_TRUE(first.Running());
  EXPECT_EQ(testsupport::ReadBytes(dir + "/first.log"), shown);

  first.Kill(SIGKILL);
  Program third(dir, dir + "/third.log");
  EXPECT_TRUE(WaitForLog(dir + "/third.log", shown, 30000));
  EXPECT_EQ(testsupport::ReadBytes(dir + "/third.log"), shown);
  EXPECT_TRUE(third.Running());
}

TEST(StartUp, MainWindowAppearsWithoutLoadingTheHtmlEngine) {
  const std::string dir = testsupport::MakeTempDir("lazy-engine");
  Program program(dir, dir + "/program.log");
  ASSERT_TRUE(WaitForLog(dir + "/program.log", "Show\tfrm_FileCreate\n", 30000));
  const std::string maps =
      testsupport::ReadBytes("/proc/" + std::to_string(program.Pid()) + "/maps");
  ASSERT_NE(maps.find("libQt6Widgets"), std::string::npos);
  EXPECT_EQ(maps.find("WebEngine"), std::string::npos);
}

}  // namespace
