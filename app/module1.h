#pragma once

#include <string>

namespace app::Module1 {

// Writes one value into one section of an INI file (names in UTF-8, stored in the ANSI code
// page). Every failure is ignored: a text the code page cannot hold, a missing directory, a
// file that cannot be written. The caller goes on as if it had succeeded.
void WriteIniValue(const std::string& file, const std::string& section, const std::string& key,
                   const std::string& value);

}  // namespace app::Module1
