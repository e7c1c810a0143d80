#include "forms/message_pump.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include "forms/app.h"
#include "forms/do_events.h"
#include "win32/message.h"
#include "win32/winuser.h"

namespace forms {

int PumpWindowMessages() {
  int dispatched = 0;
  MSG msg{};
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
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

void StartMessagePump() {
  static QSocketNotifier* notifier = nullptr;
  if (notifier != nullptr) return;
  const int fd = Win32GetQueueDescriptor();
  if (fd < 0) return;
  notifier = new QSocketNotifier(fd, QSocketNotifier::Read, QCoreApplication::instance());
  QObject::connect(notifier, &QSocketNotifier::activated, notifier, [] { PumpWindowMessages(); });
  SetMessagePump([] { PumpWindowMessages(); });
}

}  // namespace forms
