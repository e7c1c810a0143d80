#pragma once

#include <string>

namespace app {

// The program directory with exactly one trailing separator; a root directory stays as it is.
std::string WithTrailingSeparator(const std::string& dir);

}  // namespace app
