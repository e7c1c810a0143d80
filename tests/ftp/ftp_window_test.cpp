// The FTP client window and its login dialog through their real widgets against a real FTP
// server on 127.0.0.1, every dialog answered by the forms runtime's test hook. The local pane
// works in the process's current directory: each test runs in a scratch directory of its own.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <filesystem>
#include <fstream>

#include "base/shared_values.h"
#include "forms/default_instance.h"
#include "forms/dialog_hook.h"
#include "forms/msgbox.h"
#include "forms/web_browser.h"
#include "frm_FileCreate.h"
#include "ftp/frm_Ftp.h"
#include "ftp/frm_Login.h"
#include "ftp_server.h"
#include "transfer_hooks.h"
#include "window_rules.h"
#include "window_test_support.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using ftp::frmFtp;
using ftp::frmLogin;
using test_support::FtpServer;
using test_support::FtpServerOptions;

namespace {

const char* const kAppTitle = "Corvane's Programmer / Debugger";

app::frm_FileCreate& Main() {
  return forms::DefaultInstance<app::frm_FileCreate>::Get();
}

std::vector<std::string> Rows(const QListWidget* list) {
  std::vector<std::string> rows;
  for (int i = 0; i < list->count(); ++i) rows.push_back(list->item(i)->text().toStdString());
  return rows;
}

std::vector<std::string> Rows(const QComboBox* box) {
  std::vector<std::string> rows;
  for (int i = 0; i < box->count(); ++i) rows.push_back(box->itemText(i).toStdString());
  return rows;
}

void Select(QListWidget* list, const std::string& text) {
  const auto found = list->findItems(QString::fromStdString(text), Qt::MatchExactly);
  ASSERT_EQ(found.size(), 1) << text;
  list->setCurrentItem(found.front());
}

using testsupport::Box;

class FtpWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    home = fs::current_path();
    local = fs::canonical(testsupport::MakeTempDir("ftp-local"));
    fs::current_path(local);
    settings = testsupport::MakeTempDir("ftp-settings") + "/Debugger.ini";
    base::Shared() = {};
    base::Shared().settings_file_path = settings;
    if (!Main().Mfp->isEnabled()) app::WireWindows(Main());
  }
  void TearDown() override {
    forms::DefaultInstance<frmFtp>::Unload();
    forms::DefaultInstance<frmLogin>::Unload();
    fs::current_path(home);
  }

  void Open() {
    Main().Mfp->trigger();
    ASSERT_TRUE(forms::DefaultInstance<frmFtp>::Exists());
    w = &forms::DefaultInstance<frmFtp>::Get();
    w->FTP1.SetTimeout(5);
  }
  // Connect through the login dialog, confirmed with the account given.
  void Connect(const FtpServer& server, const char* password = "secret") {
    QTimer::singleShot(0, [host = server.host(), password] {
      frmLogin& login = forms::DefaultInstance<frmLogin>::Get();
      login.txtHostName->setText(QString::fromStdString(host));
      login.txtUserName->setText(QStringLiteral("meter"));
      login.txtPassword->setText(QString::fromLatin1(password));
      login.cmdOK->click();
    });
    // A login that stays open is cancelled, so that the test never waits on it for ever.
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] {
      if (forms::DefaultInstance<frmLogin>::Exists())
        forms::DefaultInstance<frmLogin>::Get().cmdCancel->click();
    });
    guard.start(15000);
    w->cmdConnect->click();
  }
  std::vector<Box> Boxes() const { return testsupport::Boxes(dialogs); }
  std::string Trail() const { return w->txtPITrail->toPlainText().toStdString(); }
  std::string Remote() const { return w->FTP1.RemotePath(); }

  forms::ScriptedDialogs dialogs;
  fs::path home, local;
  std::string settings;
  frmFtp* w = nullptr;
};

