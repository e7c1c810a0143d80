#include "forms/expose_probe.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>
#include <QWindow>
#include <cstdio>
#include <cstdlib>

namespace forms {
namespace {

class ExposeFilter : public QObject {
 public:
  using QObject::QObject;
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Expose && static_cast<QWindow*>(watched)->isExposed()) {
      std::fputs("exposed\n", stdout);
      std::fflush(stdout);
      QCoreApplication::exit(0);
    }
    return false;
  }
};

}  // namespace

void ExitOnFirstExposeIfAsked(QWidget* window) {
  if (std::getenv("FORMS_EXIT_ON_EXPOSE") == nullptr) return;
  window->winId();  // creates the native window so its expose can be watched
  window->windowHandle()->installEventFilter(new ExposeFilter(window));
}

}  // namespace forms
