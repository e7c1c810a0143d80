// The library's entry points, with Windows' names and the signatures of winsock.h's entry-point
// types, declared from the one list. They are reached only through the export table
// (exports.cpp), never by symbol; a definition whose signature strays from its type does not
// compile there.
#pragma once

#include <type_traits>

#include "winsock.h"

namespace wsock32::api {

#define WSOCK32_DECLARE(ordinal, name, type) std::remove_pointer_t<type> name;
WSOCK32_ENTRY_POINTS(WSOCK32_DECLARE)
#undef WSOCK32_DECLARE

}  // namespace wsock32::api
