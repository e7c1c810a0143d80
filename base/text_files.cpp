#include "base/text_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>

#include "base/titles.h"
#include "forms/runtime_error.h"
#include "win32/ansi_string.h"
#include "win32/atomic_file.h"

namespace base {
namespace {

// Non-blocking, so that a named pipe without a writer cannot hang the caller.
int OpenForReading(const std::string& path) {
  return open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
}

class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

bool IsRegular(int fd) {
  struct stat st {};
  return fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
}

forms::RuntimeError AccessError() {
  return {forms::kErrPathFileAccess, "Path/File access error"};
}

}  // namespace

bool FileExists(const std::string& path) {
  if (path.empty()) return false;
  const Fd fd(OpenForReading(path));
  return fd.get() >= 0 && IsRegular(fd.get());
}

std::string FileToString(const std::string& path) {
  const Fd fd(OpenForReading(path));
  if (fd.get() < 0) throw forms::ErrorFromErrno(errno);
  if (!IsRegular(fd.get())) throw AccessError();
  std::string bytes;
  char buf[65536];
  for (;;) {
    const ssize_t n = read(fd.get(), buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw forms::ErrorFromErrno(errno);
    if (n == 0) break;
    bytes.append(buf, static_cast<std::size_t>(n));
    // Stops at the first byte past the cap: a growing or endless file is never read whole.
    if (bytes.size() > kMaxReadBytes) {
      throw forms::RuntimeError(forms::kErrPathFileAccess, kTooLargeDescription);
    }
  }
  // A line ends at a carriage return, a line feed or both; the lines are joined as they are.
  std::erase_if(bytes, [](char c) { return c == '\r' || c == '\n'; });
  auto text = win32::AnsiToUtf8(bytes);
  if (!text) throw AccessError();
  return *text;
}

void WriteTextFile(const std::string& path, const std::string& utf8) {
  const auto bytes = win32::Utf8ToAnsi(utf8);
  if (!bytes) throw AccessError();
  // A missing directory is "path not found", as the platform reports it for a write.
  if (auto r = win32::ReplaceFile(path, *bytes); !r) {
    throw r.error == ENOENT ? forms::RuntimeError(forms::kErrPathNotFound, "Path not found")
                            : forms::ErrorFromErrno(r.error);
  }
}

bool WriteStringToFile(const std::string& text, const std::string& path,
                       const forms::ShowMessage& show) {
  if (path.empty()) {
    show({"Invalid file name...exiting", forms::vbOKOnly, ""});
    return false;
  }
  try {
    WriteTextFile(path, text + "\r\n");
  } catch (const std::exception&) {
    show({"Error in writing file. Please Check and try again...", forms::vbCritical,
          kTitleProgrammer});
    return false;
  }
  return true;
}

}  // namespace base
