#include "forms/message_pump.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <chrono>

#include "forms/app.h"
#include "forms/do_events.h"
#include "win32/message.h"
#include "win32/winuser.h"

namespace forms {

namespace {

// A stream of notices must not hold the event loop: a pass started by the descriptor ends
// after this slice, and the descriptor, readable while messages wait, brings the loop back to
// the rest after one turn for timers, input and painting.
constexpr auto kPassSlice = std::chrono::milliseconds(20);
// DoEvents gets a longer slice: its callers wait for something and call it again.
constexpr auto kCallSlice = std::chrono::milliseconds(50);

int Pump(std::chrono::steady_clock::time_point until) {
  int dispatched = 0;
  MSG msg{};
  while (std::chrono::steady_clock::now() < until && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    // A quit posted to the queue ends the run as it would end a message loop.
    if (msg.message == WM_QUIT) {
      End();
      break;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
    ++dispatched;
  }
  return dispatched;
}

}  // namespace

int PumpWindowMessages() { return Pump(std::chrono::steady_clock::now() + kCallSlice); }

void StartMessagePump() {
  static QSocketNotifier* notifier = nullptr;
  if (notifier != nullptr) return;
  const int fd = Win32GetQueueDescriptor();
  if (fd < 0) return;
  notifier = new QSocketNotifier(fd, QSocketNotifier::Read, QCoreApplication::instance());
  QObject::connect(notifier, &QSocketNotifier::activated, notifier, [] {
    Pump(std::chrono::steady_clock::now() + kPassSlice);
  });
  SetMessagePump([] { PumpWindowMessages(); });
}

}  // namespace forms
