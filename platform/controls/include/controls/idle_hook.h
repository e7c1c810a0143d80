// What a control's blocking operation runs while it waits, as Winsock 1.1's blocking hook:
// the forms runtime installs one that lets Qt events run, so windows repaint and Cancel works.
#pragma once

#include <functional>

namespace controls {

using IdleHook = std::function<void()>;

// Installs `hook` for the calling thread and returns the previous one. Without a hook a
// waiting operation only pumps the thread's window-message queue.
IdleHook SetIdleHook(IdleHook hook);

// Runs the calling thread's hook, if any; false when there is none.
bool RunIdleHook();

// Runs the thread's window-message queue for at most `ms` milliseconds: waits until a
// message or a watched descriptor is ready, then dispatches what is waiting. A WM_QUIT met on
// the way is posted again, so the host's own loop still sees it.
void PumpQueue(unsigned ms);

}  // namespace controls
