#include "ftp/frm_Ftp.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>

#include "controls/idle_hook.h"
#include "forms/do_events.h"
#include "forms/msgbox.h"
#include "forms/widgets.h"
#include "forms/window_events.h"
#include "ftp/frm_Login.h"

namespace ftp {
namespace {

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

constexpr int kSizeRole = Qt::UserRole;

}  // namespace

frmFtp::frmFtp() {
  setObjectName(QString::fromLatin1(kFormName));
  setWindowTitle(QStringLiteral("Client Ftp Module"));
  BuildControls();
  forms::NameControls(this);
  auto& ev = FTP1.events();
  ev.ProtocolTrail = [this](int16_t d, const std::string& l) { logic_.OnTrail(d, l); };
  ev.Error = [this](int16_t code, const std::string& text) { logic_.OnError(code, text); };
  ev.DirEntry = [this](const std::string& name, bool dir, int32_t size) {
    logic_.OnDirEntry(name, dir, size);
  };
  ev.TransferStart = [this] { logic_.OnTransferStart(); };
  ev.Transfer = [this](int32_t bytes) { logic_.OnTransfer(bytes); };
  ev.TransferEnd = [this] { logic_.OnTransferEnd(); };
  // While the control waits on the server, Qt events run: the log, the list and the bar move,
  // and Cancel can be clicked.
  controls::SetIdleHook(&forms::DoEvents);
  FTP1.SetTransferMode(controls::FtpClient::kModeAuto);
  Form_Load();
}

frmFtp::~frmFtp() {
  if (!unloaded_) Form_Unload();
  FTP1.events() = {};
}

QWidget* frmFtp::BuildPane(Pane pane) {
  const bool local = pane == Pane::kLocal;
  auto* box = new QWidget;
  auto* column = new QVBoxLayout(box);
  column->setContentsMargins(0, 0, 0, 0);
  QComboBox* history = forms::MakeList(local ? "cboLocal" : "cboRemote");
  history->setAccessibleName(local ? QStringLiteral("Local directories")
                                   : QStringLiteral("Remote directories"));
  auto* list = new QListWidget;
  list->setObjectName(local ? QStringLiteral("lstLocal") : QStringLiteral("lstRemote"));
  list->setMinimumSize(240, 220);
  column->addWidget(forms::MakeLabel(local ? "&Local System" : "&Remote Host", list));
  column->addWidget(history);
  column->addWidget(list);
  auto* buttons = new QHBoxLayout;
  const char* names[] = {"cmdLocalRefresh", "cmdLocalDelete", "cmdLocalMakeDir", "cmdLocalRename",
                         "cmdLocalDir"};
  const char* remote_names[] = {"cmdRemoteRefresh", "cmdRemoteDel", "cmdRemoteMK",
                                "cmdRemoteRename", "cmdRemoteCD"};
  const char* captions[] = {"Refresh", "Delete", "Make Dir", "Rename", "Change Dir"};
  std::array<QPushButton*, 5> made{};
  for (size_t i = 0; i < made.size(); ++i) {
    made[i] = forms::MakeButton(local ? names[i] : remote_names[i], captions[i]);
    buttons->addWidget(made[i]);
  }
  column->addLayout(buttons);
  if (local) {
    cboLocal = history;
    lstLocal = list;
    cmdLocalRefresh = made[0];
    cmdLocalDelete = made[1];
    cmdLocalMakeDir = made[2];
    cmdLocalRename = made[3];
    cmdLocalDir = made[4];
  } else {
    cboRemote = history;
    lstRemote = list;
    cmdRemoteRefresh = made[0];
    cmdRemoteDel = made[1];
    cmdRemoteMK = made[2];
    cmdRemoteRename = made[3];
    cmdRemoteCD = made[4];
  }
  list->installEventFilter(this);
  history->installEventFilter(this);
  return box;
}

void frmFtp::BuildControls() {
  auto* column = new QVBoxLayout(this);
  auto* panes = new QHBoxLayout;
  panes->addWidget(BuildPane(Pane::kLocal));
  auto* arrows = new QVBoxLayout;
  cmdDownload = forms::MakeButton("cmdDownload", "<---");
  cmdUpload = forms::MakeButton("cmdUpload", "--->");
  // The arrows say nothing to a screen reader.
  cmdDownload->setAccessibleName(QStringLiteral("Download"));
  cmdUpload->setAccessibleName(QStringLiteral("Upload"));
  arrows->addStretch();
  arrows->addWidget(cmdDownload);
  arrows->addWidget(cmdUpload);
  arrows->addStretch();
  panes->addLayout(arrows);
  panes->addWidget(BuildPane(Pane::kRemote));
  column->addLayout(panes);

  auto* controls_row = new QHBoxLayout;
  QGroupBox* mode = forms::MakeGroup("TransferMode", "fraTransferMode");
  auto* mode_row = new QHBoxLayout(mode);
  const char* mode_captions[] = {"Auto", "ASCII", "Binary"};
  for (int i = 0; i < 3; ++i) {
    auto* option = new QRadioButton(QString::fromLatin1(mode_captions[i]));
    option->setObjectName(QStringLiteral("optMode_%1").arg(i));
    mode_row->addWidget(option);
    optMode[static_cast<size_t>(i)] = option;
    connect(option, &QRadioButton::clicked, this, [this, i] { Run([&] { optMode_Click(i); }); });
  }
  optMode[0]->setChecked(true);
  controls_row->addWidget(mode);
  controls_row->addStretch();
  cmdConnect = forms::MakeButton("cmdConnect", kConnectCaption);
  cmdCancel = forms::MakeButton("cmdCancel", "C&ancel");
  cmdExit = forms::MakeButton("cmdExit", "&Exit");
  for (QPushButton* b : {cmdConnect, cmdCancel, cmdExit}) controls_row->addWidget(b);
  column->addLayout(controls_row);

  auto* progress_row = new QHBoxLayout;
  lblDownUpLoad = new QLabel;
  lblDownUpLoad->setObjectName(QStringLiteral("lblDownUpLoad"));
  lblDownUpLoad->setMinimumWidth(80);
  shpProgContainer = new QFrame;
  shpProgContainer->setObjectName(QStringLiteral("shpProgContainer"));
  shpProgContainer->setFrameShape(QFrame::Box);
  shpProgContainer->setFixedSize(400, 14);
  shpProg = new QFrame(shpProgContainer);
  shpProg->setObjectName(QStringLiteral("shpProg"));
  shpProg->setAutoFillBackground(true);
  QPalette fill = shpProg->palette();
  fill.setColor(QPalette::Window, QColor(0, 0, 128));
  shpProg->setPalette(fill);
  shpProg->setGeometry(0, 0, 0, shpProgContainer->height());
  progress_row->addWidget(lblDownUpLoad);
  progress_row->addWidget(shpProgContainer);
  progress_row->addStretch();
  column->addLayout(progress_row);
  shpProgContainer->hide();

  txtPITrail = new QPlainTextEdit;
  txtPITrail->setObjectName(QStringLiteral("txtPITrail"));
  txtPITrail->setAccessibleName(QStringLiteral("FTP conversation"));
  txtPITrail->setReadOnly(true);
  // The caret can still be moved (the log is written at it) and the text copied.
  txtPITrail->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  txtPITrail->setTabChangesFocus(true);
  txtPITrail->setMinimumHeight(120);
  column->addWidget(txtPITrail);

  const std::pair<QPushButton*, void (frmFtp::*)()> handlers[] = {
      {cmdConnect, &frmFtp::cmdConnect_Click},
      {cmdLocalRefresh, &frmFtp::cmdLocalRefresh_Click},
      {cmdLocalDelete, &frmFtp::cmdLocalDelete_Click},
      {cmdLocalMakeDir, &frmFtp::cmdLocalMakeDir_Click},
      {cmdLocalRename, &frmFtp::cmdLocalRename_Click},
      {cmdLocalDir, &frmFtp::cmdLocalDir_Click},
      {cmdRemoteRefresh, &frmFtp::cmdRemoteRefresh_Click},
      {cmdRemoteDel, &frmFtp::cmdRemoteDel_Click},
      {cmdRemoteMK, &frmFtp::cmdRemoteMK_Click},
      {cmdRemoteRename, &frmFtp::cmdRemoteRename_Click},
      {cmdRemoteCD, &frmFtp::cmdRemoteCD_Click},
      {cmdDownload, &frmFtp::cmdDownload_Click},
      {cmdUpload, &frmFtp::cmdUpload_Click},
      {cmdCancel, &frmFtp::cmdCancel_Click},
      {cmdExit, &frmFtp::cmdExit_Click},
  };
  for (const auto& [button, handler] : handlers) {
    connect(button, &QPushButton::clicked, this,
            [this, h = handler] { Run([&] { (this->*h)(); }); });
  }
  connect(lstLocal, &QListWidget::itemDoubleClicked, this,
          [this] { Run([&] { lstLocal_DblClick(); }); });
  connect(lstRemote, &QListWidget::itemDoubleClicked, this,
          [this] { Run([&] { lstRemote_DblClick(); }); });
  connect(cboLocal, &QComboBox::activated, this, [this] { Run([&] { cboLocal_Click(); }); });
  connect(cboRemote, &QComboBox::activated, this, [this] { Run([&] { cboRemote_Click(); }); });

  // The panes side by side, then what acts on them, then the window's own buttons.
  forms::SetTabChain({cboLocal,        lstLocal,       lstRemote,       cboRemote,
                      cmdLocalRefresh, cmdLocalDelete, cmdLocalMakeDir, cmdLocalRename,
                      cmdLocalDir,     cmdDownload,    cmdUpload,       cmdRemoteRefresh,
                      cmdRemoteDel,    cmdRemoteMK,    cmdRemoteRename, cmdRemoteCD,
                      optMode[0],      optMode[1],     optMode[2],      cmdConnect,
                      cmdCancel,       cmdExit,        txtPITrail});
}

bool frmFtp::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return QWidget::eventFilter(watched, event);
  const Pane pane = (watched == lstLocal || watched == cboLocal) ? Pane::kLocal : Pane::kRemote;
  const bool local = pane == Pane::kLocal;
  const auto* key = static_cast<QKeyEvent*>(event);
  if (key->modifiers() & ~Qt::KeypadModifier) return QWidget::eventFilter(watched, event);
  // Keys of a two-pane file manager. Those with a button press it, so they do what it does and
  // nothing while it is out of use.
  QPushButton* button = nullptr;
  switch (key->key()) {
    case Qt::Key_F5:
      button = local ? cmdLocalRefresh : cmdRemoteRefresh;
      break;
    case Qt::Key_Delete:
      button = local ? cmdLocalDelete : cmdRemoteDel;
      break;
    case Qt::Key_F2:
      button = local ? cmdLocalRename : cmdRemoteRename;
      break;
    case Qt::Key_F7:
      button = local ? cmdLocalMakeDir : cmdRemoteMK;
      break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      if (watched != List(pane)) return QWidget::eventFilter(watched, event);
      local ? Run([&] { lstLocal_DblClick(); }) : Run([&] { lstRemote_DblClick(); });
      return true;
    case Qt::Key_Backspace:
      Run([&] { logic_.Up(pane); });
      return true;
    case Qt::Key_Tab:
      if (watched != List(pane)) return QWidget::eventFilter(watched, event);
      List(local ? Pane::kRemote : Pane::kLocal)->setFocus(Qt::TabFocusReason);
      return true;
    default:
      return QWidget::eventFilter(watched, event);
  }
  if (button->isEnabled()) button->click();
  return true;
}

