#include "controls/idle_hook.h"

#include <utility>

#include "windows.h"

namespace controls {
namespace {
thread_local IdleHook t_hook;
}

IdleHook SetIdleHook(IdleHook hook) { return std::exchange(t_hook, std::move(hook)); }

bool RunIdleHook() {
  if (!t_hook) return false;
  IdleHook hook = t_hook;  // the hook may replace itself
  hook();
  return true;
}

void PumpQueue(unsigned ms) {
  MsgWaitForMultipleObjects(0, nullptr, FALSE, ms, QS_ALLINPUT);
  MSG msg;
  bool quit = false;
  int exit_code = 0;
  // Bounded: messages posted while dispatching wait for the next pass.
  for (int i = 0; i < 256 && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE); ++i) {
    if (msg.message == WM_QUIT) {
      quit = true;
      exit_code = static_cast<int>(msg.wParam);
      continue;
    }
    DispatchMessageA(&msg);
  }
  if (quit) PostQuitMessage(exit_code);
}

}  // namespace controls
