// The debug trail window with the real Marlet control, registered into a scratch registry and
// created by class id, against a meter played by a UDP socket on 127.0.0.1. No test polls the
// window's initial broadcast address: each sets the address before it presses Start.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QRegularExpression>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <algorithm>
#include <filesystem>
#include <optional>

#include "app/frm_FileCreate.h"
#include "app/window_rules.h"
#include "base/clock.h"
#include "debug/frm_Debug.h"
#include "forms/default_instance.h"
#include "forms/dialog_hook.h"
#include "forms/web_browser.h"
#include "support/loopback_peers.h"
#include "support/file_bytes.h"
#include "window_test_support.h"

namespace {

using debug::frm_Debug;
using testsupport::UdpPeer;

constexpr base::LocalTime kTime{2026, 12, 8, 15, 4, 5};
constexpr char kStamp[] = "12/8/2026 3:04:05 PM";
const std::string kWarning = std::string("Warning! No network connection to Taluro meter @: ") + kStamp;

class DebugWindow : public testing::Test {
 protected:
  static bool OwnNetwork() { return std::getenv("DEBUG_OWN_NETWORK") != nullptr; }
  static void SetUpTestSuite() {
    if (!OwnNetwork()) return;
    const char* old = std::getenv("OLE_REGISTRY");
    old_registry_ = old ? old : "";
    setenv("OLE_REGISTRY", (testsupport::MakeTempDir("debug-registry") + "/registry.txt").c_str(), 1);
    QProcess regsvr;
    regsvr.start(QStringLiteral(DEBUG_REGSVR_PATH), {QStringLiteral("/s"), QStringLiteral(DEBUG_MARLETLIB_PATH)});
    ASSERT_TRUE(regsvr.waitForFinished(30000));
    ASSERT_EQ(regsvr.exitCode(), 0) << regsvr.readAllStandardError().toStdString();
  }
  static void TearDownTestSuite() {
    if (!OwnNetwork()) return;
    if (old_registry_.empty()) {
      unsetenv("OLE_REGISTRY");
    } else {
      setenv("OLE_REGISTRY", old_registry_.c_str(), 1);
    }
  }
  void SetUp() override {
    // The meter's port is fixed: these run as test_windows_debug, in a network namespace where
    // no other run holds it.
    if (!OwnNetwork()) GTEST_SKIP() << "run by test_windows_debug";
    meter_.emplace(debug::kMeterPort, std::chrono::milliseconds(20000));
    base::SetTestTime(kTime);
    std::filesystem::remove_all(LogPath());
  }
  void TearDown() override {
    forms::DefaultInstance<frm_Debug>::Unload();
    base::SetTestTime(std::nullopt);
    std::filesystem::remove_all(LogPath());
  }

  static std::string LogPath() { return testsupport::AppDir() + "/Debug_Report.Txt"; }
  static std::string Log() {
    return std::filesystem::exists(LogPath()) ? testsupport::ReadBytes(LogPath()) : "<none>";
  }
  static frm_Debug& Open(const std::string& address) {
    frm_Debug& w = forms::DefaultInstance<frm_Debug>::Get();
    w.txt_Mv_IPAddress->setText(QString::fromStdString(address));
    return w;
  }
  static std::vector<std::string> Rows(const frm_Debug& w) {
    std::vector<std::string> rows;
    for (int i = 0; i < w.lstResponse->count(); ++i) rows.push_back(w.lstResponse->item(i)->text().toStdString());
    return rows;
  }
  static std::string Caption(const frm_Debug& w) { return w.windowTitle().toStdString(); }
  // Presses Start and runs the first tick now rather than a second later; gives the port the
  // control bound, once its readiness row is in.
  static uint16_t StartAndTick(frm_Debug& w) {
    w.cmd_StartStop->click();
    w.Timer_Process_Timer();
    LONG port = 0;
    EXPECT_EQ(w.Marlet1->get_LocalPort(&port), S_OK);
    EXPECT_TRUE(testsupport::WaitFor([&] { return !Rows(w).empty(); }, 5000));
    EXPECT_EQ(Rows(w), std::vector<std::string>{debug::kReadyRow});
    w.lstResponse->clear();
    return static_cast<uint16_t>(port);
  }

