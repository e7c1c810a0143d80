#include "frm_FileCreate.h"

#include <QAction>
#include <QCloseEvent>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>

#include "app_path.h"
#include "forms/app.h"
#include "forms/color.h"
#include "forms/default_instance.h"
#include "forms/expose_probe.h"
#include "forms/geometry.h"
#include "forms/msgbox.h"
#include "forms/runtime_error.h"
#include "forms/test_log.h"
#include "forms/text_file.h"
#include "forms/web_browser.h"

namespace app {
namespace {

constexpr int kClientWidth = 11655;
constexpr int kClientHeight = 9225;

struct HostColour {
  const char* address;
  std::int32_t value;
};
// Links in the shown page recolour the window through these addresses.
constexpr HostColour kHostColours[] = {
    {"vbo:red", 255}, {"vbo:green", 65280}, {"vbo:blue", 16711680}};

QAction* Separator(QMenu* menu, const char* name) {
  QAction* line = menu->addSeparator();
  line->setObjectName(QString::fromLatin1(name));
  return line;
}

QAction* Entry(QMenu* menu, const char* name, const char* caption) {
  QAction* entry = menu->addAction(QString::fromLatin1(caption));
  entry->setObjectName(QString::fromLatin1(name));
  return entry;
}

}  // namespace

frm_FileCreate::frm_FileCreate() {
  setObjectName(QString::fromLatin1(kFormName));
  BuildControls();
  BuildMenu();
  Form_Load();
}

frm_FileCreate::~frm_FileCreate() = default;

void frm_FileCreate::BuildControls() {
  setWindowTitle(QString::fromLatin1(kCaption));
  client_ = new QWidget(this);
  client_->setObjectName(QStringLiteral("client"));
  client_->setFixedSize(forms::Px(kClientWidth), forms::Px(kClientHeight));
  client_->setAutoFillBackground(true);
  setCentralWidget(client_);

  wb = new forms::WebBrowser(client_);
  wb->setObjectName(QStringLiteral("wb"));
  wb->setGeometry(forms::TwipsRect(120, 120, 11415, 8565));
  wb->BeforeNavigate = [this](const std::string& url, bool& cancel) {
    wb_BeforeNavigate2(url, cancel);
  };

  cmd_ReadRaw = new QPushButton(QStringLiteral("Read File"), client_);
  cmd_ReadRaw->setObjectName(QStringLiteral("cmd_ReadRaw"));
  cmd_ReadRaw->setGeometry(forms::TwipsRect(120, 8790, 1500, 375));

  cmd_CreateFile = new QPushButton(QStringLiteral("Create File"), client_);
  cmd_CreateFile->setObjectName(QStringLiteral("cmd_CreateFile"));
  cmd_CreateFile->setGeometry(forms::TwipsRect(1800, 8790, 1500, 375));

  // Tab order follows the tab indexes: "Create File" first, then "Read File".
  setTabOrder(cmd_CreateFile, cmd_ReadRaw);
}

void frm_FileCreate::BuildMenu() {
  m1 = menuBar()->addMenu(QStringLiteral("Menu"));
  m1->setObjectName(QStringLiteral("m1"));
  line1 = Separator(m1, "line1");
  // The two entries without an action are switched off and not shown.
  mnuNW = Entry(m1, "mnuNW", "Network Setup");
  mnuNW->setEnabled(false);
  mnuNW->setVisible(false);
  line2 = Separator(m1, "line2");
  mnu_uploadX = m1->addMenu(QStringLiteral("Upload"));
  mnu_uploadX->setObjectName(QStringLiteral("mnu_uploadX"));
  Mpg = Entry(mnu_uploadX, "Mpg", "Meter Program");
  Mpg->setEnabled(false);
  Mpg->setVisible(false);
  line3 = Separator(mnu_uploadX, "line3");
  Mfp = Entry(mnu_uploadX, "Mfp", "Meter Firmware");
  line4 = Separator(m1, "line4");
  mnuDebug = Entry(m1, "mnuDebug", "Debug");
  line5 = Separator(m1, "line5");
  mnuComms = Entry(m1, "mnuComms", "Test Communications");
  // The windows these open come with their own modules; until one is wired the entry is off.
  for (QAction* entry : {Mfp, mnuDebug, mnuComms}) entry->setEnabled(false);
}

void frm_FileCreate::SetMenuAction(QAction* entry, std::function<void()> action) {
  entry->setEnabled(true);
  connect(entry, &QAction::triggered, this, [action = std::move(action)] { action(); });
}

QAction* frm_FileCreate::AddFilesMenuEntry(const QString& caption, std::function<void()> action) {
  if (mnuFiles == nullptr) {
    mnuFiles = menuBar()->addMenu(QStringLiteral("Files"));
    mnuFiles->setObjectName(QStringLiteral("mnuFiles"));
  }
  QAction* entry = mnuFiles->addAction(caption);
  SetMenuAction(entry, std::move(action));
  return entry;
}

void frm_FileCreate::Form_Load() {
  if (forms::App::PrevInstance()) {
    forms::MsgBox("An instance of this application is already running. G'Bye", forms::vbInformation,
                  "Corvane - Taluro Programmer");
    forms::EndNow();
  }
  forms::App::SetTitle(kAppTitle);
  app_path_ = GetAppPath();

  hide();
  cmd_ReadRaw->setEnabled(false);
  cmd_CreateFile->setEnabled(false);
  wb->setVisible(false);
  forms::ExitOnFirstExposeIfAsked(this);
  show();
  forms::AppendTestLog(std::string("Show\t") + kFormName);
}

std::string frm_FileCreate::GetAppPath() const {
  return WithTrailingSeparator(forms::App::Path());
}

bool frm_FileCreate::Write_String_To_File(const std::string& StringToWrite,
                                          const std::string& FileNameIs) {
  if (FileNameIs.empty()) {
    forms::MsgBox("Invalid file name...exiting");
    return false;
  }
  try {
    forms::WriteAnsiTextFile(FileNameIs, StringToWrite + "\r\n");
  } catch (const forms::RuntimeError&) {
    forms::MsgBox("Error in writing file. Please Check and try again...", forms::vbCritical,
                  "Mv900 Programmer");
    return false;
  }
  return true;
}

std::string frm_FileCreate::fnc_FileToString(const std::string& FilePath) {
  std::string text = forms::ReadAnsiTextFile(FilePath);
  std::erase_if(text, [](char c) { return c == '\r' || c == '\n'; });
  return text;
}

std::int32_t frm_FileCreate::BackColor() const {
  return forms::ToColorValue(client_->palette().color(QPalette::Window));
}

void frm_FileCreate::SetBackColor(std::int32_t value) {
  QPalette palette = client_->palette();
  palette.setColor(QPalette::Window, forms::FromColorValue(value));
  client_->setPalette(palette);
}

void frm_FileCreate::wb_BeforeNavigate2(const std::string& url, bool& cancel) {
  for (const auto& colour : kHostColours) {
    if (url == colour.address) {
      SetBackColor(colour.value);
      cancel = true;
      return;
    }
  }
}

void frm_FileCreate::closeEvent(QCloseEvent* event) {
  Form_Unload();
  event->accept();
}

void frm_FileCreate::Form_Unload() {
  for (const char* name : {"frmLogin", "frmFtp", "frm_Upload"}) forms::UnloadByName(name);
  // The debug, test and network setup windows end with the process.
  forms::End();
}

}  // namespace app
