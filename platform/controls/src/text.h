// Text crossing a control's edge: bytes on the wire are in the ANSI code page, text inside is
// UTF-8.
#pragma once

#include <string>

namespace controls {

std::string AnsiToUtf8(const std::string& ansi);
// Throws forms::RuntimeError 40014 for a character the code page cannot hold: never sent altered.
std::string Utf8ToAnsi(const std::string& utf8);

}  // namespace controls
