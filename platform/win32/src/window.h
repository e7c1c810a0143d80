// What the queue needs to know about windows.
#pragma once

#include <memory>
#include <vector>

#include "queue.h"

namespace win32::window {

bool Exists(HWND hwnd);
bool IsSelfOrDescendant(HWND hwnd, HWND ancestor);
// The queue of the thread that created the window, or nullptr.
std::shared_ptr<msgq::Queue> QueueOf(HWND hwnd);
std::vector<HWND> TopLevelWindows();
// The thread that owns `queue` ends: its windows go without messages.
void ThreadEnded(const msgq::Queue* queue);

}  // namespace win32::window
