// The WebEngine side of the HTML view, loaded at run time.
#include <QCoreApplication>
#include <QPointer>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>
#include <QWebEngineUrlSchemeHandler>
#include <QWebEngineView>

#include "forms/web_view_backend.h"

namespace forms {
namespace {

const QByteArray kHostScheme = QByteArrayLiteral("vbo");

// Host addresses exist only to be intercepted before navigation; one that gets through
// (a spelling the window does not know) is answered as not found.
class HostSchemeHandler : public QWebEngineUrlSchemeHandler {
 public:
  using QWebEngineUrlSchemeHandler::QWebEngineUrlSchemeHandler;
  void requestStarted(QWebEngineUrlRequestJob* job) override {
    job->fail(QWebEngineUrlRequestJob::UrlNotFound);
  }
};

void RegisterHostScheme() {
  static bool done = false;
  if (done) return;
  done = true;
  QWebEngineUrlScheme scheme(kHostScheme);
  scheme.setSyntax(QWebEngineUrlScheme::Syntax::Path);
  scheme.setFlags(QWebEngineUrlScheme::LocalScheme | QWebEngineUrlScheme::LocalAccessAllowed);
  QWebEngineUrlScheme::registerScheme(scheme);
}

QWebEngineProfile* SharedProfile() {
  static QPointer<QWebEngineProfile> profile;
  if (profile.isNull()) {
    // Off the record: nothing of the technician's pages is kept on disk.
    profile = new QWebEngineProfile(QCoreApplication::instance());
    profile->installUrlSchemeHandler(kHostScheme, new HostSchemeHandler(profile));
  }
  return profile;
}

class Page : public QWebEnginePage {
 public:
  Page(QObject* parent, std::function<bool(const QUrl&)> accept)
      : QWebEnginePage(SharedProfile(), parent), accept_(std::move(accept)) {}

 protected:
  bool acceptNavigationRequest(const QUrl& url, NavigationType, bool) override {
    return !accept_ || accept_(url);
  }

 private:
  std::function<bool(const QUrl&)> accept_;
};

class EngineView final : public WebViewBackend {
 public:
  EngineView(QWidget* parent, WebViewHooks hooks) : view_(new QWebEngineView(parent)) {
    view_->setObjectName(QStringLiteral("wb_view"));
    page_ = new Page(parent, std::move(hooks.accept_navigation));
    view_->setPage(page_);
    QObject::connect(view_, &QWebEngineView::loadFinished, view_,
                     [done = std::move(hooks.load_finished)](bool ok) {
                       if (done) done(ok);
                     });
  }
  ~EngineView() override {
    // The view goes before its page, and the page before the profile it uses.
    delete view_;
    delete page_;
  }
  EngineView(const EngineView&) = delete;
  EngineView& operator=(const EngineView&) = delete;

  QWidget* Widget() override { return view_; }
  void Load(const QUrl& url) override { view_->setUrl(url); }
  QUrl Url() const override { return view_->url(); }
  void RunJavaScript(const QString& script, std::function<void(const QVariant&)> done) override {
    page_->runJavaScript(script, std::move(done));
  }

 private:
  QWebEngineView* view_;
  Page* page_;
};

}  // namespace
}  // namespace forms

extern "C" __attribute__((visibility("default"))) forms::WebViewBackend*
forms_create_web_view_backend(QWidget* parent, forms::WebViewHooks hooks) {
  forms::RegisterHostScheme();
  return new forms::EngineView(parent, std::move(hooks));
}