  forms::ScriptedDialogs dialogs_;
  // The meter's debug port, so that the window's requests reach a socket and nothing answers
  // with an unreachable port.
  std::optional<UdpPeer> meter_;
  static inline std::string old_registry_;
};

TEST_F(DebugWindow, OpensIdleWithItsControlsInOrderAndTheControlsStoredValues) {
  frm_Debug& w = Open("127.0.0.1");
  w.show();
  EXPECT_TRUE(dialogs_.Messages().empty());
  EXPECT_EQ(Caption(w), "Corvane's Debugger");
  EXPECT_EQ(w.cmd_StartStop->text().toStdString(), "Start");
  EXPECT_FALSE(w.Timer_Process->isActive());
  EXPECT_EQ(w.Timer_Process->interval(), 1000);
  EXPECT_FALSE(w.Chk_LogData->isChecked());
  EXPECT_EQ(w.Chk_LogData->text().toStdString(), "Log Data Upon Receipt");
  EXPECT_EQ(w.lbl_UDPIP->buddy(), w.txt_Mv_IPAddress);
  EXPECT_EQ(testsupport::TabWalk(w.lstResponse),
            (std::vector<std::string>{"lstResponse", "cmd_StartStop", "cmd_Clear", "txt_Mv_IPAddress",
                                      "cmd_Write2File", "Chk_LogData"}));
  EXPECT_TRUE(testsupport::UnnamedControls(&w).empty());
  // The bottom row, left to right.
  const QWidget* row[] = {w.cmd_StartStop, w.lbl_UDPIP, w.txt_Mv_IPAddress, w.Chk_LogData, w.cmd_Clear, w.cmd_Write2File};
  for (size_t i = 1; i < std::size(row); ++i) EXPECT_LT(row[i - 1]->x(), row[i]->x()) << i;
  EXPECT_GT(w.cmd_StartStop->y(), w.lstResponse->y() + w.lstResponse->height() - 1);
  forms::DefaultInstance<frm_Debug>::Unload();
  EXPECT_EQ(Open("x").txt_Mv_IPAddress->text(), QStringLiteral("x"));
  forms::DefaultInstance<frm_Debug>::Unload();
  EXPECT_EQ(forms::DefaultInstance<frm_Debug>::Get().txt_Mv_IPAddress->text().toStdString(), "255.255.255.255");

  marlet::IMarlet* c = forms::DefaultInstance<frm_Debug>::Get().Marlet1.get();
  ASSERT_TRUE(c);
  const struct {
    HRESULT (marlet::IMarlet::*get)(LONG*);
    LONG value;
  } stored[] = {{&marlet::IMarlet::get_InBufferSize, 2048}, {&marlet::IMarlet::get_LocalPort, 0},
                {&marlet::IMarlet::get_MaxPacketSize, 2048}, {&marlet::IMarlet::get_OutBufferSize, 2048},
                {&marlet::IMarlet::get_QOSFlags, 0}, {&marlet::IMarlet::get_RemotePort, 0},
                {&marlet::IMarlet::get_TimeToLive, 0}, {&marlet::IMarlet::get_SocketHandle, -1}};
  for (const auto& s : stored) {
    LONG v = 12345678;
    EXPECT_EQ((c->*s.get)(&v), S_OK);
    EXPECT_EQ(v, s.value);
  }
  VARIANT_BOOL on = 1;
  EXPECT_EQ(c->get_Active(&on), S_OK);
  EXPECT_EQ(on, VARIANT_FALSE);
}

TEST_F(DebugWindow, StartAndStopToggleTheTimerAndCaptionsAndTheFirstRequestWaitsOnePeriod) {
  frm_Debug& w = Open("127.0.0.1");
  w.cmd_StartStop->click();
  EXPECT_EQ(w.cmd_StartStop->text().toStdString(), "Stop");
  EXPECT_TRUE(w.Timer_Process->isActive());
  EXPECT_EQ(Caption(w), "Corvane's Debugger");
  ASSERT_TRUE(meter_->ok()) << "127.0.0.1:12345 stayed taken by another process";
  std::optional<testsupport::Datagram> request;
  auto requested = [&] { return (request = meter_->Receive(std::chrono::milliseconds(0))).has_value(); };
  EXPECT_FALSE(testsupport::WaitFor(requested, 300)) << "a request before the first tick";
  ASSERT_TRUE(testsupport::WaitFor(requested, 3000));
  EXPECT_EQ(request->data, "SendData");
  EXPECT_TRUE(testsupport::WaitFor([&] { return Caption(w) == std::string("Accessing: 127.0.0.1 @: ") + kStamp; }, 3000));
  // The meter answers the request's source: the answer is listed.
  meter_->SendTo(request->port, "trace 1");
  EXPECT_TRUE(testsupport::WaitFor([&] { return Rows(w).size() >= 2; }, 5000));
  // Readiness comes once, before or among the first answers.
  std::vector<std::string> rows = Rows(w);
  std::sort(rows.begin(), rows.end());
  EXPECT_EQ(rows, (std::vector<std::string>{debug::kReadyRow, "trace 1"}));
  EXPECT_EQ(Caption(w), std::string("RxData @: ") + kStamp);

  w.cmd_StartStop->click();
  EXPECT_EQ(w.cmd_StartStop->text().toStdString(), "Start");
  EXPECT_FALSE(w.Timer_Process->isActive());
  EXPECT_EQ(Caption(w), "Debug Trail - Inactive");
  // Stopped, the control stays active: a late answer is still listed and logged.
  w.Chk_LogData->setChecked(true);
  meter_->SendTo(request->port, "late");
  EXPECT_TRUE(testsupport::WaitFor([&] { return Rows(w).size() == 3; }, 5000));
  EXPECT_EQ(Rows(w).back(), "late");
  EXPECT_EQ(Caption(w), std::string("RxData @: ") + kStamp);
  EXPECT_EQ(Log(), "late\r\n");
}

TEST_F(DebugWindow, EachDatagramIsSplitAtLineFeedsIntoRowsAndLogLines) {
  frm_Debug& w = Open("127.0.0.1");
  ASSERT_TRUE(meter_->ok());
  const uint16_t port = StartAndTick(w);
  ASSERT_NE(port, 0);
  const struct {
    std::string datagram;
    bool log;
    std::vector<std::string> rows;
    std::string log_text;
  } cases[] = {
      {"A\nB\n", true, {"A", "B", ""}, "A\r\nB\r\n\r\n"},
      {"x\r\ny\r\n", true, {"x\r", "y\r", ""}, "x\r\r\ny\r\r\n\r\n"},
      {"no line feed", true, {"no line feed"}, "no line feed\r\n"},
      {"\n\nC", false, {"", "", "C"}, "<none>"},
      {std::string("n\0l\n", 4), true, {std::string("n\0l", 3), ""}, std::string("n\0l\r\n\r\n", 7)},
  };
  for (const auto& c : cases) {
    w.lstResponse->clear();
    std::filesystem::remove(LogPath());
    w.Chk_LogData->setChecked(c.log);
    meter_->SendTo(port, c.datagram);
    EXPECT_TRUE(testsupport::WaitFor([&] { return Rows(w).size() >= c.rows.size(); }, 5000));
    testsupport::WaitFor([] { return false; }, 100);  // nothing more comes
    EXPECT_EQ(Rows(w), c.rows) << c.datagram;
    EXPECT_EQ(Log(), c.log_text) << c.datagram;
  }
}

TEST_F(DebugWindow, ControlErrorsAreListedExceptAnOverlongDatagram) {
  frm_Debug& w = Open("127.0.0.1");
  ASSERT_TRUE(meter_->ok());
  const uint16_t port = StartAndTick(w);
  // Longer than MaxPacketSize: the control reports 10040, the window stays silent.
  meter_->SendTo(port, std::string(3000, 'x'));
  meter_->SendTo(port, "after");
  EXPECT_TRUE(testsupport::WaitFor([&] { return !Rows(w).empty(); }, 5000));
  testsupport::WaitFor([] { return false; }, 100);
  EXPECT_EQ(Rows(w), std::vector<std::string>{"after"});

  // A request to a port nobody holds comes back unreachable: 10054 on the next receive.
  meter_.reset();
  ASSERT_TRUE(testsupport::PortIsFree(debug::kMeterPort));
  w.lstResponse->clear();
  w.Timer_Process_Timer();
  EXPECT_TRUE(testsupport::WaitFor([&] { return !Rows(w).empty(); }, 5000));
  EXPECT_EQ(Rows(w), std::vector<std::string>{"Error Code: 10054 Desc: Destination unreachable (service unavailable?)."});
}

TEST_F(DebugWindow, AHostThatCannotBeResolvedWarnsEverySecondAndPollingGoesOn) {
  // A label longer than 63 characters: refused by the resolver without a query.
  const std::string host = std::string(64, 'm') + ".invalid";
  frm_Debug& w = Open(host);
  w.cmd_StartStop->click();
  EXPECT_TRUE(testsupport::WaitFor([&] { return Rows(w).size() >= 4; }, 4000));
  EXPECT_EQ(Rows(w), (std::vector<std::string>{kWarning, "", kWarning, ""}));
  EXPECT_EQ(Caption(w), "Accessing: " + host + " @: " + kStamp);
  EXPECT_TRUE(w.Timer_Process->isActive());
  EXPECT_TRUE(dialogs_.Messages().empty());
}

TEST_F(DebugWindow, LogOutputAppendsTheListClearKeepsTheFileAndWriteFailuresBecomeRows) {
  frm_Debug& w = Open("127.0.0.1");
  w.cmd_Write2File->click();
  EXPECT_EQ(Log(), "<none>");
  ASSERT_EQ(dialogs_.Messages().size(), 1u);
  EXPECT_EQ(dialogs_.Messages()[0].prompt, "Debug Data Saved to File.");
  EXPECT_EQ(dialogs_.Messages()[0].title, "Corvane Debugger");
  EXPECT_EQ(dialogs_.Messages()[0].buttons, 0);

  w.Marlet1_DataIn("one\ntwo", "127.0.0.1", 1);
  w.cmd_Write2File->click();
  w.cmd_Write2File->click();
  EXPECT_EQ(Log(), "one\r\ntwo\r\none\r\ntwo\r\n");
  EXPECT_TRUE(w.cmd_Write2File->isEnabled());
  w.cmd_Clear->click();
  EXPECT_TRUE(Rows(w).empty());
  EXPECT_EQ(Log(), "one\r\ntwo\r\none\r\ntwo\r\n");

  // A log that cannot be opened: one row per failing write, and every row stays.
  std::filesystem::remove(LogPath());
  std::filesystem::create_directory(LogPath());
  w.Chk_LogData->setChecked(true);
  w.Marlet1_DataIn("a\nb", "127.0.0.1", 1);
  const std::string failed = "Log write failed: Path/File access error";
  EXPECT_EQ(Rows(w), (std::vector<std::string>{"a", failed, "b", failed}));
  w.cmd_Write2File->click();
  EXPECT_EQ(Rows(w).size(), 8u);
  EXPECT_EQ(Rows(w).back(), failed);
  EXPECT_TRUE(w.cmd_Write2File->isEnabled());
}

TEST_F(DebugWindow, TheListKeepsTheNewestRowsFollowsThemAndCopiesTheSelection) {
  frm_Debug& w = Open("127.0.0.1");
  w.show();
  w.Chk_LogData->setChecked(true);
  std::string datagram;
  for (int i = 0; i < debug::kMaxRows + 3; ++i) datagram += std::to_string(i) + (i + 1 < debug::kMaxRows + 3 ? "\n" : "");
  w.Marlet1_DataIn(datagram, "127.0.0.1", 1);
  ASSERT_EQ(w.lstResponse->count(), debug::kMaxRows);
  EXPECT_EQ(w.lstResponse->item(0)->text(), QStringLiteral("3"));
  EXPECT_EQ(Rows(w).back(), std::to_string(debug::kMaxRows + 2));
  // The log keeps every line.
  const std::string log = Log();
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), debug::kMaxRows + 3);

  QScrollBar* bar = w.lstResponse->verticalScrollBar();
  testsupport::WaitFor([&] { return bar->maximum() > 0 && bar->value() == bar->maximum(); }, 2000);
  EXPECT_EQ(bar->value(), bar->maximum());
  bar->setValue(10);
  w.Marlet1_DataIn("while reading", "127.0.0.1", 1);
  testsupport::WaitFor([] { return false; }, 50);
  EXPECT_EQ(bar->value(), 10) << "scrolled up: the view stays";

  w.cmd_Clear->click();
  w.Marlet1_DataIn("A\r\nB\nC\nD", "127.0.0.1", 1);
  w.lstResponse->item(0)->setSelected(true);
  w.lstResponse->item(2)->setSelected(true);
  w.lstResponse->setFocus();
  QTest::keyClick(w.lstResponse, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text().toStdString(), "A\r\nC\n");
}

