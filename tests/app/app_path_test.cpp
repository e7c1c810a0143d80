#include <gtest/gtest.h>

#include <cstdlib>

#include "app_path.h"
#include "settings_path.h"

namespace {

TEST(AppPath, RootStaysOthersGetOneSeparator) {
  EXPECT_EQ(app::WithTrailingSeparator("/"), "/");
  EXPECT_EQ(app::WithTrailingSeparator("/opt/corvane"), "/opt/corvane/");
  EXPECT_EQ(app::WithTrailingSeparator("/opt/corvane/"), "/opt/corvane/");
}

TEST(SettingsPath, FollowsXdgConfigHomeAndIgnoresARelativeOne) {
  setenv("XDG_CONFIG_HOME", "/srv/cfg", 1);
  EXPECT_EQ(app::DefaultSettingsFilePath(), "/srv/cfg/corvane-debugger/Debugger.ini");
  setenv("XDG_CONFIG_HOME", "relative/cfg", 1);
  setenv("HOME", "/home/tech", 1);
  EXPECT_EQ(app::DefaultSettingsFilePath(), "/home/tech/.config/corvane-debugger/Debugger.ini");
  unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(app::DefaultSettingsFilePath(), "/home/tech/.config/corvane-debugger/Debugger.ini");
}

}  // namespace