template <typename F>
void frmFtp::Run(F&& handler) {
  ++depth_;
  struct Leave {
    int& depth;
    ~Leave() { --depth; }
  } leave{depth_};
  handler();
}

void frmFtp::Form_Load() {
  forms::Announce(kFormName, forms::WindowEvent::kLoaded);
  logic_.Load();
}

void frmFtp::closeEvent(QCloseEvent* event) {
  // A handler waits on the server below us: closing now would delete the window under it.
  // The operation is stopped instead; its handler reports that and the window stays.
  if (depth_ > 0) {
    FTP1.Interrupt();
    event->ignore();
    return;
  }
  if (!unloaded_) Form_Unload();
  event->accept();
}

void frmFtp::Form_Unload() {
  unloaded_ = true;
  logic_.Unload();
  forms::Announce(kFormName, forms::WindowEvent::kUnloaded);
}

void frmFtp::cmdConnect_Click() {
  logic_.Connect();
}
void frmFtp::cmdLocalRefresh_Click() {
  logic_.Refresh(Pane::kLocal);
}
void frmFtp::cmdLocalDelete_Click() {
  logic_.Delete(Pane::kLocal);
}
void frmFtp::cmdLocalMakeDir_Click() {
  logic_.MakeDir(Pane::kLocal);
}
void frmFtp::cmdLocalRename_Click() {
  logic_.Rename(Pane::kLocal);
}
void frmFtp::cmdLocalDir_Click() {
  logic_.ChangeDir(Pane::kLocal);
}
void frmFtp::cmdRemoteRefresh_Click() {
  logic_.Refresh(Pane::kRemote);
}
void frmFtp::cmdRemoteDel_Click() {
  logic_.Delete(Pane::kRemote);
}
void frmFtp::cmdRemoteMK_Click() {
  logic_.MakeDir(Pane::kRemote);
}
void frmFtp::cmdRemoteRename_Click() {
  logic_.Rename(Pane::kRemote);
}
void frmFtp::cmdRemoteCD_Click() {
  logic_.ChangeDir(Pane::kRemote);
}
void frmFtp::cmdDownload_Click() {
  logic_.Download();
}
void frmFtp::cmdUpload_Click() {
  logic_.Upload();
}
void frmFtp::cmdCancel_Click() {
  logic_.Cancel();
}
void frmFtp::optMode_Click(int index) {
  logic_.SetMode(index);
}
void frmFtp::cboLocal_Click() {
  logic_.ChooseHistory(Pane::kLocal, cboLocal->currentIndex());
}
void frmFtp::cboRemote_Click() {
  logic_.ChooseHistory(Pane::kRemote, cboRemote->currentIndex());
}

