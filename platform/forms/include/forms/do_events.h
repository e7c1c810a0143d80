#pragma once

#include <functional>

namespace forms {

// Lets pending events run: Qt's, then the thread's window-message queue.
void DoEvents();

// The step that drains the thread's window-message queue; installed by the message layer.
void SetMessagePump(std::function<void()> pump);

}  // namespace forms
