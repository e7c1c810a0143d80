// The upload window through its real widgets against a real FTP server on 127.0.0.1, with
// every dialog answered by the forms runtime's test hook. Runs in the one window test binary.
#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>

#include "base/shared_values.h"
#include "forms/default_instance.h"
#include "forms/dialog_hook.h"
#include "forms/msgbox.h"
#include "forms/web_browser.h"
#include "frm_FileCreate.h"
#include "ftp/frm_Upload.h"
#include "ftp_server.h"
#include "transfer_hooks.h"
#include "window_rules.h"
#include "window_test_support.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using ftp::frm_Upload;
using test_support::FtpServer;
using test_support::FtpServerOptions;

namespace {

const char* const kAppTitle = "Corvane's Programmer / Debugger";
const std::string kFile = "setup_1000000012345678.txt";
const std::string kBytes = "E,0,7,0,0,0,1,*\r\n";

std::string Read(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

app::frm_FileCreate& Main() {
  return forms::DefaultInstance<app::frm_FileCreate>::Get();
}

using testsupport::Box;

class UploadWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = testsupport::MakeTempDir("upload");
    settings = dir + "/Debugger.ini";
    base::Shared() = {};
    base::Shared().settings_file_path = settings;
    std::ofstream(dir + "/" + kFile, std::ios::binary) << kBytes;
    if (!Main().findChild<QAction*>(QStringLiteral("mnuUploadFile"))) app::WireWindows(Main());
    Open();
  }
  void TearDown() override { forms::DefaultInstance<frm_Upload>::Unload(); }

  void Open() {
    Main().findChild<QAction*>(QStringLiteral("mnuUploadFile"))->trigger();
    ASSERT_TRUE(forms::DefaultInstance<frm_Upload>::Exists());
    w = &forms::DefaultInstance<frm_Upload>::Get();
    w->FTP1.SetTimeout(5);
  }
  void Fill(const std::string& ip, const std::string& user, const std::string& pw) {
    w->txt_IP->setText(QString::fromStdString(ip));
    w->txt_uname->setText(QString::fromStdString(user));
    w->txt_PW->setText(QString::fromStdString(pw));
  }
  std::vector<Box> Boxes() const { return testsupport::Boxes(dialogs); }
  std::string Trail() const { return w->lPITrail->text().toStdString(); }
  // A test file large enough to be still moving when `act` runs, at the first bytes sent.
  void OnFirstBytes(std::function<void()> act) {
    std::ofstream(dir + "/" + kFile, std::ios::binary) << std::string(ftptest::kSlowFileSize, 'x');
    ftptest::OnFirstBytes(w->FTP1, std::move(act));
  }
  // Sends the test file, answering Yes to the confirmation.
  void Send() {
    dialogs.Answer(dir + "/" + kFile);
    dialogs.Answer(forms::vbYes);
    w->cmd_SendFile_Click();
  }

  forms::ScriptedDialogs dialogs;
  std::string dir, settings;
  frm_Upload* w = nullptr;
};

TEST_F(UploadWindow, FilesMenuOpensItAndItsCloseGivesBackTheMainButtons) {
  QAction* entry = Main().findChild<QAction*>(QStringLiteral("mnuUploadFile"));
  EXPECT_EQ(entry->text().toStdString(), "Upload File...");
  EXPECT_TRUE(Main().findChild<QMenu*>(QStringLiteral("mnuFiles"))->actions().contains(entry));
  EXPECT_TRUE(w->isVisible());
  EXPECT_FALSE(w->isModal());
  EXPECT_EQ(w->windowTitle().toStdString(), "File Upload");
  EXPECT_EQ(testsupport::TabWalk(w->txt_IP),
            (std::vector<std::string>{"txt_IP", "txt_uname", "txt_PW", "cmd_SendFile",
                                      "Cmd_LogOn", "Cmd_LogOff"}));
  EXPECT_TRUE(testsupport::UnnamedControls(w).empty());
  EXPECT_FALSE(Main().wb->isVisible());
  EXPECT_FALSE(Main().cmd_CreateFile->isEnabled());
  EXPECT_FALSE(Main().cmd_ReadRaw->isEnabled());
  w->close();
  EXPECT_TRUE(testsupport::WaitFor([] { return !forms::DefaultInstance<frm_Upload>::Exists(); }));
  EXPECT_TRUE(Main().wb->isVisible());
  EXPECT_TRUE(Main().cmd_CreateFile->isEnabled());
  EXPECT_TRUE(Main().cmd_ReadRaw->isEnabled());
}

