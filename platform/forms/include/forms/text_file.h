// Text files in the system ANSI code page; UTF-8 inside the program.
#pragma once

#include <string>

namespace forms {

// Throws RuntimeError (53 file not found, 76 path not found, 70 permission denied ...).
std::string ReadAnsiTextFile(const std::string& path);

// Replaces the file atomically; a character the code page cannot hold is an error, not a '?'.
void WriteAnsiTextFile(const std::string& path, const std::string& utf8);

}  // namespace forms
