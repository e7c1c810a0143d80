// Variant type checks shared by the variant and dispatch code.
#pragma once

#include <cstddef>

#include "wtypes.h"

namespace ole {

bool IsScalarType(VARTYPE vt);
// Whether a VARIANT may hold this type (with its VT_ARRAY and VT_BYREF flags).
bool IsValidVariantType(VARTYPE vt);
// Bytes of one value of an element type (what a VT_BYREF pointer points at, the size of
// a safe array's element); 0 for a type that has no values.
size_t ValueSize(VARTYPE vt);

}  // namespace ole
