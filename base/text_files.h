// The text files the program reads and writes: ANSI text on disk, UTF-8 inside.
#pragma once

#include <cstddef>
#include <string>

#include "forms/message.h"

namespace base {

// Far above any file the program reads (program files are 254 bytes, the page template a few
// kilobytes); a file beyond it is refused before it fills memory or the page.
inline constexpr std::size_t kMaxReadBytes = 1024 * 1024;
inline constexpr const char* kTooLargeDescription = "File is larger than 1 MiB";

// True only for a regular file that can be opened for reading. A named pipe or a device is
// not a file here, and the test never blocks on one.
bool FileExists(const std::string& path);

// The whole file with every line end dropped, so that its lines are joined without separator.
// Throws forms::RuntimeError: the platform's failure when it cannot be opened or read,
// kTooLargeDescription beyond kMaxReadBytes, "Path/File access error" for a file that is not
// regular or text the code page cannot decode.
std::string FileToString(const std::string& path);

// Replaces the file's whole content with `utf8` in the code page, atomically: a failed write
// leaves the old file as it was. Throws forms::RuntimeError ("Path not found" for a missing
// directory; a character the code page cannot hold is refused, never written as "?").
void WriteTextFile(const std::string& path, const std::string& utf8);

// The main window's writer: `text` and a carriage return and line feed as the whole new content
// of `path`. Reports an empty path or a failed write through `show` and then gives false.
bool WriteStringToFile(const std::string& text, const std::string& path,
                       const forms::ShowMessage& show);

}  // namespace base
