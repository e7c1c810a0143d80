#include "forms/application.h"

#include <exception>

#include "forms/msgbox.h"
#include "forms/runtime_error.h"

namespace forms {

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {}

namespace {

void Report(const std::string& description) noexcept {
  try {
    MsgBox(kUnexpectedFailure + description, vbCritical);
  } catch (...) {
    // Not even a box could be shown: the event is dropped and the program goes on.
  }
}

}  // namespace

bool Application::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& e) {
    Report(DescriptionOf(e));
  } catch (...) {
    Report("unknown");
  }
  return false;
}

}  // namespace forms
