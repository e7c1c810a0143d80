// The communications tests window through its real widgets, against servers on the services'
// own ports: chronyd on 127.0.0.1:123, a daytime service on 127.0.0.1:13, an FTP server. These
// tests run in a network namespace of their own (ctest test_windows_comms), where no other run
// holds those ports and nothing reaches beyond loopback; elsewhere they are skipped.
#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <cstdlib>
#include <regex>

#include "comms/frm_Test.h"
#include "forms/default_instance.h"
#include "forms/dialog_hook.h"
#include "frm_FileCreate.h"
#include "ftp_server.h"
#include "support/loopback_peers.h"
#include "ntp_server.h"
#include "window_rules.h"
#include "window_test_support.h"

using namespace std::chrono_literals;
using comms::frm_Test;

namespace {

const char* const kAppTitle = "Corvane's Programmer / Debugger";

frm_Test& Window() { return forms::DefaultInstance<frm_Test>::Get(); }

bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  return testsupport::WaitFor(done, static_cast<int>(limit.count()));
}

class CommsTestWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::getenv("COMMS_OWN_NETWORK") == nullptr) {
      GTEST_SKIP() << "runs in its own network namespace: ctest -R test_windows_comms";
    }
    frm_Test::SetWatchdogIntervalForTests(1500ms);
  }

  // Opens the window from the main window's menu and replaces every default server before
  // anything is pressed.
  frm_Test& Open(const std::string& sntp = "127.0.0.1", const std::string& daytime = "127.0.0.1",
                 const std::string& ftp = "127.0.0.1:1") {
    app::frm_FileCreate& main = forms::DefaultInstance<app::frm_FileCreate>::Get();
    if (!main.mnuComms->isEnabled()) app::WireWindows(main);  // as the program's start does
    QAction* entry = main.mnuComms;
    entry->trigger();
    frm_Test& w = Window();
    w.Combo1->setEditText(QString::fromStdString(sntp));
    w.Combo2->setEditText(QString::fromStdString(daytime));
    w.txt_Ftp_Server->setText(QString::fromStdString(ftp));
    w.txt_Ftp_Username->setText(QStringLiteral("meter"));
    w.txt_Ftp_Password->setText(QStringLiteral("secret"));
    return w;
  }

  void TearDown() override {
    forms::DefaultInstance<frm_Test>::Unload();
    frm_Test::SetWatchdogIntervalForTests(0ms);
  }

  static bool AllTestsEnabled(frm_Test& w) {
    return w.Cmd_SNTP->isEnabled() && w.Cmd_DayTime->isEnabled() && w.Cmd_FTP->isEnabled();
  }
  static bool NoTestEnabled(frm_Test& w) {
    return !w.Cmd_SNTP->isEnabled() && !w.Cmd_DayTime->isEnabled() && !w.Cmd_FTP->isEnabled();
  }

  forms::ScriptedDialogs dialogs_;
};

TEST_F(CommsTestWindow, OpensModalFromTheMenuWithItsTextsAndDefaults) {
  frm_Test& w = Open();
  EXPECT_TRUE(w.isVisible());
  EXPECT_EQ(w.windowModality(), Qt::ApplicationModal);
  EXPECT_EQ(w.windowTitle().toStdString(), "Communications Testing ");
  EXPECT_EQ(w.lbl_Caption->text().toStdString(),
            "This application will test SNTP, FTP client and Day Time Client communications.");
  EXPECT_EQ(w.lbl_Ftp_Client_Status->text().toStdString(), "Click Test to Execute...");
  EXPECT_EQ(w.Combo1->count(), 10);
  EXPECT_EQ(w.Combo2->count(), 7);
  EXPECT_EQ(w.Timer_Watchdog->interval(), 1500);
  EXPECT_FALSE(w.Timer_Watchdog->isActive());
  EXPECT_EQ(w.txt_Ftp_Password->echoMode(), QLineEdit::Normal);
  for (QPushButton* b : {w.Cmd_SNTP, w.Cmd_DayTime, w.Cmd_FTP}) {
    EXPECT_EQ(b->text().toStdString(), "Test");
  }
  EXPECT_EQ(testsupport::UnnamedControls(&w), std::vector<std::string>{});
  EXPECT_EQ(testsupport::TabWalk(w.Combo1),
            (std::vector<std::string>{"Combo1", "Cmd_SNTP", "Combo2", "Cmd_DayTime",
                                      "txt_Ftp_Server", "txt_Ftp_Username", "txt_Ftp_Password",
                                      "Cmd_FTP", "Cmd_Exit"}));
  w.Cmd_Exit->click();
  EXPECT_TRUE(WaitFor([] { return !forms::DefaultInstance<frm_Test>::Exists(); }, 5s));
}