TEST_F(DebugWindow, TheMenuOpensItAndClosingWhilePollingStopsEverythingAndGivesTheMainWindowBack) {
  auto& main = forms::DefaultInstance<app::frm_FileCreate>::Get();
  app::WireWindows(main);
  main.mnuDebug->trigger();
  ASSERT_TRUE(forms::DefaultInstance<frm_Debug>::Exists());
  frm_Debug& w = forms::DefaultInstance<frm_Debug>::Get();
  EXPECT_TRUE(w.isVisible());
  EXPECT_TRUE(main.wb->isHidden());
  EXPECT_FALSE(main.cmd_ReadRaw->isEnabled());
  EXPECT_FALSE(main.cmd_CreateFile->isEnabled());

  w.txt_Mv_IPAddress->setText(QStringLiteral("127.0.0.1"));
  ASSERT_TRUE(meter_->ok());
  StartAndTick(w);
  w.Marlet1_DataIn("row", "127.0.0.1", 1);
  ole::ComPtr<marlet::IMarlet> control = w.Marlet1;
  VARIANT_BOOL on = VARIANT_FALSE;
  control->get_Active(&on);
  EXPECT_EQ(on, VARIANT_TRUE);

  QTimer* timer = w.Timer_Process;
  w.close();
  EXPECT_FALSE(timer->isActive());
  control->get_Active(&on);
  EXPECT_EQ(on, VARIANT_FALSE);
  control.reset();
  EXPECT_TRUE(testsupport::WaitFor([] { return !forms::DefaultInstance<frm_Debug>::Exists(); }, 3000));
  EXPECT_TRUE(main.cmd_ReadRaw->isEnabled());
  EXPECT_TRUE(main.cmd_CreateFile->isEnabled());
  EXPECT_FALSE(main.wb->isHidden());

  main.mnuDebug->trigger();
  frm_Debug& again = forms::DefaultInstance<frm_Debug>::Get();
  EXPECT_EQ(Caption(again), "Corvane's Debugger");
  EXPECT_EQ(again.cmd_StartStop->text().toStdString(), "Start");
  EXPECT_FALSE(again.Timer_Process->isActive());
  EXPECT_TRUE(Rows(again).empty());
}

