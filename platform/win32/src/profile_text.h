// Edits of INI text, byte-based: every line not touched is kept as it was.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace win32::profile {

// Sets `key` in `section` (adding either as needed); a missing value deletes the key,
// a missing key deletes the whole section. Names match without regard to ASCII case.
std::string Apply(std::string_view text, std::string_view section,
                  std::optional<std::string_view> key, std::optional<std::string_view> value);

}  // namespace win32::profile
