// Shared pieces of the window tests: the scratch application directory, and waits that let
// Qt events and the window-message queue run.
#pragma once

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "support/file_bytes.h"

class QWidget;

namespace forms {
class ScriptedDialogs;
}

namespace testsupport {

// A message box as the tests compare it: prompt, title and buttons.
struct Box {
  std::string prompt, title;
  int buttons;
  bool operator==(const Box&) const = default;
};
std::ostream& operator<<(std::ostream& o, const Box& b);
// The boxes `dialogs` has answered so far, in order.
std::vector<Box> Boxes(const forms::ScriptedDialogs& dialogs);

// The scratch application directory the tests run on (with Program_Files and Templates).
const std::string& AppDir();
// A fresh empty directory under the run's scratch directory.
std::string MakeTempDir(const std::string& name);
// Removes the run's scratch directory; the last thing the window-test main does.
void RemoveScratch();

// Lets events run until `done` holds or `timeout_ms` passes; returns `done()`.
bool WaitFor(const std::function<bool()>& done, int timeout_ms = 15000);

// How often the program asked to end its run (the test binary goes on instead).
int& EndCalls();

// Directory of the test executable, where the built programs are.
std::string BinDir();

// The named controls the Tab key visits from `first`, in order, until it comes round again.
std::vector<std::string> TabWalk(QWidget* first);
// Named controls under `window` that take the focus but announce no name.
std::vector<std::string> UnnamedControls(QWidget* window);

}  // namespace testsupport
