#include "app_path.h"

namespace app {

std::string WithTrailingSeparator(const std::string& dir) {
  if (!dir.empty() && dir.back() == '/') return dir;
  return dir + "/";
}

}  // namespace app
