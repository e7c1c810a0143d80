#include "base/app_paths.h"

#include <unistd.h>
#include <cerrno>
#include <cstring>

namespace base {

std::string WithTrailingSeparator(const std::string& dir) {
  if (!dir.empty() && dir.back() == '/') return dir;
  return dir + "/";
}

std::string ProgramFilesPath(const std::string& app_path, const std::string& file_name) {
  return app_path + "Program_Files/" + file_name;
}

std::string TemplatesPath(const std::string& app_path, const std::string& file_name) {
  return app_path + "Templates/" + file_name;
}

std::optional<std::string> EnterProgramFiles(const std::string& program_dir) {
  const std::string dir = program_dir + "/Program_Files";
  if (chdir(dir.c_str()) == 0) return std::nullopt;
  return std::string(std::strerror(errno));
}

}  // namespace base
