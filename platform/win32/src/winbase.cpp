#include "win32/winbase.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <thread>

ULONGLONG WINAPI GetTickCount64(void) {
  auto since = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<ULONGLONG>(
      std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

DWORD WINAPI GetTickCount(void) {
  return static_cast<DWORD>(GetTickCount64());
}

DWORD WINAPI GetCurrentThreadId(void) {
  return static_cast<DWORD>(gettid());
}

void WINAPI Sleep(DWORD dwMilliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(dwMilliseconds));
}
