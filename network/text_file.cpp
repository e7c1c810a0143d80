#include "network/text_file.h"

#include <cerrno>

#include "network/runtime_error.h"
#include "win32/ansi_string.h"
#include "win32/atomic_file.h"

namespace network {
namespace {

// The runtime's file failures for the host's error numbers.
RuntimeError FileError(int err) {
  switch (err) {
    case ENOENT:
      return {kErrPathNotFound, "Path not found"};
    case EACCES:
    case EPERM:
      return {kErrPermissionDenied, "Permission denied"};
    case ENOSPC:
    case EDQUOT:
      return {kErrDiskFull, "Disk full"};
    default:
      return {kErrPathFileAccess, "Path/File access error"};
  }
}

}  // namespace

void WriteStringToFile(const std::string& text, const std::string& path) {
  const auto ansi = win32::Utf8ToAnsi(text + "\r\n");
  if (!ansi) throw RuntimeError(kErrInvalidFileFormat, "Invalid file format");
  if (auto r = win32::ReplaceFile(path, *ansi); !r) throw FileError(r.error);
}

std::string FileToString(const std::string& path) {
  std::string bytes;
  if (auto r = win32::ReadWholeFile(path, bytes); !r) {
    if (r.error == ENOENT) throw RuntimeError(kErrFileNotFound, "File not found");
    throw FileError(r.error);
  }
  const auto text = win32::AnsiToUtf8(bytes);
  if (!text) throw RuntimeError(kErrInvalidFileFormat, "Invalid file format");
  std::string joined;
  joined.reserve(text->size());
  for (const char c : *text) {
    if (c != '\r' && c != '\n') joined += c;
  }
  return joined;
}

}  // namespace network
