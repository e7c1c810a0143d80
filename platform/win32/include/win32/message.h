// Extensions to the message queue, for host event loops and for libraries that post notices.
#pragma once

#include "win32/winuser.h"

// The calling thread's queue descriptor (creating the queue). It becomes readable whenever a
// message may be waiting, or a descriptor watched for the queue (below) is ready; a host loop
// that watches it then drains the queue with PeekMessageA(PM_REMOVE) until that returns FALSE.
// It stays valid until the thread ends. -1 when the queue cannot be created.
WIN32_API int WINAPI Win32GetQueueDescriptor(void);

// Watches a descriptor as part of the queue of hWnd's thread: once armed with poll(2) event bits,
// the first readiness calls proc(context, revents) on that thread, from inside PeekMessageA,
// GetMessageA or MsgWaitForMultipleObjects, and disarms the watch; arm it again for the next
// report. Readiness that is gone again when the thread looks is not reported. Arming is allowed
// from any thread; the callback may post messages. The watch does not own the descriptor and must
// be closed before the descriptor is. Returns NULL with ERROR_INVALID_WINDOW_HANDLE for a window
// that does not exist.
typedef void(CALLBACK* WIN32_WATCH_PROC)(ULONG_PTR context, DWORD revents);
WIN32_API HANDLE WINAPI Win32CreateWatch(HWND hWnd, int fd, WIN32_WATCH_PROC proc,
                                         ULONG_PTR context);
// dwEvents 0 disarms. With WIN32_WATCH_EDGE the watch stays armed and reports each new
// readiness (an edge, as epoll's EPOLLET) instead of the first one only; readiness that was
// already there when it is armed counts as new. FALSE with ERROR_INVALID_HANDLE once the
// queue's thread has ended.
#define WIN32_WATCH_EDGE 0x80000000u
WIN32_API BOOL WINAPI Win32ArmWatch(HANDLE hWatch, DWORD dwEvents);
// Asks for one call of the watch's procedure with revents 0 the next time its thread looks at
// the queue, before it reports "no message" or sleeps (bWanted FALSE takes the request back).
// For a library that re-enables a notice and must look once more whether it is due, but only
// if nothing settles that question first. Asked on the owner thread inside DispatchMessageA,
// it costs no system call.
WIN32_API BOOL WINAPI Win32RecheckWatch(HANDLE hWatch, BOOL bWanted);
WIN32_API BOOL WINAPI Win32CloseWatch(HANDLE hWatch);
