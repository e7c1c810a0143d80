#include "base/settings_file.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cstdlib>

#include "base/shared_values.h"
#include "win32/ansi_string.h"
#include "win32/profile.h"

namespace base {
namespace {

// No fallback to a shared directory such as /tmp, where another user could plant the file.
std::string HomeDirectory() {
  if (const char* home = std::getenv("HOME"); home != nullptr && *home == '/') return home;
  if (const passwd* pw = getpwuid(getuid()); pw != nullptr && pw->pw_dir != nullptr)
    return pw->pw_dir;
  return {};
}

}  // namespace

std::string DefaultSettingsFilePath() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  // A relative XDG path is invalid and must be ignored.
  std::string base;
  if (config != nullptr && *config == '/') {
    base = config;
  } else if (const std::string home = HomeDirectory(); !home.empty()) {
    base = home + "/.config";
  } else {
    return {};  // nowhere of the user's own: the writes then go nowhere
  }
  return base + "/corvane-debugger/Debugger.ini";
}

void InitSettingsFilePath() {
  std::string& path = Shared().settings_file_path;
  path = DefaultSettingsFilePath();
  if (path.empty()) return;
  const std::string dir = path.substr(0, path.rfind('/'));
  const std::string parent = dir.substr(0, dir.rfind('/'));
  mkdir(parent.c_str(), 0700);
  mkdir(dir.c_str(), 0700);
}

void WriteIniValue(const std::string& file, const std::string& section, const std::string& key,
                   const std::string& value) {
  auto ansi_file = win32::Utf8ToAnsi(file);
  auto ansi_section = win32::Utf8ToAnsi(section);
  auto ansi_key = win32::Utf8ToAnsi(key);
  auto ansi_value = win32::Utf8ToAnsi(value);
  // A value that would have to lose characters is not written at all.
  if (!ansi_file || !ansi_section || !ansi_key || !ansi_value) return;
  WritePrivateProfileStringA(ansi_section->c_str(), ansi_key->c_str(), ansi_value->c_str(),
                             ansi_file->c_str());
}

}  // namespace base
