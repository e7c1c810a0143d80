#include <QApplication>
#include <cstdio>
#include <cstdlib>

#include "forms/default_instance.h"
#include "forms/prepare.h"
#include "frm_FileCreate.h"
#include "settings_path.h"

namespace {

bool HasDisplay() {
  auto set = [](const char* name) {
    const char* v = std::getenv(name);
    return v != nullptr && *v != '\0';
  };
  return set("QT_QPA_PLATFORM") || set("DISPLAY") || set("WAYLAND_DISPLAY");
}

}  // namespace

int main(int argc, char** argv) {
  if (!HasDisplay()) {
    std::fputs("Debugger: no display found. Run it in a desktop session, under xvfb-run, or with "
               "QT_QPA_PLATFORM=offscreen.\n",
               stderr);
    return 2;
  }
  forms::PrepareApplication();
  QApplication application(argc, argv);
  app::InitSettingsFilePath();
  forms::DefaultInstance<app::frm_FileCreate>::Get();
  return QApplication::exec();
}