TEST_F(FtpWindow, OpensModelessWithTheLocalDirectoryAndOnlyConnectAndExit) {
  fs::create_directory(local / "firmware");
  std::ofstream(local / "image.bin", std::ios::binary) << "12345678";
  Open();
  EXPECT_TRUE(w->isVisible());
  EXPECT_FALSE(w->isModal());
  EXPECT_EQ(w->windowTitle().toStdString(), "Client Ftp Module");
  EXPECT_EQ(Rows(w->lstLocal),
            (std::vector<std::string>{"<Dir> ..", "<Dir> firmware", "image.bin"}));
  EXPECT_EQ(w->lstLocal->item(2)->data(Qt::UserRole).toInt(), 8);
  EXPECT_EQ(Rows(w->cboLocal), (std::vector<std::string>{local.string()}));
  EXPECT_EQ(w->cboLocal->currentIndex(), 0);
  EXPECT_TRUE(Rows(w->lstRemote).empty());
  EXPECT_EQ(w->cmdConnect->text().toStdString(), "&Connect");
  EXPECT_TRUE(w->optMode[0]->isChecked());
  EXPECT_EQ(w->FTP1.TransferMode(), 0);
  EXPECT_FALSE(w->shpProgContainer->isVisible());
  for (QPushButton* b : w->findChildren<QPushButton*>())
    EXPECT_EQ(b->isEnabled(), b == w->cmdConnect || b == w->cmdExit)
        << b->objectName().toStdString();
  EXPECT_FALSE(Main().wb->isVisible());
  EXPECT_FALSE(Main().cmd_CreateFile->isEnabled());
  EXPECT_FALSE(Main().cmd_ReadRaw->isEnabled());
  EXPECT_TRUE(testsupport::UnnamedControls(w).empty());

  // Closing gives the main window's view and file buttons back, as the other task windows do.
  w->close();
  EXPECT_TRUE(testsupport::WaitFor([] { return !forms::DefaultInstance<frmFtp>::Exists(); }));
  EXPECT_TRUE(Main().wb->isVisible());
  EXPECT_TRUE(Main().cmd_CreateFile->isEnabled());
  EXPECT_TRUE(Main().cmd_ReadRaw->isEnabled());
}

TEST_F(FtpWindow, RemotePaneOffersTheParentBelowTheRootAndTheHistoryHoldsEachPathOnce) {
  FtpServer server;
  fs::create_directories(server.root() / "fw" / "old");
  std::ofstream(server.root() / "fw" / "meter.img", std::ios::binary) << std::string(300, 'm');
  Open();
  Connect(server);
  ASSERT_EQ(w->cmdConnect->text().toStdString(), "&Disconnect");
  EXPECT_TRUE(w->cmdRemoteDel->isEnabled());
  EXPECT_EQ(Rows(w->lstRemote), (std::vector<std::string>{"<Dir> fw"}));
  EXPECT_EQ(Rows(w->cboRemote), (std::vector<std::string>{"/"}));

  Select(w->lstRemote, "<Dir> fw");
  w->lstRemote_DblClick();
  EXPECT_EQ(Remote(), "/fw");
  EXPECT_EQ(Rows(w->lstRemote), (std::vector<std::string>{"<Dir> ..", "<Dir> old", "meter.img"}));
  EXPECT_EQ(w->lstRemote->item(2)->data(Qt::UserRole).toInt(), 300);
  EXPECT_EQ(Rows(w->cboRemote), (std::vector<std::string>{"/fw", "/"}));

  Select(w->lstRemote, "<Dir> ..");
  w->lstRemote_DblClick();
  EXPECT_NE(Trail().find("CLIENT: CWD /fw/..\n"), std::string::npos) << Trail();
  EXPECT_EQ(Remote(), "/");
  EXPECT_EQ(Rows(w->lstRemote), (std::vector<std::string>{"<Dir> fw"}));
  EXPECT_EQ(Rows(w->cboRemote), (std::vector<std::string>{"/", "/fw"}));

  // The top row is where we are: choosing it again sends nothing.
  const std::string before = Trail();
  w->cboRemote->setCurrentIndex(0);
  w->cboRemote_Click();
  EXPECT_EQ(Trail(), before);
  EXPECT_EQ(Rows(w->cboRemote), (std::vector<std::string>{"/", "/fw"}));
  w->cboRemote->setCurrentIndex(1);
  w->cboRemote_Click();
  EXPECT_EQ(Remote(), "/fw");
  EXPECT_EQ(Rows(w->cboRemote), (std::vector<std::string>{"/fw", "/"}));
  EXPECT_EQ(w->cboRemote->currentIndex(), 0);
  EXPECT_EQ(Rows(w->lstRemote).front(), "<Dir> ..");

  w->cmdConnect->click();
  EXPECT_EQ(w->cmdConnect->text().toStdString(), "&Connect");
  EXPECT_TRUE(Rows(w->lstRemote).empty());
  EXPECT_FALSE(w->cmdRemoteRefresh->isEnabled());
  EXPECT_FALSE(w->FTP1.Connected());
}

