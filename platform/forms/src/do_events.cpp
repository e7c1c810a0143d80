#include "forms/do_events.h"

#include <QCoreApplication>
#include <QEvent>

namespace forms {
namespace {
std::function<void()>& Pump() {
  static std::function<void()> pump;
  return pump;
}
}  // namespace

void SetMessagePump(std::function<void()> pump) {
  Pump() = std::move(pump);
}

void DoEvents() {
  QCoreApplication::sendPostedEvents();
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  if (Pump()) Pump()();
}

}  // namespace forms
