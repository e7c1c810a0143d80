#pragma once

namespace forms {

// Lets the Qt event loop run the thread's window-message queue: notices that sockets and
// controls post to their windows are dispatched as soon as they arrive, and DoEvents drains
// the queue too. Call once, after the QApplication exists.
void StartMessagePump();

// Dispatches every message waiting in the thread's queue; the number dispatched.
int PumpWindowMessages();

}  // namespace forms
