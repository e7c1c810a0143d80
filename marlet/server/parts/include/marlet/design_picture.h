// The control's picture in a form designer: a raised panel with a black outline and the
// toolbox bitmap at (6, 7), its corner colour made transparent.
#pragma once

#include "windows.h"
#include "winerror.h"

namespace marlet {

inline constexpr WORD kToolboxBitmapId = 101;

// Draws into `hdc` within `bounds`; `module` holds bitmap 101. Without the bitmap the panel
// and outline are still drawn and the call succeeds. The device context's pen and brush are
// left as they were.
HRESULT DrawDesignPicture(HDC hdc, const RECT& bounds, HINSTANCE module);

}  // namespace marlet
