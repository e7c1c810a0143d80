// Code page engines behind MultiByteToWideChar/WideCharToMultiByte.
#pragma once

#include <string>
#include <string_view>

namespace win32::nls {

// One decoding or encoding step failed; `Replaced` means a default character stands in.
enum class Outcome { Ok, Replaced, Invalid, Unsupported };

Outcome DecodeUtf8(std::string_view in, std::u16string& out);
Outcome EncodeUtf8(std::u16string_view in, std::string& out, bool strict);

// One character per byte, every byte defined: straight into a buffer of in.size() characters.
void Decode1252Into(std::string_view in, char16_t* out);
// Characters outside the code page become `fallback` (no best-fit mapping).
Outcome Encode1252(std::u16string_view in, std::string& out, char fallback);

// Any other code page, through iconv ("CP<n>").
Outcome DecodeIconv(unsigned codepage, std::string_view in, std::u16string& out);
Outcome EncodeIconv(unsigned codepage, std::u16string_view in, std::string& out,
                    std::string_view fallback);

bool IsSupported(unsigned codepage);

}  // namespace win32::nls
