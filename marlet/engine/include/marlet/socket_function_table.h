// The socket library's entry points, one per Winsock 1.1 function. The control links
// against no socket library: each entry starts on a placeholder that fails the way a
// library that is not loaded would, and is pointed at the library's export of the same
// ordinal while the library is loaded.
#pragma once

#include "windows.h"
#include "winsock.h"

namespace marlet {

struct SocketFunctionTable {
#define MARLET_TABLE_ENTRY(ordinal, name, type) type name;
  WSOCK32_ENTRY_POINTS(MARLET_TABLE_ENTRY)
#undef MARLET_TABLE_ENTRY
};

// The one table of the process. Shared by every engine on every thread, without a lock.
extern SocketFunctionTable g_sockets;

// Points every entry at its placeholder.
void ResetSocketFunctions(SocketFunctionTable& table);
// Points every entry whose ordinal the module exports at that export; the others keep
// what they had.
void ResolveSocketFunctions(SocketFunctionTable& table, HMODULE module);

}  // namespace marlet
