#include "settings_path.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cstdlib>

#include "globals.h"

namespace app {
namespace {

std::string HomeDirectory() {
  if (const char* home = std::getenv("HOME"); home != nullptr && *home == '/') return home;
  if (const passwd* pw = getpwuid(getuid()); pw != nullptr && pw->pw_dir != nullptr)
    return pw->pw_dir;
  return "/tmp";
}

}  // namespace

std::string DefaultSettingsFilePath() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  // A relative XDG path is invalid and must be ignored.
  std::string base = config != nullptr && *config == '/' ? config : HomeDirectory() + "/.config";
  return base + "/corvane-debugger/Debugger.ini";
}

void InitSettingsFilePath() {
  SettingsFilePath = DefaultSettingsFilePath();
  std::string dir = SettingsFilePath.substr(0, SettingsFilePath.rfind('/'));
  std::string parent = dir.substr(0, dir.rfind('/'));
  mkdir(parent.c_str(), 0700);
  mkdir(dir.c_str(), 0700);
}

}  // namespace app
