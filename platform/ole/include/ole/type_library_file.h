// The stored form of a type library: what a TYPELIB resource or a .tlb file holds, read by
// LoadTypeLib. It is this runtime's own format (not the Windows one): the TypeLibDef records,
// little-endian, behind a magic word. A build writes it with ole_write_typelib
// (platform/ole/cmake/OleTypeLib.cmake) from the same records a server compiles in.
#pragma once

#include <cstddef>
#include <string>

#include "ole/type_library.h"

namespace ole {

OLE_CXX_API std::string SaveTypeLibDef(const TypeLibDef& def);
// False for anything but a whole, well-formed image; `out` is then unspecified.
OLE_CXX_API bool ReadTypeLibDef(const void* data, std::size_t size, TypeLibDef& out);

}  // namespace ole
