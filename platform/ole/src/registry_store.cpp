#include "registry_store.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>

#include "win32/atomic_file.h"
#include "winreg.h"

namespace ole::reg {
namespace {

bool MakeDirectories(const std::string& file) {
  size_t slash = file.rfind('/');
  if (slash == std::string::npos || slash == 0) return true;
  std::string dir = file.substr(0, slash);
  for (size_t pos = 1; pos <= dir.size(); ++pos) {
    if (pos == dir.size() || dir[pos] == '/') {
      std::string part = dir.substr(0, pos);
      if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
    }
  }
  return true;
}

// The rest of the file at `fd`; a file beyond the size limit is not a registry we wrote,
// and is refused before it is read whole.
LONG ReadText(int fd, std::string& text) {
  char buf[65536];
  for (;;) {
    ssize_t n = read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return ERROR_CANTREAD;
    if (n == 0) return ERROR_SUCCESS;
    if (text.size() + static_cast<size_t>(n) > kMaxFileSize) return ERROR_BADDB;
    text.append(buf, static_cast<size_t>(n));
  }
}

// Opens the registry file for reading: ERROR_FILE_NOT_FOUND when there is none yet.
LONG Open(const std::string& path, int& fd, struct stat& st) {
  fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT ? ERROR_FILE_NOT_FOUND : ERROR_CANTREAD;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return ERROR_CANTREAD;
  }
  if (static_cast<unsigned long long>(st.st_size) > kMaxFileSize) {
    close(fd);
    return ERROR_BADDB;
  }
  return ERROR_SUCCESS;
}

LONG Load(const std::string& path, Tree& tree) {
  int fd = -1;
  struct stat st {};
  LONG rc = Open(path, fd, st);
  if (rc == ERROR_FILE_NOT_FOUND) {
    tree = Tree{};
    return ERROR_SUCCESS;
  }
  if (rc != ERROR_SUCCESS) return rc;
  std::string text;
  rc = ReadText(fd, text);
  close(fd);
  if (rc != ERROR_SUCCESS) return rc;
  std::optional<Tree> parsed = Parse(text);
  if (!parsed) return ERROR_BADDB;
  tree = std::move(*parsed);
  return ERROR_SUCCESS;
}

struct Version {
  dev_t dev = 0;
  ino_t ino = 0;
  off_t size = 0;
  timespec mtime{}, ctime{};
  bool operator==(const Version& o) const {
    return dev == o.dev && ino == o.ino && size == o.size && mtime.tv_sec == o.mtime.tv_sec &&
           mtime.tv_nsec == o.mtime.tv_nsec && ctime.tv_sec == o.ctime.tv_sec &&
           ctime.tv_nsec == o.ctime.tv_nsec;
  }
};

struct Cache {
  std::mutex mu;
  std::string path;
  Version version;
  std::shared_ptr<const Tree> tree;
};
Cache& TheCache() {
  static Cache cache;
  return cache;
}

// The version and the text come from one open descriptor, so they belong together.
LONG Snapshot(const std::string& path, std::shared_ptr<const Tree>& out) {
  int fd = -1;
  struct stat st {};
  LONG rc = Open(path, fd, st);
  if (rc == ERROR_FILE_NOT_FOUND) {
    static const auto empty = std::make_shared<const Tree>();
    out = empty;
    return ERROR_SUCCESS;
  }
  if (rc != ERROR_SUCCESS) return rc;
  const Version version{st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim};
  Cache& cache = TheCache();
  {
    std::lock_guard lock(cache.mu);
    if (cache.tree && cache.path == path && cache.version == version) {
      close(fd);
      out = cache.tree;
      return ERROR_SUCCESS;
    }
  }
  std::string text;
  rc = ReadText(fd, text);
  close(fd);
  if (rc != ERROR_SUCCESS) return rc;
  std::optional<Tree> parsed = Parse(text);
  if (!parsed) return ERROR_BADDB;
  out = std::make_shared<const Tree>(std::move(*parsed));
  std::lock_guard lock(cache.mu);
  cache.path = path;
  cache.version = version;
  cache.tree = out;
  return ERROR_SUCCESS;
}

class FileLock {
 public:
  explicit FileLock(const std::string& path) {
    fd_ = open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ < 0) return;
    int rc;
    do {
      rc = flock(fd_, LOCK_EX);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
      close(fd_);
      fd_ = -1;
    }
  }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  ~FileLock() {
    if (fd_ >= 0) close(fd_);  // closing the descriptor releases the lock
  }
  bool held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

}  // namespace

std::string RegistryPath() {
  if (const char* p = std::getenv("OLE_REGISTRY"); p && *p) return p;
  std::string base;
  if (const char* x = std::getenv("XDG_DATA_HOME"); x && x[0] == '/') {
    base = x;
  } else if (const char* home = std::getenv("HOME"); home && home[0] == '/') {
    base = std::string(home) + "/.local/share";
  } else {
    // Never a shared directory such as /tmp: another user could plant servers there.
    return {};
  }
  return base + "/corvane-debugger/registry.txt";
}

namespace {

// The registry file, or ERROR_PATH_NOT_FOUND after saying once why there is none.
LONG Locate(std::string& path) {
  path = RegistryPath();
  if (!path.empty()) return ERROR_SUCCESS;
  static std::once_flag said;
  std::call_once(said, [] {
    std::fputs(
        "The object runtime has no registry file: HOME is not an absolute directory. Set HOME, "
        "XDG_DATA_HOME or OLE_REGISTRY.\n",
        stderr);
  });
  return ERROR_PATH_NOT_FOUND;
}

}  // namespace

LONG Read(const std::function<LONG(const Tree&)>& fn) {
  std::string path;
  LONG rc = Locate(path);
  if (rc != ERROR_SUCCESS) return rc;
  std::shared_ptr<const Tree> tree;
  rc = Snapshot(path, tree);
  if (rc != ERROR_SUCCESS) return rc;
  return fn(*tree);
}

LONG Update(const std::function<LONG(Tree&, bool&)>& fn) {
  std::string path;
  if (LONG rc = Locate(path); rc != ERROR_SUCCESS) return rc;
  if (!MakeDirectories(path)) return ERROR_CANTWRITE;
  FileLock lock(path);
  if (!lock.held()) return ERROR_CANTOPEN;
  Tree tree;
  LONG rc = Load(path, tree);
  if (rc != ERROR_SUCCESS) return rc;
  bool changed = false;
  rc = fn(tree, changed);
  if (rc != ERROR_SUCCESS || !changed) return rc;
  const std::string text = Serialize(tree);
  // A file the next read would refuse is never written.
  if (text.size() > kMaxFileSize) return ERROR_REGISTRY_QUOTA_LIMIT;
  if (!win32::ReplaceFile(path, text, 0644)) return ERROR_CANTWRITE;
  return ERROR_SUCCESS;
}

}  // namespace ole::reg
