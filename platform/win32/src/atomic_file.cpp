#include "win32/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <climits>
#include <cstdlib>

namespace win32 {
namespace {

std::string Resolve(const std::string& path) {
  char buf[PATH_MAX];
  if (realpath(path.c_str(), buf) != nullptr) return buf;
  return path;
}

bool WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    ssize_t n = write(fd, data.data(), data.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

}  // namespace

FileResult ReadWholeFile(const std::string& path, std::string& contents) {
  contents.clear();
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return {errno};
  struct stat st {};
  if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    close(fd);
    return {EISDIR};
  }
  char buf[65536];
  for (;;) {
    ssize_t n = read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      int err = errno;
      close(fd);
      return {err};
    }
    if (n == 0) break;
    contents.append(buf, static_cast<std::size_t>(n));
  }
  close(fd);
  return {};
}

FileResult ReplaceFile(const std::string& path, std::string_view contents, mode_t new_mode) {
  const std::string target = Resolve(path);
  mode_t mode = new_mode;
  struct stat st {};
  if (stat(target.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) return {EISDIR};
    mode = st.st_mode & 07777;
  }
  const auto slash = target.rfind('/');
  const std::string dir = slash == std::string::npos ? "." : target.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
  std::string tmp = dir + (slash == std::string::npos ? "/." : ".") + base + ".XXXXXX";
  int fd = mkostemp(tmp.data(), O_CLOEXEC);
  if (fd < 0) return {errno};
  int err = 0;
  if (!WriteAll(fd, contents) || fchmod(fd, mode) != 0 || fsync(fd) != 0) err = errno;
  if (close(fd) != 0 && err == 0) err = errno;
  if (err == 0 && rename(tmp.c_str(), target.c_str()) != 0) err = errno;
  if (err != 0) unlink(tmp.c_str());
  return {err};
}

}  // namespace win32
