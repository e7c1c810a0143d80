#include "support/scratch_dir.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace testsupport {

ScratchDir::ScratchDir(const std::string& prefix) {
  std::string tmpl = (fs::temp_directory_path() / (prefix + "-XXXXXX")).string();
  if (mkdtemp(tmpl.data()) == nullptr) {
    throw std::system_error(errno, std::generic_category(), "mkdtemp " + tmpl);
  }
  path_ = tmpl;
}

ScratchDir::~ScratchDir() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

std::string ScratchDir::File(const std::string& name) const {
  return path_ + "/" + name;
}

std::string ScratchDir::Sub(const std::string& name) const {
  const std::string dir = File(name);
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

std::vector<std::string> ScratchDir::List(const std::string& sub) const {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(sub.empty() ? path_ : File(sub))) {
    names.push_back(e.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace testsupport