TEST_F(CommsTestWindow, SntpLampTurnsGreenOnChronyOrAnyDatagram) {
  testsupport::NtpServer chrony;  // 127.0.0.1:123
  struct Case {
    std::string server;  // typed, not chosen from the list
    std::string verdict;
  } cases[] = {
      {"127.0.0.1", R"(Synchronised: stratum 10, leap 0 \(no warning\), offset [+-]0\.\d\d\d s)"},
      {"localhost", R"(Synchronised: stratum 10, .*)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.server);
    frm_Test& w = Open(c.server);
    w.Cmd_SNTP->click();
    EXPECT_EQ(w.SNTP_LED->ColorValue(), comms::kLampRed);
    ASSERT_TRUE(WaitFor([&] { return w.Cmd_SNTP->isEnabled(); }, 5s));
    EXPECT_EQ(w.SNTP_LED->ColorValue(), comms::kLampGreen);
    EXPECT_TRUE(std::regex_match(w.lbl_SNTP_Verdict->text().toStdString(), std::regex(c.verdict)))
        << w.lbl_SNTP_Verdict->text().toStdString();
    EXPECT_FALSE(w.Timer_Watchdog->isActive());
    forms::DefaultInstance<frm_Test>::Unload();
  }
}

TEST_F(CommsTestWindow, AnyDatagramIsAnAnswerAndSilenceWaitsForTheWatchdog) {
  struct Case {
    const char* reply;
    int lamp;
    std::string verdict;
  } cases[] = {
      {"hello", comms::kLampGreen, "Not a time reply (5 bytes)"},
      {"", comms::kLampRed, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.reply);
    std::string reply = c.reply;
    testsupport::UdpResponder peer([reply](const std::string&) { return reply; }, 123);
    frm_Test& w = Open();
    w.Cmd_SNTP->click();
    ASSERT_TRUE(WaitFor([&] { return AllTestsEnabled(w); }, 5s));
    EXPECT_EQ(w.SNTP_LED->ColorValue(), c.lamp);
    EXPECT_EQ(w.lbl_SNTP_Verdict->text().toStdString(), c.verdict);
    EXPECT_EQ(w.logic().WinSock.State(), controls::sckClosed);
    EXPECT_EQ(peer.requests().size(), 1u);
    EXPECT_TRUE(dialogs_.Calls().empty());
    forms::DefaultInstance<frm_Test>::Unload();
  }
}

TEST_F(CommsTestWindow, DaytimeAnswerOrRefusal) {
  {
    testsupport::DaytimeServer daytime(13);
    frm_Test& w = Open();
    w.Cmd_DayTime->click();
    ASSERT_TRUE(WaitFor([&] { return w.Cmd_DayTime->isEnabled(); }, 5s));
    EXPECT_EQ(w.DayTime_LED->ColorValue(), comms::kLampGreen);
    EXPECT_EQ(w.logic().Winsock1.State(), controls::sckClosed);
    EXPECT_EQ(daytime.connections(), 1);
    forms::DefaultInstance<frm_Test>::Unload();
  }
  frm_Test& w = Open();  // nothing on port 13 now
  w.Cmd_DayTime->click();
  ASSERT_TRUE(WaitFor([&] { return !dialogs_.Calls().empty(); }, 5s));
  ASSERT_EQ(dialogs_.Calls().size(), 1u);
  const forms::DialogCall& shown = dialogs_.Calls().front();
  EXPECT_EQ(shown.prompt, "Winsock_1 Error: 10061\r\nConnection is forcefully rejected");
  EXPECT_EQ(shown.title, kAppTitle);
  EXPECT_EQ(shown.buttons, forms::vbInformation);
  EXPECT_EQ(w.DayTime_LED->ColorValue(), comms::kLampRed);
  EXPECT_FALSE(w.Cmd_DayTime->isEnabled());  // the error does not end the test
  ASSERT_TRUE(WaitFor([&] { return AllTestsEnabled(w); }, 5s));
}

TEST_F(CommsTestWindow, FtpGoodAccountShowsTheStatesInOrder) {
  test_support::FtpServer server;
  frm_Test& w = Open("127.0.0.1", "127.0.0.1", server.host());
  std::vector<std::string> shown;
  QObject::connect(&w, &frm_Test::FtpStatusShown,
                   [&](const QString& text) { shown.push_back(text.toStdString()); });
  w.Cmd_FTP->click();  // runs the whole exchange inside the click, as the window does
  ASSERT_TRUE(WaitFor([&] { return w.Cmd_FTP->isEnabled(); }, 15s));
  EXPECT_EQ(w.FTP_LED->ColorValue(), comms::kLampGreen);
  ASSERT_GE(shown.size(), 13u);
  EXPECT_EQ(std::vector<std::string>(shown.begin(), shown.begin() + 6),
            (std::vector<std::string>{"Looking up IP address of host computer", "IP address found",
                                      "Connecting to host computer", "Connected",
                                      "Receiving a response from host computer",
                                      "Response received"}));
  EXPECT_EQ(std::vector<std::string>(shown.end() - 7, shown.end()),
            (std::vector<std::string>{"Sending a request to host computer", "Request sent",
                                      "Receiving a response from host computer",
                                      "Response received", "Disconnecting from host computer",
                                      "Disconnected", "Request completed"}));
  EXPECT_EQ(w.lbl_Ftp_Client_Status->text().toStdString(), "Request completed");
  EXPECT_FALSE(w.Timer_Watchdog->isActive());
}

TEST_F(CommsTestWindow, FtpBadPasswordLocksTheButtonsUntilTheWatchdog) {
  test_support::FtpServer server;
  frm_Test& w = Open("127.0.0.1", "127.0.0.1", server.host());
  w.txt_Ftp_Password->setText(QStringLiteral("wrong"));
  w.Cmd_FTP->click();
  EXPECT_EQ(w.lbl_Ftp_Client_Status->text().toStdString(), "Error 530 Authentication failed.");
  EXPECT_EQ(w.FTP_LED->ColorValue(), comms::kLampRed);
  EXPECT_TRUE(NoTestEnabled(w));
  ASSERT_TRUE(WaitFor([&] { return AllTestsEnabled(w); }, 5s));
  EXPECT_EQ(w.FTP_LED->ColorValue(), comms::kLampRed);
}

TEST_F(CommsTestWindow, WatchdogAtItsRealLength) {
  frm_Test::SetWatchdogIntervalForTests(0ms);  // the ten seconds
  testsupport::UdpResponder silent([](const std::string&) { return std::string(); }, 123);
  frm_Test& w = Open();
  EXPECT_EQ(w.Timer_Watchdog->interval(), 10000);
  const auto start = std::chrono::steady_clock::now();
  w.Cmd_SNTP->click();
  w.Cmd_DayTime->click();  // nothing on 13: its error shows, the shared watchdog ends both
  ASSERT_TRUE(WaitFor([&] { return w.Cmd_SNTP->isEnabled(); }, 15s));
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited, 9900ms);
  EXPECT_LT(waited, 12s);
  EXPECT_TRUE(AllTestsEnabled(w));
  EXPECT_EQ(w.SNTP_LED->ColorValue(), comms::kLampRed);
  EXPECT_EQ(w.DayTime_LED->ColorValue(), comms::kLampRed);
}

TEST_F(CommsTestWindow, ExitDuringATestClosesBothSockets) {
  testsupport::UdpResponder silent([](const std::string&) { return std::string(); }, 123);
  frm_Test& w = Open();
  w.Cmd_SNTP->click();
  w.logic().Winsock1.Connect("127.0.0.1", 13);
  EXPECT_NE(w.logic().WinSock.State(), controls::sckClosed);
  EXPECT_NE(w.logic().Winsock1.State(), controls::sckClosed);
  w.Cmd_Exit->click();
  // Hidden, its sockets closed; the window itself goes once the click has returned.
  EXPECT_FALSE(w.isVisible());
  EXPECT_EQ(w.logic().WinSock.State(), controls::sckClosed);
  EXPECT_EQ(w.logic().Winsock1.State(), controls::sckClosed);
  EXPECT_TRUE(NoTestEnabled(w));
  EXPECT_TRUE(WaitFor([] { return !forms::DefaultInstance<frm_Test>::Exists(); }, 5s));
}

}  // namespace