TEST_F(DebugWindow, AnUnregisteredControlIsNamedWithWhatToRun) {
  const std::string saved = std::getenv("OLE_REGISTRY");
  setenv("OLE_REGISTRY", (testsupport::MakeTempDir("debug-empty-registry") + "/registry.txt").c_str(), 1);
  frm_Debug& w = Open(std::string(64, 'm') + ".invalid");
  setenv("OLE_REGISTRY", saved.c_str(), 1);
  EXPECT_FALSE(w.Marlet1);
  ASSERT_EQ(dialogs_.Messages().size(), 1u);
  const forms::DialogCall m = dialogs_.Messages()[0];
  EXPECT_NE(m.prompt.find("{7E2A4C10-3B9D-4F21-A6C3-51D0E8B7F2A4}"), std::string::npos) << m.prompt;
  EXPECT_NE(m.prompt.find("regsvr libmarletlib.so"), std::string::npos) << m.prompt;
  EXPECT_EQ(m.title, "Corvane Debugger");
  // Without the control every tick warns rather than failing silently.
  w.Timer_Process_Timer();
  EXPECT_EQ(Rows(w), (std::vector<std::string>{kWarning, ""}));
}

TEST_F(DebugWindow, TheMeterSimulatorsTraceIsListedLineByLine) {
  meter_.reset();  // the simulator takes the meter's port
  const struct {
    QStringList options;
    const char* line;  // every listed trace line matches
  } cases[] = {
      {{QStringLiteral("--count"), QStringLiteral("3")}, "^Mv900 trace \\d{6}$"},
      {{QStringLiteral("--count"), QStringLiteral("3"), QStringLiteral("--crlf")},
       "^Mv900 trace \\d{6}\r$"},
      // The overlong first datagram is dropped without a row; the lines after it come.
      {{QStringLiteral("--count"), QStringLiteral("3"), QStringLiteral("--big")},
       "^Mv900 trace \\d{6}$"},
  };
  for (const auto& c : cases) {
    QProcess sim;
    sim.start(QStringLiteral(DEBUG_METER_SIM_PATH), c.options);
    ASSERT_TRUE(sim.waitForReadyRead(10000)) << sim.readAllStandardError().toStdString();
    ASSERT_TRUE(sim.readAllStandardOutput().startsWith("meter-sim listening on 127.0.0.1"));
    frm_Debug& w = Open("127.0.0.1");
    w.cmd_StartStop->click();
    w.Timer_Process_Timer();
    EXPECT_TRUE(testsupport::WaitFor([&] { return Rows(w).size() >= 5; }, 5000));
    testsupport::WaitFor([] { return false; }, 200);
    std::vector<std::string> rows = Rows(w);
    EXPECT_EQ(std::erase(rows, debug::kReadyRow), 1u);
    ASSERT_EQ(rows.size(), 4u) << c.line;
    const QRegularExpression line(QString::fromLatin1(c.line));
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(line.match(QString::fromStdString(rows[i])).hasMatch()) << rows[i];
    EXPECT_EQ(rows[3], "");
    forms::DefaultInstance<frm_Debug>::Unload();
    sim.terminate();
    EXPECT_TRUE(sim.waitForFinished(5000));
  }
}

}  // namespace