TEST_F(UploadWindow, LogOnTurnsTheLampGreenAndLogOffRed) {
  FtpServer server;
  EXPECT_EQ(w->Shape1->FillColor(), ftp::kLampRed);
  Fill(server.host(), "meter", "secret");
  QTest::mouseClick(w->Cmd_LogOn, Qt::LeftButton);
  EXPECT_EQ(w->Shape1->FillColor(), 0x0000FF00);
  EXPECT_TRUE(w->cmd_SendFile->isEnabled());
  EXPECT_FALSE(w->Cmd_LogOn->isEnabled());
  EXPECT_TRUE(w->Cmd_LogOff->isEnabled());
  EXPECT_TRUE(w->LogOnIssued());
  EXPECT_TRUE(Boxes().empty());
  QTest::mouseClick(w->Cmd_LogOff, Qt::LeftButton);
  EXPECT_EQ(w->Shape1->FillColor(), 0x000000FF);
  EXPECT_FALSE(w->cmd_SendFile->isEnabled());
  EXPECT_EQ(Trail(), "INFO:   Disconnected");
  EXPECT_TRUE(w->Cmd_LogOn->isEnabled());
  EXPECT_FALSE(w->Cmd_LogOff->isEnabled());
}

TEST_F(UploadWindow, MissingEntriesStopTheLogOn) {
  FtpServer server;
  struct Case {
    std::string ip, user, pw, message;
  };
  const Case cases[] = {
      {"", "meter", "secret", "Please supply a valid FTP server IP Address."},
      {server.host(), "", "secret", "Please supply a valid FTP server user name."},
      {server.host(), "meter", "", "Please supply a valid FTP server password."},
      {"", "", "", "Please supply a valid FTP server IP Address."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    dialogs.Clear();
    Fill(c.ip, c.user, c.pw);
    w->Cmd_LogOn_Click();
    EXPECT_EQ(Boxes(), (std::vector<Box>{{c.message, "Mv900 File Upload", forms::vbCritical}}));
    EXPECT_FALSE(w->LogOnIssued());
    EXPECT_FALSE(w->FTP1.Connected());
    EXPECT_EQ(w->Shape1->FillColor(), ftp::kLampRed);
  }
  // The address check comes before the dialog's answer is used: nothing is sent.
  dialogs.Clear();
  Fill("", "meter", "secret");
  Send();
  EXPECT_EQ(Trail(), "Upload File: " + kFile);
  EXPECT_FALSE(fs::exists(server.root() / kFile));
  EXPECT_FALSE(fs::exists(settings));
  EXPECT_TRUE(w->cmd_SendFile->isEnabled());
}

TEST_F(UploadWindow, RefusedLogOnShowsTheError) {
  FtpServer server;
  Fill(server.host(), "meter", "wrong");
  w->Cmd_LogOn_Click();
  EXPECT_EQ(Boxes(), (std::vector<Box>{{"Log-in refused: 530 Authentication failed. | 12015",
                                        kAppTitle, forms::vbOKOnly}}));
  EXPECT_EQ(w->Shape1->FillColor(), ftp::kLampRed);
  EXPECT_TRUE(w->Cmd_LogOn->isEnabled());
  EXPECT_FALSE(w->LogOnIssued());
}

TEST_F(UploadWindow, UploadSendsTheFileAndRemembersTheAccount) {
  FtpServer server;
  EXPECT_EQ(w->txt_IP->text(), QString());
  EXPECT_EQ(w->txt_uname->text(), QString());
  EXPECT_EQ(w->txt_PW->text(), QString());
  EXPECT_EQ(Trail(), "Upload File: Click 'Send' to select file.");
  Fill(server.host(), "meter", "secret");
  Send();
  EXPECT_EQ(Read(server.root() / kFile), kBytes);
  const std::string path = dir + "/" + kFile;
  EXPECT_EQ(Boxes(),
            (std::vector<Box>{{"File Name to be Uploaded to FTP Server is: " + path + " Continue?",
                               "Mv900 File Upload", forms::vbQuestion | forms::vbYesNo},
                              {"File Uploaded Successfully!", "Mv900 File Upload",
                               forms::vbExclamation}}));
  EXPECT_EQ(dialogs.Calls().front().prompt, "Text Files(*.txt)|*.txt");
  EXPECT_FALSE(w->FTP1.Connected());
  EXPECT_TRUE(w->cmd_SendFile->isEnabled());
  EXPECT_EQ(Read(settings), "[Startup]\r\nUserName=meter\r\nPassword=secret\r\nIPAddress=" +
                                server.host() + "\r\n");
  EXPECT_EQ(base::Shared().current_file_name, kFile);

  forms::DefaultInstance<frm_Upload>::Unload();
  Open();
  EXPECT_EQ(w->txt_IP->text().toStdString(), server.host());
  EXPECT_EQ(w->txt_uname->text(), QStringLiteral("meter"));
  EXPECT_EQ(w->txt_PW->text(), QStringLiteral("secret"));
}

TEST_F(UploadWindow, CancelAndNoChangeNothing) {
  FtpServer server;
  Fill(server.host(), "meter", "secret");
  w->cmd_SendFile_Click();  // no scripted path: the dialog is cancelled
  EXPECT_EQ(Trail(), "Upload File: Click 'Send' to select file.");
  EXPECT_EQ(dialogs.Calls().size(), 1u);
  EXPECT_TRUE(w->cmd_SendFile->isEnabled());

  dialogs.Answer(dir + "/" + kFile);
  dialogs.Answer(forms::vbNo);
  w->cmd_SendFile_Click();
  EXPECT_EQ(Trail(), "Upload File: " + kFile);
  EXPECT_FALSE(fs::exists(server.root() / kFile));
  EXPECT_FALSE(fs::exists(settings));
  EXPECT_TRUE(w->cmd_SendFile->isEnabled());
  EXPECT_FALSE(w->LogOnIssued());

  dialogs.Clear();
  dialogs.Answer(dir + "/missing.txt");
  w->cmd_SendFile_Click();
  EXPECT_EQ(Boxes(), (std::vector<Box>{{"File not found! Please create or select a file first "
                                        "before proceeding...",
                                        "Mv900 File Upload", forms::vbCritical}}));
  EXPECT_FALSE(fs::exists(settings));
}

// Uploads below are larger than loopback's socket buffers hold, so that they are still running
// when the test acts.
TEST_F(UploadWindow, ServerKilledDuringTheUpload) {
  FtpServer server(ftptest::Throttled());
  OnFirstBytes([&] { server.Kill(); });
  std::vector<std::string> trail;
  auto trail_forward = w->FTP1.events().ProtocolTrail;
  w->FTP1.events().ProtocolTrail = [&](int16_t d, const std::string& l) {
    trail.push_back(l);
    trail_forward(d, l);
  };
  Fill(server.host(), "meter", "secret");
  const auto start = std::chrono::steady_clock::now();
  Send();
  EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
  ASSERT_EQ(Boxes().size(), 2u);
  EXPECT_EQ(Boxes()[1], (Box{"Error: 12030 Disconnected: the connection to the server was lost",
                            kAppTitle, forms::vbOKOnly}));
  EXPECT_NE(std::find(trail.begin(), trail.end(), "Disconnected"), trail.end());
  EXPECT_EQ(w->Shape1->FillColor(), ftp::kLampRed);
  EXPECT_TRUE(w->Cmd_LogOn->isEnabled());
  EXPECT_TRUE(w->cmd_SendFile->isEnabled());
  EXPECT_FALSE(fs::exists(settings));
}

TEST_F(UploadWindow, ClosingDuringAnUploadStopsItAndKeepsTheWindow) {
  FtpServer server(ftptest::Throttled());
  OnFirstBytes([&] { w->close(); });
  Fill(server.host(), "meter", "secret");
  Send();
  ASSERT_EQ(Boxes().size(), 2u);
  EXPECT_EQ(Boxes()[1], (Box{"Error: 12017 The operation was interrupted", kAppTitle,
                            forms::vbOKOnly}));
  EXPECT_TRUE(forms::DefaultInstance<frm_Upload>::Exists());
  EXPECT_TRUE(w->isVisible());
  EXPECT_TRUE(w->cmd_SendFile->isEnabled());
  EXPECT_FALSE(fs::exists(settings));
}

TEST_F(UploadWindow, SilentServerEndsWithinTheTimeout) {
  FtpServer server;
  w->FTP1.SetTimeout(2);
  auto forward = w->FTP1.events().ProtocolTrail;
  w->FTP1.events().ProtocolTrail = [&](int16_t d, const std::string& l) {
    forward(d, l);
    if (l.starts_with("211 ")) server.Pause();  // after the log-on's last reply
  };
  Fill(server.host(), "meter", "secret");
  const auto start = std::chrono::steady_clock::now();
  Send();
  const auto took = std::chrono::steady_clock::now() - start;
  server.Resume();
  EXPECT_LT(took, 8s);
  ASSERT_EQ(Boxes().size(), 2u);
  EXPECT_EQ(Boxes()[1], (Box{"Error: 12002 Timeout: the server did not answer within 2 seconds",
                            kAppTitle, forms::vbOKOnly}));
  EXPECT_TRUE(w->cmd_SendFile->isEnabled());
  EXPECT_TRUE(w->Cmd_LogOn->isEnabled());
  EXPECT_FALSE(fs::exists(settings));
}

TEST_F(UploadWindow, TrailLinesAndTheLamp) {
  struct Case {
    int16_t direction;
    const char* line;
    const char* label;  // nullptr: unchanged
    bool green;
  };
  const Case cases[] = {
      {1, "230 User Logged In", "SERVER: 230 User Logged In", false},
      {1, "230 LOGGED IN", "SERVER: 230 LOGGED IN", false},
      {0, "password ok", "CLIENT: password ok", false},
      {3, "logged in", nullptr, true},  // no label, but the words still count
      {2, "Disconnected", "INFO:   Disconnected", false},
      {0, "USER Password OK", "CLIENT: USER Password OK", true},
      {1, "230 logged in", "SERVER: 230 logged in", true},  // already green: stays so
  };
  std::string last = Trail();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    w->FTP1_ProtocolTrail(c.direction, c.line);
    if (c.label) last = c.label;
    EXPECT_EQ(Trail(), last);
    EXPECT_EQ(w->Shape1->FillColor(), c.green ? ftp::kLampGreen : ftp::kLampRed);
    EXPECT_EQ(w->LoginConfirmed(), c.green);
    EXPECT_EQ(w->Cmd_LogOn->isEnabled(), !c.green);
  }
  w->FTP1_Transfer(1024);
  EXPECT_EQ(Trail(), "TRANSFER: 1024 bytes");
  w->FTP1_Error(421, "Service not available");
  EXPECT_EQ(Boxes(), (std::vector<Box>{{"Error!: 421 | Service not available", "FTP Error",
                                        forms::vbExclamation}}));
}

TEST_F(UploadWindow, FileExistsOnlyForReadableFiles) {
  const std::string file = dir + "/" + kFile;
  for (auto [path, want] : {std::pair{file, true}, {dir, false}, {dir + "/none.txt", false},
                            {std::string(), false}})
    EXPECT_EQ(frm_Upload::FileExists(path), want) << path;
}

}  // namespace