void frmFtp::lstLocal_DblClick() {
  if (auto row = Selected(Pane::kLocal)) logic_.Open(Pane::kLocal, *row);
}

void frmFtp::lstRemote_DblClick() {
  if (auto row = Selected(Pane::kRemote)) logic_.Open(Pane::kRemote, *row);
}

void frmFtp::cmdExit_Click() {
  // Exit from inside a running transfer: stop it, and end once its handler has returned.
  if (depth_ > 1) {
    FTP1.Interrupt();
    QTimer::singleShot(50, this, [this] { Run([&] { cmdExit_Click(); }); });
    return;
  }
  forms::Announce(kFormName, forms::WindowEvent::kEndRequested);
}

QListWidget* frmFtp::List(Pane pane) const {
  return pane == Pane::kLocal ? lstLocal : lstRemote;
}

QComboBox* frmFtp::History(Pane pane) const {
  return pane == Pane::kLocal ? cboLocal : cboRemote;
}

void frmFtp::SetRows(Pane pane, const std::vector<PaneRow>& rows) {
  List(pane)->clear();
  for (const PaneRow& row : rows) AddRow(pane, row);
}

void frmFtp::AddRow(Pane pane, const PaneRow& row) {
  auto* item = new QListWidgetItem(Q(row.text));
  item->setData(kSizeRole, row.size);
  List(pane)->addItem(item);
}

