#include <gtest/gtest.h>

#include <QAction>
#include <QCloseEvent>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>

#include "forms/app.h"
#include "forms/default_instance.h"
#include "forms/web_browser.h"
#include "frm_FileCreate.h"
#include "window_test_support.h"

using app::frm_FileCreate;
using testsupport::WaitFor;

namespace {

frm_FileCreate& Main() {
  return forms::DefaultInstance<frm_FileCreate>::Get();
}

QAction* FindAction(const char* name) {
  return Main().findChild<QAction*>(QString::fromLatin1(name));
}

TEST(MainWindow, StartsWithFixedLayoutCaptionAndTitle) {
  frm_FileCreate& w = Main();
  EXPECT_EQ(w.windowTitle().toStdString(), "Corvane Programmer / Discover IP / Debugger");
  EXPECT_EQ(forms::App::Title(), "Corvane's Programmer / Debugger");
  EXPECT_EQ(w.centralWidget()->size(), QSize(777, 615));
  EXPECT_EQ(w.wb->geometry(), QRect(8, 8, 761, 571));
  EXPECT_EQ(w.cmd_ReadRaw->geometry(), QRect(8, 586, 100, 25));
  EXPECT_EQ(w.cmd_CreateFile->geometry(), QRect(120, 586, 100, 25));
  EXPECT_EQ(w.cmd_ReadRaw->text().toStdString(), "Read File");
  EXPECT_EQ(w.cmd_CreateFile->text().toStdString(), "Create File");
}

// Tab goes from "Create File" (index 1) to "Read File" (index 2); each control announces its
// caption, the view its control name.
TEST(MainWindow, KeyboardOrderAndAnnouncedNames) {
  frm_FileCreate& w = Main();
  for (QPushButton* button : {w.cmd_CreateFile, w.cmd_ReadRaw}) button->setEnabled(true);
  EXPECT_EQ(testsupport::TabWalk(w.cmd_CreateFile),
            (std::vector<std::string>{"cmd_CreateFile", "cmd_ReadRaw"}));
  EXPECT_EQ(w.cmd_CreateFile->accessibleName().toStdString(), "Create File");
  EXPECT_EQ(w.cmd_ReadRaw->accessibleName().toStdString(), "Read File");
  EXPECT_EQ(w.wb->accessibleName().toStdString(), "wb");
  EXPECT_EQ(testsupport::UnnamedControls(&w), std::vector<std::string>{});

  // F10 opens the menu bar; the rest of the program is reached from there.
  w.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&w, 5000));
  QTest::keyClick(&w, Qt::Key_F10);
  EXPECT_EQ(w.menuBar()->activeAction(), w.m1->menuAction());
  QTest::keyClick(w.m1, Qt::Key_Escape);
  w.menuBar()->setActiveAction(nullptr);
  for (QPushButton* button : {w.cmd_CreateFile, w.cmd_ReadRaw}) button->setEnabled(false);
}

TEST(MainWindow, AfterStartUpButtonsAreOffAndViewHiddenWithoutAnEngine) {
  forms::DefaultInstance<frm_FileCreate>::Unload();  // whatever other windows' tests did to it
  frm_FileCreate& w = Main();
  EXPECT_TRUE(w.isVisible());
  EXPECT_FALSE(w.cmd_ReadRaw->isEnabled());
  EXPECT_FALSE(w.cmd_CreateFile->isEnabled());
  EXPECT_FALSE(w.wb->isVisible());
  EXPECT_FALSE(w.wb->HasEngine());
}

TEST(MainWindow, MenuHasItsEntriesInOrderAndTheInertOnesDoNothing) {
  frm_FileCreate& w = Main();
  QMenu* m1 = w.m1;
  ASSERT_NE(m1, nullptr);
  EXPECT_EQ(m1->title().toStdString(), "Menu");
  QStringList names;
  for (QAction* a : m1->actions()) names << a->objectName() + QLatin1Char('=') + a->text();
  EXPECT_EQ(names.join(QLatin1Char(',')).toStdString(),
            "line1=,mnuNW=Network Setup,line2=,=Upload,line4=,mnuDebug=Debug,line5=,"
            "mnuComms=Test Communications");
  QStringList upload;
  for (QAction* a : w.mnu_uploadX->actions())
    upload << a->objectName() + QLatin1Char('=') + a->text();
  EXPECT_EQ(upload.join(QLatin1Char(',')).toStdString(),
            "Mpg=Meter Program,line3=,Mfp=Meter Firmware");

  // Switched off and out of sight: nothing a user can choose.
  for (QAction* inert : {FindAction("mnuNW"), FindAction("Mpg")}) {
    ASSERT_NE(inert, nullptr);
    EXPECT_FALSE(inert->isVisible());
    EXPECT_FALSE(inert->isEnabled());
  }
}

