// A file's exact bytes, for tests that compare files byte for byte. Both throw
// std::runtime_error when the file cannot be opened or written, so a test never compares
// against an empty text by accident.
#pragma once

#include <string>

namespace testsupport {

std::string ReadBytes(const std::string& path);
// Replaces the file's whole content.
void WriteBytes(const std::string& path, const std::string& bytes);

}  // namespace testsupport
