// Where a module name leads: the file search behind LoadLibraryA, kept free of the loader so
// that it can be tested on its own.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace win32::module {

// The file a bare name (no "/") names in the first folder of `dirs` that holds a match, or ""
// (see win32/module.h for the rules).
std::string FindBareName(std::string_view name, const std::vector<std::string>& dirs);

// The file a path names: the path itself when it exists, else the entry of its folder that
// matches its last part without regard to case, else "".
std::string FindPath(std::string_view path);

}  // namespace win32::module
