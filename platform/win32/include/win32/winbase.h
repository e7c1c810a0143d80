// Waits, ticks and thread identity of kernel32.
#pragma once

#include "win32/types.h"

#define INFINITE 0xFFFFFFFFu
#define WAIT_OBJECT_0 0x00000000u
#define WAIT_ABANDONED_0 0x00000080u
#define WAIT_TIMEOUT 0x00000102u
#define WAIT_FAILED 0xFFFFFFFFu

// Milliseconds since an arbitrary start (the monotonic clock); wraps after 49.7 days.
WIN32_API DWORD WINAPI GetTickCount(void);
WIN32_API ULONGLONG WINAPI GetTickCount64(void);
// The kernel's thread id (gettid), as Windows returns a system-wide id.
WIN32_API DWORD WINAPI GetCurrentThreadId(void);
WIN32_API void WINAPI Sleep(DWORD dwMilliseconds);
