// Inside the control library only: how the server frame makes controls and counts what
// keeps the module loaded.
#pragma once

#include "oaidl.h"

namespace marlet {

// A new control, stand-alone or inside `outer` (then `iid` must be IID_IUnknown and the
// result is the control's own, non-delegating unknown).
HRESULT CreateControl(IUnknown* outer, REFIID iid, void** out);

// Live controls and factory locks; the module may be unloaded only at zero.
void LockModule();
void UnlockModule();
long ModuleLockCount();

// The process's one MARLETLib, built from the compiled-in definition (AddRef'd), and its
// release at process detach, before the runtime it lives in goes.
HRESULT GetTypeLibrary(ITypeLib** out);
void ReleaseTypeLibrary();

}  // namespace marlet
