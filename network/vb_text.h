// Text and number rules of the script runtime that the window's checks rely on.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace network {

// Removes spaces (only spaces, as the runtime's Trim) from both ends.
std::string Trim(std::string_view text);

// Length in the runtime's characters (UTF-16 units) of a UTF-8 text; typing limits, the
// threshold's "4 characters" and the serial's 16 count these.
std::size_t CharLength(std::string_view utf8);

// The permissive numeric test: surrounding spaces, a sign, a decimal point and an exponent
// pass; empty, alphabetic, digit-grouped and out-of-range texts do not.
bool IsNumeric(std::string_view text);

// The 16-bit integer value of a text, rounded to nearest with halves to even. Throws
// RuntimeError "Type mismatch" for a text that is not numeric and "Overflow" beyond
// -32768..32767.
int IntegerValue(std::string_view text);

}  // namespace network
