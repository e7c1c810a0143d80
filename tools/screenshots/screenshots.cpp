// Shows the main window, the network setup window and a read program page as a technician
// meets them on a first start, and saves a picture of each:
//   debugger_screenshots OUT_DIR APP_DIR
// APP_DIR is a scratch application directory holding Program_Files (with the sample program)
// and Templates; the pictures are OUT_DIR/{main-window,network-setup,program-page}.png.
#include <QAction>
#include <QElapsedTimer>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QThread>
#include <cstdio>
#include <string>

#include "forms/app.h"
#include "forms/application.h"
#include "forms/default_instance.h"
#include "forms/dialog_hook.h"
#include "forms/do_events.h"
#include "forms/message_pump.h"
#include "forms/prepare.h"
#include "frm_FileCreate.h"
#include "network/frm_NWSetup.h"
#include "window_rules.h"

namespace {

// Lets the windows settle (layout, the page's script) for a bounded time.
void Settle(int ms) {
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < ms) {
    forms::DoEvents();
    QThread::msleep(10);
  }
}

bool Save(QWidget* window, const std::string& path) {
  window->raise();
  window->activateWindow();
  Settle(1500);
  const QPixmap picture = window->screen()->grabWindow(window->winId());
  if (picture.isNull() || !picture.save(QString::fromStdString(path), "PNG")) {
    std::fprintf(stderr, "debugger_screenshots: cannot save %s\n", path.c_str());
    return false;
  }
  std::printf("%s\n", path.c_str());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fputs("usage: debugger_screenshots OUT_DIR APP_DIR\n", stderr);
    return 2;
  }
  const std::string out = argv[1];
  const std::string app_dir = argv[2];
  forms::PrepareApplication();
  forms::Application application(argc, argv);
  forms::StartMessagePump();
  forms::App::SetPathOverride(app_dir);

  app::frm_FileCreate& main = forms::DefaultInstance<app::frm_FileCreate>::Get();
  app::WireWindows(main);
  main.move(0, 0);
  if (!Save(&main, out + "/main-window.png")) return 1;

  main.findChild<QAction*>(QStringLiteral("mnuNetworkSetup"))->trigger();
  auto& setup = forms::DefaultInstance<network::frm_NWSetup>::Get();
  setup.move(40, 40);
  if (!Save(&setup, out + "/network-setup.png")) return 1;
  setup.close();  // gives back "Read File" and "Create File"

  forms::ScriptedDialogs dialogs;  // answers the open dialog with the sample program
  dialogs.Answer(app_dir + "/Program_Files/setup_1000000099999999.txt");
  main.cmd_ReadRaw->click();
  Settle(3000);  // the page loads and its script fills the form
  if (!Save(&main, out + "/program-page.png")) return 1;
  return 0;
}
