// Variant type checks shared by the variant and dispatch code.
#pragma once

#include <cstddef>

#include "wtypes.h"

namespace ole {

bool IsScalarType(VARTYPE vt);
// Whether a VARIANT may hold this type (with its VT_ARRAY and VT_BYREF flags).
bool IsValidVariantType(VARTYPE vt);
// Bytes that a VT_BYREF pointer of this base type points at.
size_t ByRefSize(VARTYPE base);

}  // namespace ole
