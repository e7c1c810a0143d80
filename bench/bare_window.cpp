// The smallest Widgets program that shows a window of the main window's size and quits when
// it is first exposed, for the start-up benchmark.
#include <QApplication>
#include <QEvent>
#include <QWidget>
#include <QWindow>
#include <cstdio>

namespace {
class QuitOnExpose : public QObject {
 public:
  using QObject::QObject;
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Expose && static_cast<QWindow*>(watched)->isExposed()) {
      std::puts("exposed");
      std::fflush(stdout);
      QCoreApplication::exit(0);
    }
    return false;
  }
};
}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QWidget window;
  window.setFixedSize(777, 640);
  window.winId();
  window.windowHandle()->installEventFilter(new QuitOnExpose(&window));
  window.show();
  return QApplication::exec();
}
