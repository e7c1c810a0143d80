#include "window_test_support.h"

#include <unistd.h>
#include <QWidget>
#include <chrono>
#include <filesystem>
#include <memory>

#include "forms/dialog_hook.h"
#include "forms/do_events.h"
#include "support/bounded_wait.h"
#include "support/scratch_dir.h"

namespace fs = std::filesystem;

namespace testsupport {
namespace {
std::unique_ptr<ScratchDir>& Scratch() {
  static auto scratch = std::make_unique<ScratchDir>("debugger-tests");
  return scratch;
}
}  // namespace

const std::string& AppDir() {
  static const std::string dir = [] {
    std::string d = Scratch()->File("app");
    fs::create_directories(d + "/Program_Files");
    fs::create_directories(d + "/Templates");
    return d;
  }();
  return dir;
}

std::string MakeTempDir(const std::string& name) {
  return Scratch()->Sub(name);
}

void RemoveScratch() {
  Scratch().reset();
}

bool WaitFor(const std::function<bool()>& done, int timeout_ms) {
  return WaitUntil(done, std::chrono::milliseconds(timeout_ms), [] { forms::DoEvents(); });
}

int& EndCalls() {
  static int calls = 0;
  return calls;
}

std::string BinDir() {
  char buf[4096];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  std::string exe(buf, static_cast<std::size_t>(n > 0 ? n : 0));
  return exe.substr(0, exe.rfind('/'));
}

namespace {
bool IsNamedControl(const QWidget* w) {
  const QString name = w->objectName();
  return !name.isEmpty() && !name.startsWith(QStringLiteral("qt_"));
}
}  // namespace

std::vector<std::string> TabWalk(QWidget* first) {
  std::vector<std::string> names;
  QWidget* w = first;
  // Bounded: a broken chain that never comes back still ends.
  for (int step = 0; step < 10000; ++step) {
    if ((w->focusPolicy() & Qt::TabFocus) != 0 && w->isEnabled() &&
        w->isVisibleTo(first->window()) && IsNamedControl(w)) {
      names.push_back(w->objectName().toStdString());
    }
    w = w->nextInFocusChain();
    if (w == nullptr || w == first) break;
  }
  return names;
}

std::vector<std::string> UnnamedControls(QWidget* window) {
  std::vector<std::string> names;
  for (const QWidget* w : window->findChildren<QWidget*>()) {
    if (IsNamedControl(w) && w->focusPolicy() != Qt::NoFocus && w->accessibleName().isEmpty())
      names.push_back(w->objectName().toStdString());
  }
  return names;
}

std::ostream& operator<<(std::ostream& o, const Box& b) {
  return o << "{" << b.prompt << " | " << b.title << " | " << b.buttons << "}";
}

std::vector<Box> Boxes(const forms::ScriptedDialogs& dialogs) {
  std::vector<Box> out;
  for (const auto& c : dialogs.Messages()) out.push_back({c.prompt, c.title, c.buttons});
  return out;
}

}  // namespace testsupport
