// The runtime's text rules that the windows' checks rely on: one definition for every window.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace forms {

// Removes spaces (only spaces, as the runtime's Trim) from both ends.
std::string Trim(std::string_view text);

// The pieces between separators, as the runtime's Split: an empty text has none, "a," has two.
std::vector<std::string> Split(std::string_view text, char separator = ',');

// Length in the runtime's characters, UTF-16 units, of a UTF-8 text: a character beyond the
// BMP counts two. Not the number of code points: a typing limit (Qt counts the same units)
// and the check behind it must agree, or a box could hold a text its own check refuses.
std::size_t Len(std::string_view utf8);

// The permissive numeric test: surrounding spaces, a sign, a decimal point and an exponent
// pass; empty, alphabetic, digit-grouped and out-of-range texts do not.
bool IsNumeric(std::string_view text);

// The 16-bit integer value of a text, rounded to nearest with halves to even. Throws
// RuntimeError "Type mismatch" for a text that is not numeric and "Overflow" beyond
// -32768..32767.
int IntegerValue(std::string_view text);

// Cuts a text that a message quotes to `limit` characters, ending it with "..." when cut, so
// that a hostile value cannot fill a message box. Never splits a UTF-8 sequence.
std::string Shorten(std::string_view utf8, std::size_t limit = 60);

}  // namespace forms
