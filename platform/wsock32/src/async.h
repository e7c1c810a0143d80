// WSAAsyncSelect: notices posted to a window, with Winsock's re-enabling rules. The socket is
// watched as part of the window thread's message queue, so the notices are posted on that
// thread when it looks at its queue, with no thread of our own.
#pragma once

#include "sockets.h"

namespace wsock32 {

int StartNotices(Socket& s, HWND hwnd, UINT msg, LONG mask);
void StopNotices(Socket& s);

// The calls that re-enable a notice, told whether the call itself showed that nothing is due
// (it would block). Each is cheap when the socket has no notices.
void ReenableRead(Socket& s, bool end_of_stream, bool would_block);
void ReenableOob(Socket& s);
void ReenableWrite(Socket& s);
void ReenableAccept(Socket& s, bool would_block);
void ConnectStarted(Socket& s);

}  // namespace wsock32
