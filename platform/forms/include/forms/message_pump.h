#pragma once

namespace forms {

// Lets the Qt event loop run the thread's window-message queue: notices that sockets and
// controls post to their windows are dispatched as soon as they arrive, and DoEvents drains
// the queue too. Call once, after the QApplication exists.
void StartMessagePump();

// Dispatches the messages waiting in the thread's queue, for 50 ms at most, so that a queue
// that never runs dry (a flood of socket notices) cannot hold the caller; the number
// dispatched.
int PumpWindowMessages();

}  // namespace forms
