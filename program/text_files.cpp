#include "program/text_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>

#include "win32/ansi_string.h"
#include "win32/atomic_file.h"

namespace program {

bool FileExists(const std::string& path) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  const bool file = fstat(fd, &st) == 0 && !S_ISDIR(st.st_mode);
  close(fd);
  return file;
}

std::optional<std::string> FileToString(const std::string& path, int* error) {
  std::string bytes;
  if (auto r = win32::ReadWholeFile(path, bytes); !r) {
    if (error != nullptr) *error = r.error;
    return std::nullopt;
  }
  // A line ends at a carriage return, a line feed or both; the lines are joined as they are.
  std::erase_if(bytes, [](char c) { return c == '\r' || c == '\n'; });
  auto text = win32::AnsiToUtf8(bytes);
  if (!text && error != nullptr) *error = EILSEQ;
  return text;
}

bool WriteStringToFile(const std::string& text, const std::string& path, const ShowMessage& show) {
  if (path.empty()) {
    show({"Invalid file name...exiting", kOKOnly, ""});
    return false;
  }
  auto ansi = win32::Utf8ToAnsi(text);
  if (!ansi || !win32::ReplaceFile(path, *ansi + "\r\n")) {
    show(ErrorBox("Error in writing file. Please Check and try again...", kTitleProgrammer));
    return false;
  }
  return true;
}

}  // namespace program
