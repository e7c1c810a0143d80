// A fresh directory under the system's temporary directory, removed with everything in it when
// the object goes.
#pragma once

#include <string>
#include <vector>

namespace testsupport {

class ScratchDir {
 public:
  explicit ScratchDir(const std::string& prefix = "test");
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  // Without a trailing separator.
  const std::string& path() const { return path_; }
  // path() + "/" + name; nothing is created.
  std::string File(const std::string& name) const;
  // Creates path() + "/" + name (and its parents), emptied if it was there; gives its path.
  std::string Sub(const std::string& name) const;
  // Names directly under `sub` (the directory itself when empty), sorted, hidden ones included.
  std::vector<std::string> List(const std::string& sub = "") const;

 private:
  std::string path_;
};

}  // namespace testsupport
