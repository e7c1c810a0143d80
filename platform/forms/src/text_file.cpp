#include "forms/text_file.h"

#include <cerrno>

#include "forms/runtime_error.h"
#include "win32/ansi_string.h"
#include "win32/atomic_file.h"

namespace forms {

std::string ReadAnsiTextFile(const std::string& path) {
  std::string bytes;
  if (auto r = win32::ReadWholeFile(path, bytes); !r) throw ErrorFromErrno(r.error);
  auto text = win32::AnsiToUtf8(bytes);
  if (!text) throw RuntimeError(kErrPathFileAccess, "Path/File access error");
  return *text;
}

void WriteAnsiTextFile(const std::string& path, const std::string& utf8) {
  auto bytes = win32::Utf8ToAnsi(utf8);
  if (!bytes) throw RuntimeError(kErrPathFileAccess, "Path/File access error");
  // A missing directory is "path not found", as the platform reports it for a write.
  if (auto r = win32::ReplaceFile(path, *bytes); !r)
    throw r.error == ENOENT ? RuntimeError(kErrPathNotFound, "Path not found")
                            : ErrorFromErrno(r.error);
}

}  // namespace forms
