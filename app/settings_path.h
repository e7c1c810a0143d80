#pragma once

#include <string>

namespace app {

// "$XDG_CONFIG_HOME/corvane-debugger/Debugger.ini" ("~/.config" when unset or relative).
std::string DefaultSettingsFilePath();

// Sets the settings file path for the run and makes its directory (mode 0700) so the first
// write can succeed; the writer itself never creates directories.
void InitSettingsFilePath();

}  // namespace app
