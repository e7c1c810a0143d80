// The message functions of user32 over the calling thread's queue.
#include <memory>

#include "queue.h"
#include "win32/error.h"
#include "win32/winbase.h"
#include "window.h"

namespace {

std::shared_ptr<win32::msgq::Queue> QueueOrFail() {
  auto q = win32::msgq::Current();
  if (!q) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return q;
}

bool ValidFilterWindow(HWND hWnd) {
  if (hWnd == nullptr || hWnd == reinterpret_cast<HWND>(-1) || IsWindow(hWnd)) return true;
  SetLastError(ERROR_INVALID_WINDOW_HANDLE);
  return false;
}

BOOL PostTo(win32::msgq::Queue& q, HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  DWORD err = q.Post(MSG{hWnd, Msg, wParam, lParam, GetTickCount(), {0, 0}});
  if (err == ERROR_SUCCESS) return TRUE;
  SetLastError(err);
  return FALSE;
}

// What a watch handle stands for: a watch in one thread's queue, which may end before it.
struct WatchHandle {
  std::weak_ptr<win32::msgq::Queue> queue;
  std::uint64_t id;
};

}  // namespace

BOOL WINAPI PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  if (hWnd == nullptr) {
    auto q = QueueOrFail();
    return q ? PostTo(*q, nullptr, Msg, wParam, lParam) : FALSE;
  }
  if (hWnd == HWND_BROADCAST) {
    for (HWND top : win32::window::TopLevelWindows()) {
      if (auto q = win32::window::QueueOf(top)) PostTo(*q, top, Msg, wParam, lParam);
    }
    return TRUE;
  }
  auto q = win32::window::QueueOf(hWnd);
  if (!q) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  return PostTo(*q, hWnd, Msg, wParam, lParam);
}

void WINAPI PostQuitMessage(int nExitCode) {
  if (auto q = win32::msgq::Current()) q->PostQuit(nExitCode);
}

BOOL WINAPI PeekMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax,
                         UINT wRemoveMsg) {
  if (lpMsg == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!ValidFilterWindow(hWnd)) return FALSE;
  auto q = QueueOrFail();
  if (!q) return FALSE;
  return q->Take(lpMsg, {hWnd, wMsgFilterMin, wMsgFilterMax}, (wRemoveMsg & PM_REMOVE) != 0, false)
             ? TRUE
             : FALSE;
}

BOOL WINAPI GetMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax) {
  if (lpMsg == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return -1;
  }
  if (!ValidFilterWindow(hWnd)) return -1;
  auto q = QueueOrFail();
  if (!q) return -1;
  q->Take(lpMsg, {hWnd, wMsgFilterMin, wMsgFilterMax}, true, true);
  return lpMsg->message == WM_QUIT ? FALSE : TRUE;
}

BOOL WINAPI TranslateMessage(const MSG* /*lpMsg*/) {
  return FALSE;
}

DWORD WINAPI MsgWaitForMultipleObjects(DWORD nCount, const HANDLE* /*pHandles*/, BOOL /*fWaitAll*/,
                                       DWORD dwMilliseconds, DWORD dwWakeMask) {
  if (nCount != 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return WAIT_FAILED;
  }
  auto q = QueueOrFail();
  return q ? q->Wait(dwMilliseconds, dwWakeMask) : WAIT_FAILED;
}

int WINAPI Win32GetQueueDescriptor(void) {
  auto q = QueueOrFail();
  return q ? q->descriptor() : -1;
}

HANDLE WINAPI Win32CreateWatch(HWND hWnd, int fd, WIN32_WATCH_PROC proc, ULONG_PTR context) {
  if (fd < 0 || proc == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto q = win32::window::QueueOf(hWnd);
  if (!q) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  return new WatchHandle{q, q->AddWatch(fd, proc, context)};
}

BOOL WINAPI Win32ArmWatch(HANDLE hWatch, DWORD dwEvents) {
  auto* w = static_cast<WatchHandle*>(hWatch);
  auto q = w != nullptr ? w->queue.lock() : nullptr;
  if (!q || !q->ArmWatch(w->id, dwEvents)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}

BOOL WINAPI Win32RecheckWatch(HANDLE hWatch, BOOL bWanted) {
  auto* w = static_cast<WatchHandle*>(hWatch);
  auto q = w != nullptr ? w->queue.lock() : nullptr;
  if (!q || !q->RecheckWatch(w->id, bWanted != FALSE)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}

BOOL WINAPI Win32CloseWatch(HANDLE hWatch) {
  auto* w = static_cast<WatchHandle*>(hWatch);
  if (w == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (auto q = w->queue.lock()) q->RemoveWatch(w->id);
  delete w;
  return TRUE;
}
