// The fixed identity of the Marlet control, which other programs bind to.
#pragma once

#include "guiddef.h"

namespace marlet {

// {7E2A4C10-3B9D-4F21-A6C3-51D0E8B7F2A4}
inline constexpr CLSID kClsidMarlet = {
    0x7E2A4C10, 0x3B9D, 0x4F21, {0xA6, 0xC3, 0x51, 0xD0, 0xE8, 0xB7, 0xF2, 0xA4}};

}  // namespace marlet
