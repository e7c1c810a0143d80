// GUID text form "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" in UTF-8, for the registry code.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "guiddef.h"

namespace ole {

std::string GuidToString(REFGUID guid);
// Exactly the braced form, hexadecimal digits in either case.
std::optional<GUID> GuidFromString(std::string_view text);

std::u16string Widen(std::string_view utf8);
std::string Narrow(std::u16string_view utf16);
size_t WideLength(const char16_t* s);

}  // namespace ole
