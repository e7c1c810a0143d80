// The forms runtime's pieces and their seams, in the window test binary (they need the
// QApplication and the real WebEngine view).
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <QApplication>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <filesystem>
#include <functional>
#include <new>
#include <stdexcept>

#include "forms/app.h"
#include "forms/application.h"
#include "forms/common_dialog.h"
#include "forms/default_instance.h"
#include "forms/dialog_hook.h"
#include "forms/msgbox.h"
#include "forms/runtime_error.h"
#include "forms/web_browser.h"
#include "window_test_support.h"

namespace {

using forms::ScriptedDialogs;

TEST(MsgBoxSeam, RecordsTextFlagsDefaultTitleAndAnswersFromTheScript) {
  ScriptedDialogs dialogs;
  dialogs.Answer(forms::vbNo);
  EXPECT_EQ(forms::MsgBox("Overwrite?", forms::vbYesNo + forms::vbQuestion, "Network Setup"),
            forms::vbNo);
  EXPECT_EQ(forms::MsgBox("Done"), forms::vbOK);
  EXPECT_EQ(forms::MsgBox("Sure?", forms::vbYesNo | forms::vbDefaultButton2), forms::vbNo);
  ASSERT_EQ(dialogs.Messages().size(), 3u);
  EXPECT_EQ(dialogs.Messages()[0].buttons, 36);
  EXPECT_EQ(dialogs.Messages()[0].title, "Network Setup");
  EXPECT_EQ(dialogs.Messages()[1].title, forms::App::Title());
}

TEST(MsgBoxSeam, InputBoxGivesScriptOrDefault) {
  ScriptedDialogs dialogs;
  EXPECT_EQ(forms::InputBox("Host?", "Test", "localhost"), "localhost");
  dialogs.Answer(std::string("127.0.0.1"));
  EXPECT_EQ(forms::InputBox("Host?"), "127.0.0.1");
}

TEST(CommonDialogSeam, ChosenPathAndTitleAndCancelGivesEmpty) {
  ScriptedDialogs dialogs;
  forms::CommonDialog dialog;
  dialog.Filter = "Text Files(*.txt)|*.txt";
  dialog.InitDir = "/srv/files";
  dialogs.Answer(std::string("/srv/files/setup_1000000012345678.txt"));
  dialog.ShowOpen();
  EXPECT_EQ(dialog.FileName, "/srv/files/setup_1000000012345678.txt");
  EXPECT_EQ(dialog.FileTitle, "setup_1000000012345678.txt");
  EXPECT_EQ(dialogs.Calls().at(0).prompt, "Text Files(*.txt)|*.txt");
  EXPECT_EQ(dialogs.Calls().at(0).initial, "/srv/files");
  dialog.ShowOpen();
  EXPECT_EQ(dialog.FileName, "");
  EXPECT_EQ(dialog.FileTitle, "");
  EXPECT_EQ(forms::ToNameFilters("Text Files(*.txt)|*.txt|All|*.*"),
            "Text Files(*.txt) (*.txt);;All (*.*)");
}

class Probe : public QWidget {
 public:
  static constexpr const char* kFormName = "Probe";
  Probe() { ++created; }
  ~Probe() override { ++destroyed; }
  static inline int created = 0;
  static inline int destroyed = 0;
};

TEST(DefaultInstanceTest, CreatedOnFirstReferenceAndFreshAfterUnload) {
  EXPECT_FALSE(forms::DefaultInstance<Probe>::Exists());
  Probe& first = forms::DefaultInstance<Probe>::Get();
  EXPECT_EQ(&first, &forms::DefaultInstance<Probe>::Get());
  EXPECT_EQ(Probe::created, 1);
  EXPECT_FALSE(first.isVisible());
  first.setWindowTitle(QStringLiteral("changed"));
  forms::UnloadByName("Probe");
  EXPECT_FALSE(forms::DefaultInstance<Probe>::Exists());
  EXPECT_EQ(Probe::destroyed, 1);
  EXPECT_TRUE(forms::DefaultInstance<Probe>::Get().windowTitle().isEmpty());
  forms::DefaultInstance<Probe>::Unload();
  EXPECT_EQ(Probe::destroyed, 2);
}

class WebForm : public ::testing::Test {
 protected:
  void SetUp() override {
    browser_ = new forms::WebBrowser();
    dir_ = testsupport::MakeTempDir("webform");
  }
  void TearDown() override { delete browser_; }
  void Show(const std::string& html) {
    testsupport::WriteBytes(dir_ + "/page.htm", html);
    bool loaded = false;
    QObject::connect(browser_, &forms::WebBrowser::DocumentComplete,
                     [&](const QString&, bool ok) { loaded = ok; });
    browser_->Navigate(dir_ + "/page.htm");
    ASSERT_TRUE(testsupport::WaitFor([&] { return loaded; }));
  }
  QPointer<forms::WebBrowser> browser_;
  std::string dir_;
};

TEST_F(WebForm, NoPageOrNoFormReadsNothing) {
  EXPECT_FALSE(browser_->ReadForm("f").has_value());
  Show("<html><body><form name='g'><input name='a' value='1'></form></body></html>");
  EXPECT_FALSE(browser_->ReadForm("f").has_value());
  EXPECT_FALSE(browser_->WriteForm("f", {{"a", "2"}}));
}

TEST_F(WebForm, ReadsAndWritesEveryKindOfInput) {
  Show(
      "<html><body><form name='f'>"
      "<input name='t' value='a&quot;b'><input type='checkbox' name='c' checked>"
      "<input type='radio' name='r' value='1'><input type='radio' name='r' value='2' checked>"
      "<select name='s'><option value='-1'>-</option><option value='5' selected>5</option></select>"
      "</form></body></html>");
  auto inputs = browser_->ReadForm("f");
  ASSERT_TRUE(inputs.has_value());
  ASSERT_EQ(inputs->size(), 5u);
  EXPECT_EQ((*inputs)[0].value, "a\"b");
  EXPECT_TRUE((*inputs)[1].checked);
  EXPECT_FALSE((*inputs)[2].checked);
  EXPECT_TRUE((*inputs)[3].checked);
  EXPECT_EQ((*inputs)[4].type, "select-one");
  EXPECT_EQ((*inputs)[4].value, "5");

  ASSERT_TRUE(
      browser_->WriteForm("f", {{"t", "x');alert(1);//"}, {"c", "0"}, {"r", "1"}, {"s", "-1"}}));
  inputs = browser_->ReadForm("f");
  ASSERT_TRUE(inputs.has_value());
  EXPECT_EQ((*inputs)[0].value, "x');alert(1);//");
  EXPECT_FALSE((*inputs)[1].checked);
  EXPECT_TRUE((*inputs)[2].checked);
  EXPECT_FALSE((*inputs)[3].checked);
  EXPECT_EQ((*inputs)[4].value, "-1");
}

TEST_F(WebForm, BeforeNavigateCanCancel) {
  Show("<html><body><a id='l' href='other.htm'>x</a></body></html>");
  testsupport::WriteBytes(dir_ + "/other.htm", "<html><body>other</body></html>");
  std::vector<std::string> seen;
  browser_->BeforeNavigate = [&](const std::string& url, bool& cancel) {
    seen.push_back(url);
    cancel = true;
  };
  browser_->Evaluate(QStringLiteral("document.getElementById('l').click()"));
  ASSERT_TRUE(testsupport::WaitFor([&] { return !seen.empty(); }, 5000));
  EXPECT_EQ(seen.back(), "file://" + dir_ + "/other.htm");
  EXPECT_EQ(browser_->LocationURL(), "file://" + dir_ + "/page.htm");
}

// A real box (no hook): the text reaches it as plain text, never as markup.
TEST(MsgBox, ShowsItsTextAsPlainText) {
  Qt::TextFormat format = Qt::RichText;
  QString text;
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) return;
    format = box->textFormat();
    text = box->text();
    box->accept();
  });
  forms::MsgBox("<b>setup_1.txt</b> <img src=x>", forms::vbOKOnly, "Title");
  EXPECT_EQ(format, Qt::PlainText);
  EXPECT_EQ(text.toStdString(), "<b>setup_1.txt</b> <img src=x>");
}