TEST(MainWindow, GetAppPathEndsInOneSeparatorAndKeepsTheRoot) {
  EXPECT_EQ(Main().GetAppPath(), testsupport::AppDir() + "/");
  forms::App::SetPathOverride("/");
  EXPECT_EQ(Main().GetAppPath(), "/");
  forms::App::SetPathOverride(testsupport::AppDir());
}

class HostColours : public ::testing::Test {
 protected:
  void SetUp() override {
    page_ = testsupport::MakeTempDir("colours") + "/links.htm";
    testsupport::WriteBytes(page_,
                            "<html><body>"
                            "<a id='red' href='vbo:red'>r</a><a id='green' href='vbo:green'>g</a>"
                            "<a id='blue' href='vbo:blue'>b</a><a id='GREEN' href='VBO:GREEN'>G</a>"
                            "</body></html>");
    Load();
  }
  void Load() {
    bool loaded = false;
    auto c = QObject::connect(Main().wb, &forms::WebBrowser::DocumentComplete,
                              [&](const QString&, bool ok) { loaded = ok; });
    Main().wb->Navigate(page_);
    ASSERT_TRUE(WaitFor([&] { return loaded; }));
    QObject::disconnect(c);
  }
  void Click(const char* id) {
    Main().wb->Evaluate(
        QStringLiteral("document.getElementById('%1').click()").arg(QLatin1String(id)));
  }
  std::string PageUrl() const { return "file://" + page_; }
  std::string page_;
};

TEST_F(HostColours, LinksRecolourTheWindowAndThePageStays) {
  frm_FileCreate& w = Main();
  const struct {
    const char* id;
    std::int32_t colour;
  } cases[] = {{"green", 65280}, {"red", 255}, {"blue", 16711680}};
  for (const auto& c : cases) {
    Click(c.id);
    EXPECT_TRUE(WaitFor([&] { return w.BackColor() == c.colour; }, 5000)) << c.id;
    EXPECT_EQ(w.wb->LocationURL(), PageUrl());
  }
  // The page is still there and still answers.
  auto title = w.wb->Evaluate(QStringLiteral("document.getElementById('red').textContent"));
  ASSERT_TRUE(title.has_value());
  EXPECT_EQ(title->toString().toStdString(), "r");
}

TEST_F(HostColours, CapitalisedAddressNavigatesAndLeavesTheColour) {
  frm_FileCreate& w = Main();
  w.SetBackColor(0x00C0C0C0);
  Click("GREEN");
  EXPECT_TRUE(WaitFor([&] { return w.wb->LocationURL() != PageUrl(); }, 5000));
  EXPECT_EQ(w.wb->LocationURL(), "vbo:GREEN");
  EXPECT_EQ(w.BackColor(), 0x00C0C0C0);
}

}  // namespace

namespace {

std::vector<std::string> unloaded;

template <const char* Name>
class ClosingProbe : public QWidget {
 public:
  static constexpr const char* kFormName = Name;

 protected:
  void closeEvent(QCloseEvent* event) override {
    unloaded.emplace_back(Name);
    QWidget::closeEvent(event);
  }
};

constexpr char kLogin[] = "frmLogin";
constexpr char kFtp[] = "frmFtp";
constexpr char kUpload[] = "frm_Upload";
constexpr char kDebug[] = "frm_Debug";

TEST(MainWindow, ClosingUnloadsLoginFtpAndUploadInOrderAndLeavesTheOthers) {
  unloaded.clear();
  const int ends = testsupport::EndCalls();
  // Created in another order than they are unloaded.
  forms::DefaultInstance<ClosingProbe<kDebug>>::Get();
  forms::DefaultInstance<ClosingProbe<kUpload>>::Get();
  forms::DefaultInstance<ClosingProbe<kFtp>>::Get();
  forms::DefaultInstance<ClosingProbe<kLogin>>::Get();
  Main().close();
  EXPECT_EQ(unloaded, (std::vector<std::string>{"frmLogin", "frmFtp", "frm_Upload"}));
  EXPECT_EQ(testsupport::EndCalls(), ends + 1);
  EXPECT_FALSE(forms::DefaultInstance<ClosingProbe<kLogin>>::Exists());
  EXPECT_FALSE(forms::DefaultInstance<ClosingProbe<kUpload>>::Exists());
  EXPECT_TRUE(forms::DefaultInstance<ClosingProbe<kDebug>>::Exists());
  EXPECT_TRUE(
      testsupport::WaitFor([] { return !forms::DefaultInstance<frm_FileCreate>::Exists(); }, 5000));
  forms::DefaultInstance<ClosingProbe<kDebug>>::Unload();
  // A new reference starts the main window afresh.
  EXPECT_FALSE(Main().cmd_CreateFile->isEnabled());
}

}  // namespace
