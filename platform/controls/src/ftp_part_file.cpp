#include "ftp_part_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace controls {

int PartFile::Open(const std::string& target) {
  target_ = target;
  size_t slash = target.rfind('/');
  std::string dir = slash == std::string::npos ? "" : target.substr(0, slash + 1);
  std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
  if (name.empty()) return EISDIR;
  temp_ = dir + "." + name + ".part-XXXXXX";
  int fd = mkostemp(temp_.data(), O_CLOEXEC);
  if (fd < 0) {
    int err = errno;
    temp_.clear();
    return err;
  }
  // mkostemp makes 0600; a downloaded file gets the mode any new file would.
  mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);
  file_ = fdopen(fd, "wb");
  if (!file_) {
    int err = errno;
    close(fd);
    return err;
  }
  return 0;
}

int PartFile::Commit() {
  int err = 0;
  if (fflush(file_) != 0) err = errno;
  if (fclose(file_) != 0 && err == 0) err = errno;
  file_ = nullptr;
  if (err == 0 && rename(temp_.c_str(), target_.c_str()) != 0) err = errno;
  if (err == 0) temp_.clear();
  return err;
}

PartFile::~PartFile() {
  if (file_) fclose(file_);
  if (!temp_.empty()) unlink(temp_.c_str());
}

}  // namespace controls
