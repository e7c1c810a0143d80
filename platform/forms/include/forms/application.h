// The program's application object: the last guard around event delivery. A failure that no
// handler caught is shown in a message box and the program goes on.
#pragma once

#include <QApplication>

namespace forms {

class Application : public QApplication {
 public:
  Application(int& argc, char** argv);
  bool notify(QObject* receiver, QEvent* event) override;
};

// What the guard shows for a failure it caught.
inline constexpr const char* kUnexpectedFailure = "Unexpected failure: ";

}  // namespace forms