std::optional<PaneRow> frmFtp::Selected(Pane pane) const {
  const QListWidgetItem* item = List(pane)->currentItem();
  if (item == nullptr || !item->isSelected()) return std::nullopt;
  return PaneRow{item->text().toStdString(), item->data(kSizeRole).toInt()};
}

void frmFtp::SetHistory(Pane pane, const std::vector<std::string>& paths) {
  QComboBox* box = History(pane);
  box->clear();
  for (const std::string& path : paths) box->addItem(Q(path));
  box->setCurrentIndex(paths.empty() ? -1 : 0);
}

void frmFtp::EnableButtons(bool on) {
  for (QPushButton* b : findChildren<QPushButton*>()) {
    if (b != cmdConnect && b != cmdExit) b->setEnabled(on);
  }
}

std::string frmFtp::ConnectCaption() const {
  return cmdConnect->text().toStdString();
}
void frmFtp::SetConnectCaption(const std::string& caption) {
  cmdConnect->setText(Q(caption));
}
void frmFtp::SetTransferLabel(const std::string& text) {
  lblDownUpLoad->setText(Q(text));
}
int frmFtp::ProgressContainerWidth() const {
  return shpProgContainer->width();
}

void frmFtp::SetProgressWidth(int width) {
  shpProg->setGeometry(0, 0, width, shpProgContainer->height());
}

void frmFtp::ShowProgress(bool on) {
  shpProgContainer->setVisible(on);
  shpProg->setVisible(on);
}

void frmFtp::InsertTrail(const std::string& text) {
  QString line = Q(text);
  line.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  QTextCursor caret = txtPITrail->textCursor();
  caret.insertText(line);
  txtPITrail->setTextCursor(caret);
}

int frmFtp::Show(const forms::Message& m) {
  return forms::Show(m);
}

std::string frmFtp::Ask(const std::string& prompt, const std::string& title,
                        const std::string& offered) {
  return forms::InputBox(prompt, title, offered);
}

bool frmFtp::ShowLogin() {
  return frmLogin::ShowModal();
}

void frmFtp::GiveBackMainView() {
  forms::Announce(kFormName, forms::WindowEvent::kCancelled);
}

}  // namespace ftp
