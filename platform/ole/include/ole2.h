// The object runtime in one include.
#pragma once

#include "objbase.h"
#include "ocidl.h"
#include "oleauto.h"
#include "olectl.h"
#include "oleidl.h"

STDAPI OleInitialize(LPVOID pvReserved);
STDAPI_(void) OleUninitialize(void);
