// Whole-file text helpers shared by the program and network setup files: files are ANSI text
// on disk and UTF-8 inside.
#pragma once

#include <optional>
#include <string>

#include "program/message.h"

namespace program {

// True when `path` names a file that can be opened for reading (a directory cannot).
bool FileExists(const std::string& path);

// The file's text with every line end dropped, so its lines are joined without separator.
// nullopt when it cannot be read or decoded; `error` then holds the errno (EILSEQ: decoding).
std::optional<std::string> FileToString(const std::string& path, int* error = nullptr);

// Writes `text` and a carriage return and line feed as the whole new content of `path`,
// replacing it atomically: a failed write leaves the old file as it was. Reports an empty path
// or a failure through `show` and then returns false.
bool WriteStringToFile(const std::string& text, const std::string& path, const ShowMessage& show);

}  // namespace program
