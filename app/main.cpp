#include <unistd.h>
#include <cstdio>
#include <cstdlib>

#include "base/settings_file.h"
#include "forms/application.h"
#include "forms/default_instance.h"
#include "forms/message_pump.h"
#include "forms/prepare.h"
#include "frm_FileCreate.h"
#include "window_rules.h"

namespace {

bool HasDisplay() {
  auto set = [](const char* name) {
    const char* v = std::getenv(name);
    return v != nullptr && *v != '\0';
  };
  return set("QT_QPA_PLATFORM") || set("DISPLAY") || set("WAYLAND_DISPLAY");
}

// The HTML view shows local pages only: its engine has no business on the network by itself.
// Its sandbox cannot run as root, where it must be switched off for the view to work at all.
void PrepareHtmlEngine() {
  setenv("QTWEBENGINE_CHROMIUM_FLAGS",
         "--disable-background-networking --disable-component-update --disable-sync "
         "--no-first-run --disable-quic",
         0);
  if (geteuid() == 0 && std::getenv("QTWEBENGINE_DISABLE_SANDBOX") == nullptr) {
    std::fputs("Debugger: running as root, the HTML view runs without its sandbox.\n", stderr);
    setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 1);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (!HasDisplay()) {
    std::fputs(
        "Debugger: no display found. Run it in a desktop session, under xvfb-run, or with "
        "QT_QPA_PLATFORM=offscreen.\n",
        stderr);
    return 2;
  }
  PrepareHtmlEngine();
  forms::PrepareApplication();
  forms::Application application(argc, argv);
  forms::StartMessagePump();
  base::InitSettingsFilePath();
  app::WireWindows(forms::DefaultInstance<app::frm_FileCreate>::Get());
  return forms::Application::exec();
}
