#include "window_rules.h"

#include <QAction>
#include <QApplication>
#include <QPushButton>
#include <QTimer>

#include "comms/frm_Test.h"
#include "forms/app.h"
#include "forms/default_instance.h"
#include "forms/web_browser.h"
#include "debug/frm_Debug.h"
#include "frm_FileCreate.h"
#include "ftp/frm_Ftp.h"
#include "ftp/frm_Upload.h"
#include "network/frm_NWSetup.h"

namespace app {
namespace {

using forms::WindowEvent;

// Windows that take the view and the buttons while they are open and give them back when they
// close; the FTP client window's Cancel gives back the view alone.
constexpr MainWindowRule kRules[] = {
    {"frm_NWSetup", WindowEvent::kLoaded, false, true, false},
    {"frm_NWSetup", WindowEvent::kUnloaded, true, true, true},
    {"frm_Upload", WindowEvent::kLoaded, false, true, false},
    {"frm_Upload", WindowEvent::kUnloaded, true, true, true},
    {"frm_Debug", WindowEvent::kLoaded, false, true, false},
    {"frm_Debug", WindowEvent::kUnloaded, true, true, true},
    {"frmFtp", WindowEvent::kLoaded, false, true, false},
    {"frmFtp", WindowEvent::kCancelled, true, false, false},
    {"frmFtp", WindowEvent::kUnloaded, true, true, true},
};

template <typename Form>
void ShowModeless() {
  Form& w = forms::DefaultInstance<Form>::Get();
  w.show();
  w.raise();
  w.activateWindow();
}

// A window's Exit ends the run as closing the main window does, unloading the windows it
// unloads. Later, from the event loop: the window that asked is still inside its handler.
void EndRun() {
  QTimer::singleShot(0, qApp, [] {
    if (forms::DefaultInstance<frm_FileCreate>::Exists()) {
      forms::DefaultInstance<frm_FileCreate>::Get().close();
    } else {
      forms::End();
    }
  });
}

}  // namespace

const MainWindowRule* FindRule(const std::string& form_name, WindowEvent event) {
  for (const auto& rule : kRules) {
    if (form_name == rule.form_name && event == rule.event) return &rule;
  }
  return nullptr;
}

void Apply(const MainWindowRule& rule, frm_FileCreate& main) {
  main.wb->setVisible(rule.view_visible);
  if (!rule.buttons_change) return;
  main.cmd_CreateFile->setEnabled(rule.buttons_enabled);
  main.cmd_ReadRaw->setEnabled(rule.buttons_enabled);
}

void WireWindows(frm_FileCreate& main) {
  forms::SetWindowListener([](const std::string& form_name, WindowEvent event) {
    if (event == WindowEvent::kEndRequested) return EndRun();
    // At the end of the run the main window may already be gone; do not bring it back.
    if (!forms::DefaultInstance<frm_FileCreate>::Exists()) return;
    if (const MainWindowRule* rule = FindRule(form_name, event)) {
      Apply(*rule, forms::DefaultInstance<frm_FileCreate>::Get());
    }
  });
  main.SetMenuAction(main.Mfp, &ShowModeless<ftp::frmFtp>);
  main.SetMenuAction(main.mnuDebug, &ShowModeless<debug::frm_Debug>);
  main.AddFilesMenuEntry(QStringLiteral("Network Setup..."), &ShowModeless<network::frm_NWSetup>)
      ->setObjectName(QStringLiteral("mnuNetworkSetup"));
  main.AddFilesMenuEntry(QStringLiteral("Upload File..."), &ShowModeless<ftp::frm_Upload>)
      ->setObjectName(QStringLiteral("mnuUploadFile"));
  main.SetMenuAction(main.mnuComms, &comms::ShowTestWindow);
}

}  // namespace app
