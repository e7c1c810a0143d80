#include "frm_FileCreate.h"

#include <QAction>
#include <QCloseEvent>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QShortcut>

#include <variant>

#include "base/app_paths.h"
#include "base/shared_values.h"
#include "base/text_files.h"
#include "forms/app.h"
#include "forms/color.h"
#include "forms/default_instance.h"
#include "forms/do_events.h"
#include "forms/expose_probe.h"
#include "forms/geometry.h"
#include "forms/msgbox.h"
#include "forms/runtime_error.h"
#include "forms/test_log.h"
#include "forms/web_browser.h"
#include "forms/widgets.h"
#include "program/program_file.h"
#include "program/program_form.h"
#include "program/program_page.h"

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

int ShowBox(const program::Message& m) {
  return forms::MsgBox(m.prompt, m.buttons, m.title);
}

std::vector<program::PageInput> ToPageInputs(const forms::FormInputs& inputs) {
  std::vector<program::PageInput> out;
  out.reserve(inputs.size());
  for (const auto& i : inputs) out.push_back({i.name, i.type, i.value, i.checked});
  return out;
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

  connect(cmd_ReadRaw, &QPushButton::clicked, this, [this] { cmd_ReadRaw_Click(); });
  connect(cmd_CreateFile, &QPushButton::clicked, this, [this] { cmd_CreateFile_Click(); });

  // Tab order follows the tab indexes: "Create File" first, then "Read File", then the page.
  forms::SetTabChain({cmd_CreateFile, cmd_ReadRaw, wb});
  // The view takes the focus through the page it shows; it has neither caption nor label.
  wb->setAccessibleName(QStringLiteral("wb"));
  forms::NameControls(this);
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
  // F10 opens the menu bar, as on the desktops our technicians use: the menus, and through
  // them every other window, without a mouse. The captions stay as they are named.
  auto* to_menu = new QShortcut(QKeySequence(Qt::Key_F10), this);
  connect(to_menu, &QShortcut::activated, this, [this] {
    menuBar()->setFocus(Qt::ShortcutFocusReason);
    menuBar()->setActiveAction(m1->menuAction());
  });
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
  return base::WithTrailingSeparator(forms::App::Path());
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

void frm_FileCreate::cmd_CreateFile_Click() {
  try {
    // Every input of the form in one round trip; no page or no form "f" writes nothing.
    auto inputs = wb->ReadForm(program::kFormName);
    if (!inputs) {
      ShowBox(program::NoFormMessage());
      return;
    }
    auto read = program::ReadFormValues(ToPageInputs(*inputs));
    if (read.refusal) {
      ShowBox(*read.refusal);
      return;
    }
    auto prepared = program::PrepareProgramFile(read.values);
    if (const auto* refusal = std::get_if<program::Message>(&prepared)) {
      ShowBox(*refusal);
      return;
    }
    const auto& file = std::get<program::ProgramFile>(prepared);
    base::Shared().current_file_name = file.file_name;
    program::SaveProgramFile(file, GetAppPath(), ShowBox);
  } catch (const std::exception& e) {
    ShowBox(program::ErrorBox(forms::DescriptionOf(e), program::kTitleModule));
  }
}

void frm_FileCreate::cmd_ReadRaw_Click() {
  try {
    const std::string raw_dir = forms::App::Path();
    // Without Program_Files the handler stops before anything changes.
    if (auto refusal = program::EnterProgramFilesDir(raw_dir)) {
      ShowBox(*refusal);
      return;
    }
    std::string& last_opened = base::Shared().last_opened_file_path;
    last_opened.clear();
    CommonDialog1.FileName.clear();
    CommonDialog1.Filter = "Text Files(*.txt)|*.txt";
    // The dialog is shared: whatever another window left as its start, it opens here.
    CommonDialog1.InitDir = raw_dir + "/Program_Files";
    CommonDialog1.ShowOpen();
    last_opened = CommonDialog1.FileName;
    if (last_opened.empty()) return;
    if (auto page = program::BuildProgramPage(last_opened, raw_dir, GetAppPath(), ShowBox)) {
      wb->Navigate(*page);
      forms::DoEvents();
    }
  } catch (const std::exception& e) {
    ShowBox(program::ErrorBox(forms::DescriptionOf(e), program::kTitleProgrammer));
  }
}

bool frm_FileCreate::Write_String_To_File(const std::string& StringToWrite,
                                          const std::string& FileNameIs) {
  return base::WriteStringToFile(StringToWrite, FileNameIs, ShowBox);
}

std::string frm_FileCreate::fnc_FileToString(const std::string& FilePath) {
  return base::FileToString(FilePath);
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
