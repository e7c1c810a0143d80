// Whole-line text files in the workstation's ANSI code page.
#pragma once

#include <string>

namespace network {

// Writes `text` (UTF-8) and CR LF, converted to the ANSI code page, replacing the file
// atomically: a failed write leaves the old file as it was. Throws RuntimeError.
void WriteStringToFile(const std::string& text, const std::string& path);

// The file's lines joined in order with their line ends (CR LF, CR or LF) dropped, as UTF-8.
// Throws RuntimeError.
std::string FileToString(const std::string& path);

}  // namespace network
