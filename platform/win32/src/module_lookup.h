// Symbols of one loaded module, for the functions that read a module's tables.
#pragma once

#include "win32/types.h"

namespace win32::module {

// The module's own definition of `symbol` (NULL module: the program), never one of the
// libraries it depends on. module_ok is false for a handle that names no loaded module.
void* OwnSymbolOf(HMODULE module, const char* symbol, bool& module_ok);

}  // namespace win32::module
