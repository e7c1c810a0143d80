// The settings file: where it lives and the one writer of its values.
#pragma once

#include <string>

namespace base {

// "$XDG_CONFIG_HOME/corvane-debugger/Debugger.ini" ("~/.config" when unset or relative);
// empty when the user has no home directory.
std::string DefaultSettingsFilePath();

// Sets the run's settings file path and makes its directory (mode 0700) so that the first
// write can succeed; the writer itself never creates directories.
void InitSettingsFilePath();

// Writes one value into one section of an INI file (names in UTF-8, stored in the ANSI code
// page). Every failure is ignored: a text the code page cannot hold, a missing directory, a
// file that cannot be written. The caller goes on as if it had succeeded.
void WriteIniValue(const std::string& file, const std::string& section, const std::string& key,
                   const std::string& value);

}  // namespace base
