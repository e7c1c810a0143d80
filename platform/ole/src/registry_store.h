// The registry file: read whole for every lookup (it is replaced atomically, so a reader
// never sees half a file) and changed under an exclusive lock on "<file>.lock", so that
// writers in other processes and threads never lose each other's keys.
#pragma once

#include <functional>
#include <string>

#include "registry_tree.h"

namespace ole::reg {

// $OLE_REGISTRY, else $XDG_DATA_HOME (or ~/.local/share)/corvane-debugger/registry.txt;
// empty when neither names an absolute directory.
std::string RegistryPath();

// Runs `fn` on the current tree; a missing file is an empty registry. Returns a Win32
// error: ERROR_BADDB for a file that is not a registry (or is over the size limit),
// ERROR_CANTREAD when it cannot be read, ERROR_PATH_NOT_FOUND when there is no location for
// it (said once on standard error).
// The parsed tree is kept while the file stays the same (a file is never changed in place,
// only replaced, so its inode and times name one content).
LONG Read(const std::function<LONG(const Tree&)>& fn);

// Runs `fn` on the tree under the lock and writes the tree back when `fn` succeeds and
// says it changed something. ERROR_CANTWRITE when the file cannot be replaced,
// ERROR_REGISTRY_QUOTA_LIMIT when the result would be over the size limit; a corrupt file is
// never overwritten.
LONG Update(const std::function<LONG(Tree&, bool& changed)>& fn);

}  // namespace ole::reg
