// The in-memory property bag of the shell API.
#pragma once

#include "oaidl.h"

// A bag of named variants in memory; names compare without regard to ASCII case. Read of a
// missing name fails with E_INVALIDARG; a VARIANT given with a type set is converted to it.
STDAPI SHCreatePropertyBagOnMemory(DWORD grfMode, REFIID riid, void** ppv);
