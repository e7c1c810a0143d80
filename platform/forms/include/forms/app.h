// The application object: program directory, title, previous-instance test.
#pragma once

#include <functional>
#include <string>

namespace forms {

class App {
 public:
  // Directory of the running executable, without a trailing separator ("/" at the root).
  static std::string Path();
  // Tests run on a scratch application directory instead of the build tree.
  static void SetPathOverride(const std::string& dir);

  static std::string Title();
  static void SetTitle(const std::string& title);

  // True when another process of this program holds the instance lock. The first call takes
  // the lock (an flock: the kernel drops it when its holder dies, however it dies). The lock
  // file is "<program>.lock" in $XDG_RUNTIME_DIR or /tmp; FORMS_INSTANCE_LOCK names another.
  static bool PrevInstance();
};

// Ends the process at once: no unload handlers run.
[[noreturn]] void EndNow();

// Ends the run once the current handler returns: the event loop stops and main() returns.
void End();
// Tests replace what End does (nullptr restores it), as the test binary must go on.
void SetEndHook(std::function<void()> hook);

}  // namespace forms
