// The subset of the Windows API that this platform layer provides.
#pragma once

#include "win32/types.h"
#include "win32/windef.h"
#include "win32/error.h"
#include "win32/nls.h"
#include "win32/profile.h"
#include "win32/winbase.h"
#include "win32/module.h"
#include "win32/winuser.h"
#include "win32/message.h"
#include "win32/resource.h"
#include "win32/wingdi.h"