TEST_F(FtpWindow, TransfersMoveTheBytesInEachModeAndOverAnExistingFile) {
  FtpServer server;
  std::string all_bytes;
  for (int i = 0; i < 256; ++i) all_bytes += static_cast<char>(i);
  const std::string dos_text = "A,1\r\nB,2\r\n", unix_text = "A,1\nB,2\n";
  const struct {
    int mode;
    const char* name;
    std::string local, remote;  // the same file on each side
  } cases[] = {
      {2, "fw.bin", all_bytes, all_bytes},
      {2, "setup.txt", dos_text, dos_text},
      {0, "fw.bin", all_bytes, all_bytes},
      {0, "setup.txt", dos_text, unix_text},  // a text file goes as text
      {1, "fw.bin", dos_text, unix_text},
  };
  Open();
  Connect(server);
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.mode) + " " + c.name);
    w->optMode[static_cast<size_t>(c.mode)]->click();
    EXPECT_EQ(w->FTP1.TransferMode(), c.mode);
    fs::remove(server.root() / c.name);
    testsupport::WriteBytes((local / c.name).string(), c.local);
    w->cmdLocalRefresh->click();
    Select(w->lstLocal, c.name);
    w->cmdUpload->click();
    EXPECT_EQ(testsupport::ReadBytes((server.root() / c.name).string()), c.remote);
    EXPECT_EQ(w->lstRemote->findItems(QString::fromLatin1(c.name), Qt::MatchExactly).size(), 1);

    // Back down over a longer local file of the same name.
    testsupport::WriteBytes((local / c.name).string(), std::string(1000, '#'));
    Select(w->lstRemote, c.name);
    w->cmdDownload->click();
    EXPECT_EQ(testsupport::ReadBytes((local / c.name).string()), c.local);
    EXPECT_EQ(w->lstLocal->findItems(QString::fromLatin1(c.name), Qt::MatchExactly).size(), 1);
    EXPECT_EQ(w->lblDownUpLoad->text(), QString());
  }
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(FtpWindow, TransfersWithoutAFileRowSayWhy) {
  FtpServer server;
  fs::create_directory(server.root() / "dir");
  fs::create_directory(local / "dir");
  Open();
  Connect(server);
  const struct {
    const char* row;  // nullptr: nothing selected
    bool download;
    const char* message;
  } cases[] = {
      {nullptr, true, "No Remote File Selected"},
      {nullptr, false, "No Local File Selected"},
      {"<Dir> dir", true, "You cannot download directories"},
      {"<Dir> dir", false, "You cannot upload directories"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    dialogs.Clear();
    QListWidget* list = c.download ? w->lstRemote : w->lstLocal;
    list->clearSelection();
    list->setCurrentRow(-1);
    if (c.row) Select(list, c.row);
    (c.download ? w->cmdDownload : w->cmdUpload)->click();
    EXPECT_EQ(Boxes(), (std::vector<Box>{{c.message, kAppTitle, forms::vbOKOnly}}));
  }
  EXPECT_EQ(fs::directory_iterator(server.root() / "dir"), fs::directory_iterator());
}

TEST_F(FtpWindow, DeleteAnsweredNoDeletesNothingAndRefreshes) {
  FtpServer server;
  Open();
  Connect(server);
  for (bool remote : {false, true}) {
    SCOPED_TRACE(remote ? "remote" : "local");
    const fs::path dir = remote ? server.root() : local;
    QListWidget* list = remote ? w->lstRemote : w->lstLocal;
    QPushButton* del = remote ? w->cmdRemoteDel : w->cmdLocalDelete;
    std::ofstream(dir / "old.bin") << "x";
    (remote ? w->cmdRemoteRefresh : w->cmdLocalRefresh)->click();
    // Appears only through the refresh that follows the question.
    std::ofstream(dir / "new.bin") << "y";
    dialogs.Clear();
    dialogs.Answer(forms::vbNo);
    Select(list, "old.bin");
    del->click();
    EXPECT_EQ(Boxes(), (std::vector<Box>{{"old.bin will be permenantly deleted.  Are you sure?",
                                          "Delete File", forms::vbYesNo}}));
    EXPECT_TRUE(fs::exists(dir / "old.bin"));
    EXPECT_EQ(list->findItems(QStringLiteral("new.bin"), Qt::MatchExactly).size(), 1);

    // A directory row is not deleted and nothing is asked.
    fs::create_directory(dir / "keep");
    (remote ? w->cmdRemoteRefresh : w->cmdLocalRefresh)->click();
    dialogs.Clear();
    Select(list, "<Dir> keep");
    del->click();
    EXPECT_TRUE(dialogs.Calls().empty());
    EXPECT_TRUE(fs::exists(dir / "keep"));
  }
}

TEST_F(FtpWindow, LoginDialogKeepsAFailedLogOnOpenAndRemembersEveryConfirmation) {
  FtpServer server;
  base::Shared().ftp_server_address = "127.0.0.1:1";
  base::Shared().ftp_user_name = "tech";
  base::Shared().ftp_password = "before";
  frmLogin& login = forms::DefaultInstance<frmLogin>::Get();
  login.show();
  EXPECT_EQ(login.windowTitle().toStdString(), "Login");
  EXPECT_EQ(login.txtHostName->text().toStdString(), "127.0.0.1:1");
  EXPECT_EQ(login.txtUserName->text().toStdString(), "tech");
  EXPECT_EQ(login.txtPassword->text().toStdString(), "before");
  EXPECT_EQ(login.txtPassword->displayText().toStdString(), "******");
  EXPECT_TRUE(login.cmdOK->isDefault());
  EXPECT_EQ(login.cmdOK->text().toStdString(), "&OK");
  EXPECT_EQ(login.cmdCancel->text().toStdString(), "C&ancel");
  EXPECT_EQ(testsupport::TabWalk(login.txtHostName),
            (std::vector<std::string>{"txtHostName", "txtUserName", "txtPassword", "cmdOK",
                                      "cmdCancel"}));
  EXPECT_TRUE(testsupport::UnnamedControls(&login).empty());

  login.txtHostName->setText(QString::fromStdString(server.host()));
  login.txtUserName->setText(QStringLiteral("meter"));
  login.txtPassword->setText(QStringLiteral("wrong"));
  forms::DefaultInstance<frmFtp>::Get().FTP1.SetTimeout(5);
  login.cmdOK->click();
  EXPECT_EQ(Boxes(), (std::vector<Box>{{"Error: 12015 Log-in refused: 530 Authentication failed.",
                                        kAppTitle, forms::vbOKOnly}}));
  ASSERT_TRUE(forms::DefaultInstance<frmLogin>::Exists());
  EXPECT_FALSE(login.blnLoginStatus);
  EXPECT_TRUE(login.cmdOK->isEnabled());
  EXPECT_EQ(testsupport::ReadBytes(settings),
            "[Startup]\r\nUserName=meter\r\nPassword=wrong\r\n"
            "IPAddress=" +
                server.host() + "\r\n");
  EXPECT_EQ(base::Shared().ftp_password, "wrong");
  EXPECT_EQ(base::Shared().ftp_server_address, server.host());
  EXPECT_FALSE(forms::DefaultInstance<frmFtp>::Get().FTP1.Connected());

  // Escape is Cancel.
  login.blnLoginStatus = true;
  QTest::keyClick(login.txtPassword, Qt::Key_Escape);
  EXPECT_TRUE(testsupport::WaitFor([] { return !forms::DefaultInstance<frmLogin>::Exists(); }));
}

TEST_F(FtpWindow, KeysRunTheButtonsOfTheFocusedPane) {
  FtpServer server;
  Open();
  Connect(server);
  EXPECT_EQ(
      testsupport::TabWalk(w->cboLocal),
      (std::vector<std::string>{
          "cboLocal",       "lstLocal",         "lstRemote",      "cboRemote",   "cmdLocalRefresh",
          "cmdLocalDelete", "cmdLocalMakeDir",  "cmdLocalRename", "cmdLocalDir", "cmdDownload",
          "cmdUpload",      "cmdRemoteRefresh", "cmdRemoteDel",   "cmdRemoteMK", "cmdRemoteRename",
          "cmdRemoteCD",    "optMode_0",        "optMode_1",      "optMode_2",   "cmdConnect",
          "cmdCancel",      "cmdExit",          "txtPITrail"}));
  for (bool remote : {false, true}) {
    SCOPED_TRACE(remote ? "remote" : "local");
    const fs::path dir = remote ? server.root() : local;
    QListWidget* list = remote ? w->lstRemote : w->lstLocal;
    auto here = [&] { return remote ? Remote() : fs::current_path().string(); };
    const std::string top = here();
    fs::create_directory(dir / "sub");
    std::ofstream(dir / "f.txt") << "f";
    std::ofstream(dir / "taken.txt") << "t";

    QTest::keyClick(list, Qt::Key_F5);
    ASSERT_EQ(list->findItems(QStringLiteral("f.txt"), Qt::MatchExactly).size(), 1);
    Select(list, "<Dir> sub");
    QTest::keyClick(list, Qt::Key_Return);
    EXPECT_EQ(here(), remote ? "/sub" : (local / "sub").string());
    QTest::keyClick(list, Qt::Key_Backspace);
    EXPECT_EQ(here(), top);
    EXPECT_EQ(Rows(remote ? w->cboRemote : w->cboLocal).size(), 2u);

    dialogs.Clear();
    dialogs.Answer(std::string("k7"));
    QTest::keyClick(list, Qt::Key_F7);
    EXPECT_TRUE(fs::is_directory(dir / "k7"));
    EXPECT_EQ(list->findItems(QStringLiteral("<Dir> k7"), Qt::MatchExactly).size(), 1);
    dialogs.Answer(std::string("g.txt"));
    Select(list, "f.txt");
    QTest::keyClick(list, Qt::Key_F2);
    EXPECT_TRUE(fs::exists(dir / "g.txt"));
    EXPECT_FALSE(fs::exists(dir / "f.txt"));
    dialogs.Answer(forms::vbYes);
    Select(list, "g.txt");
    QTest::keyClick(list, Qt::Key_Delete);
    EXPECT_FALSE(fs::exists(dir / "g.txt"));
    EXPECT_TRUE(list->findItems(QStringLiteral("g.txt"), Qt::MatchExactly).isEmpty());
    dialogs.Answer(std::string("k7"));
    (remote ? w->cmdRemoteCD : w->cmdLocalDir)->click();
    EXPECT_EQ(here(), remote ? "/k7" : (local / "k7").string());
    EXPECT_EQ(Rows(list), std::vector<std::string>{"<Dir> .."});

    const std::vector<forms::DialogCall> calls = dialogs.Calls();
    ASSERT_EQ(calls.size(), 4u);
    const std::pair<std::string, std::string> asked[] = {
        {"Enter the directory:", "Make Directory"},
        {"Enter the new Filename :", "Rename File"},
        {"g.txt will be permenantly deleted.  Are you sure?", "Delete File"},
        {"Enter the directory:", "Change Directory"}};
    for (size_t i = 0; i < calls.size(); ++i)
      EXPECT_EQ(std::pair(calls[i].prompt, calls[i].title), asked[i]) << i;
    EXPECT_EQ(calls[1].initial, "f.txt");
    EXPECT_EQ(calls[3].initial, top);

    QTest::keyClick(list, Qt::Key_Backspace);
    QTest::keyClick(list, Qt::Key_Tab);
    EXPECT_EQ(w->focusWidget(), remote ? w->lstLocal : w->lstRemote);
  }

  // A local rename never replaces a file.
  std::ofstream(local / "other.txt") << "o";
  w->cmdLocalRefresh->click();
  dialogs.Clear();
  dialogs.Answer(std::string("taken.txt"));
  Select(w->lstLocal, "other.txt");
  w->cmdLocalRename->click();
  EXPECT_EQ(Boxes(),
            (std::vector<Box>{{"Error: 58 File already exists", kAppTitle, forms::vbOKOnly}}));
  EXPECT_EQ(testsupport::ReadBytes((local / "taken.txt").string()), "t");

  // Disconnected, the keys do what the disabled buttons do: nothing. Going up needs no button.
  w->cmdConnect->click();
  dialogs.Clear();
  std::ofstream(local / "late.txt") << "l";
  for (QListWidget* list : {w->lstLocal, w->lstRemote})
    for (Qt::Key key : {Qt::Key_F5, Qt::Key_F7, Qt::Key_F2, Qt::Key_Delete, Qt::Key_Backspace})
      QTest::keyClick(list, key);
  EXPECT_TRUE(dialogs.Calls().empty());
  EXPECT_TRUE(w->lstLocal->findItems(QStringLiteral("late.txt"), Qt::MatchExactly).isEmpty());
  EXPECT_EQ(fs::current_path(), local.parent_path());
}

// Transfers below are slowed by the server, so that they are still running when the test acts.
TEST_F(FtpWindow, ProgressBarFollowsALargeTransferFromTheSizeChosenAtItsStart) {
  FtpServerOptions o;
  o.rate_limit = 3 * 1024 * 1024;
  FtpServer server(o);
  // Beyond what loopback's socket buffers hold, so the data cannot arrive in one go.
  const int kSize = 12 * 1024 * 1024;
  testsupport::WriteBytes((server.root() / "down.img").string(), std::string(kSize, 'd'));
  testsupport::WriteBytes((local / "up.img").string(), std::string(kSize, 'u'));
  // Listed a thousand times larger: a bar measured against it would hardly move.
  for (const fs::path& dir : {server.root(), local}) {
    std::ofstream(dir / "huge.img");
    fs::resize_file(dir / "huge.img", 2048LL * 1024 * 1024 - 1);
  }
  Open();
  Connect(server);
  w->cmdLocalRefresh->click();
  for (bool download : {true, false}) {
    SCOPED_TRACE(download ? "download" : "upload");
    QListWidget* list = download ? w->lstRemote : w->lstLocal;
    struct Seen {
      bool visible;
      int width;
      std::string label;
    };
    std::vector<Seen> seen;
    auto forward = w->FTP1.events().Transfer;
    w->FTP1.events().Transfer = [&](int32_t bytes) {
      forward(bytes);
      seen.push_back({w->shpProgContainer->isVisible() && w->shpProg->isVisible(),
                      w->shpProg->width(), w->lblDownUpLoad->text().toStdString()});
      if (seen.size() == 1) Select(list, "huge.img");
    };
    Select(list, download ? "down.img" : "up.img");
    (download ? w->cmdDownload : w->cmdUpload)->click();
    w->FTP1.events().Transfer = forward;
    const int full = w->shpProgContainer->width();
    ASSERT_GE(seen.size(), 2u);
    bool partway = false;
    for (size_t i = 0; i < seen.size(); ++i) {
      EXPECT_TRUE(seen[i].visible) << i;
      EXPECT_EQ(seen[i].label, download ? "Download: " : "Upload: ") << i;
      if (i > 0) {
        EXPECT_GE(seen[i].width, seen[i - 1].width) << i;
      }
      partway |= seen[i].width > 0 && seen[i].width < full;
    }
    EXPECT_TRUE(partway);
    EXPECT_EQ(seen.back().width, full);
    EXPECT_FALSE(w->shpProgContainer->isVisible());
    EXPECT_EQ(w->lblDownUpLoad->text(), QString());
  }
  EXPECT_EQ(fs::file_size(local / "down.img"), static_cast<uintmax_t>(kSize));
  EXPECT_EQ(fs::file_size(server.root() / "up.img"), static_cast<uintmax_t>(kSize));
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(FtpWindow, CancelStopsARunningTransferAndTheWindowGoesOn) {
  FtpServer server(ftptest::Throttled());
  testsupport::WriteBytes((server.root() / "big.img").string(), std::string(ftptest::kSlowFileSize, 'b'));
  testsupport::WriteBytes((server.root() / "small.img").string(), "small");
  Open();
  Connect(server);
  bool cancelled = false;
  ftptest::OnFirstBytes(w->FTP1, [&] {
    cancelled = true;
    QTest::mouseClick(w->cmdCancel, Qt::LeftButton);
  });
  Select(w->lstRemote, "big.img");
  const auto start = std::chrono::steady_clock::now();
  w->cmdDownload->click();
  EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
  ASSERT_TRUE(cancelled);
  EXPECT_EQ(Boxes(), (std::vector<Box>{{"Error: 12017 The operation was interrupted", kAppTitle,
                                        forms::vbOKOnly}}));
  EXPECT_EQ(w->lblDownUpLoad->text(), QString());
  EXPECT_FALSE(w->shpProgContainer->isVisible());
  // Cancel gives back the main window's view, not its buttons.
  EXPECT_TRUE(Main().wb->isVisible());
  EXPECT_FALSE(Main().cmd_ReadRaw->isEnabled());

  // The window goes on: the stopped connection is closed and a new one works.
  EXPECT_TRUE(w->cmdDownload->isEnabled());
  if (w->cmdConnect->text() == QStringLiteral("&Disconnect")) w->cmdConnect->click();
  Connect(server);
  ASSERT_EQ(w->cmdConnect->text().toStdString(), "&Disconnect");
  Select(w->lstRemote, "small.img");
  w->cmdDownload->click();
  EXPECT_EQ(testsupport::ReadBytes((local / "small.img").string()), "small");
  EXPECT_EQ(Boxes().size(), 1u);
}

TEST_F(FtpWindow, UnloadedDuringATransferItStopsItAndGoesOnceItsHandlerReturns) {
  FtpServer server(ftptest::Throttled());
  testsupport::WriteBytes((server.root() / "big.img").string(), std::string(ftptest::kSlowFileSize, 'b'));
  Open();
  Connect(server);
  QPointer<frmFtp> window(w);
  bool unloaded = false;
  w->FTP1.events().Transfer = [&](int32_t bytes) {
    if (bytes == 0 || unloaded) return;
    unloaded = true;
    forms::UnloadByName("frmFtp");  // as the main window's close does
  };
  Select(w->lstRemote, "big.img");
  QTest::mouseClick(w->cmdDownload, Qt::LeftButton);
  ASSERT_TRUE(unloaded);
  EXPECT_EQ(Boxes(), (std::vector<Box>{{"Error: 12017 The operation was interrupted", kAppTitle,
                                        forms::vbOKOnly}}));
  EXPECT_FALSE(forms::DefaultInstance<frmFtp>::Exists());
  // Still there when its handler returned; gone at the event loop's next turn.
  ASSERT_FALSE(window.isNull());
  EXPECT_TRUE(testsupport::WaitFor(
      [&] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return window.isNull();
      },
      5000));
  EXPECT_TRUE(Main().cmd_ReadRaw->isEnabled());
}

TEST_F(FtpWindow, ExitEndsTheWholeProgram) {
  const int ends = testsupport::EndCalls();
  Open();
  w->cmdExit->click();
  EXPECT_TRUE(testsupport::WaitFor([] {
    return !forms::DefaultInstance<frmFtp>::Exists() &&
           !forms::DefaultInstance<app::frm_FileCreate>::Exists();
  }));
  EXPECT_EQ(testsupport::EndCalls(), ends + 1);
}

}  // namespace