TEST(MsgBox, InputBoxPromptIsPlainTextToo) {
  std::vector<Qt::TextFormat> formats;
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
    if (dialog == nullptr) return;
    for (const QLabel* label : dialog->findChildren<QLabel*>()) {
      if (label->text() == QStringLiteral("<i>Host?</i>")) formats.push_back(label->textFormat());
    }
    dialog->setTextValue(QStringLiteral("127.0.0.1"));
    dialog->accept();
  });
  EXPECT_EQ(forms::InputBox("<i>Host?</i>", "Test"), "127.0.0.1");
  EXPECT_EQ(formats, std::vector<Qt::TextFormat>{Qt::PlainText});
}

class Throwing : public QObject {
 public:
  explicit Throwing(std::function<void()> fault) : fault_(std::move(fault)) {}
  bool event(QEvent* e) override {
    if (e->type() == QEvent::User) fault_();
    return QObject::event(e);
  }

 private:
  std::function<void()> fault_;
};

// The last guard: whatever a handler lets through is shown, and events go on being delivered.
TEST(EventGuard, ShowsWhatNoHandlerCaughtAndKeepsRunning) {
  ASSERT_NE(dynamic_cast<forms::Application*>(QCoreApplication::instance()), nullptr);
  const struct {
    std::function<void()> fault;
    std::string shown;
  } cases[] = {
      {[] { throw forms::RuntimeError(forms::kErrPathFileAccess, "Path/File access error"); },
       "Unexpected failure: Path/File access error"},
      {[] { throw std::bad_alloc(); }, "Unexpected failure: Out of memory"},
      {[] { throw std::logic_error("pattern engine"); }, "Unexpected failure: pattern engine"},
      {[] { throw 42; }, "Unexpected failure: unknown"},
  };
  for (const auto& c : cases) {
    ScriptedDialogs dialogs;
    Throwing target(c.fault);
    QEvent event(QEvent::User);
    EXPECT_NO_THROW(QCoreApplication::sendEvent(&target, &event));
    ASSERT_EQ(dialogs.Messages().size(), 1u) << c.shown;
    EXPECT_EQ(dialogs.Messages()[0].prompt, c.shown);
    EXPECT_EQ(dialogs.Messages()[0].buttons, forms::vbCritical);
  }
  // A posted event after a failure is still delivered.
  bool delivered = false;
  Throwing after([&] { delivered = true; });
  QCoreApplication::postEvent(&after, new QEvent(QEvent::User));
  EXPECT_TRUE(testsupport::WaitFor([&] { return delivered; }, 5000));
}

}  // namespace
