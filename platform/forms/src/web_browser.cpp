#include "forms/web_browser.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QTimer>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>
#include <QWebEngineUrlSchemeHandler>
#include <QWebEngineView>

namespace forms {
namespace {

const QByteArray kHostScheme = QByteArrayLiteral("vbo");

// Addresses of the host scheme exist only to be intercepted before navigation; one that
// gets through (a spelling the window does not know) is answered as not found.
class HostSchemeHandler : public QWebEngineUrlSchemeHandler {
 public:
  using QWebEngineUrlSchemeHandler::QWebEngineUrlSchemeHandler;
  void requestStarted(QWebEngineUrlRequestJob* job) override {
    job->fail(QWebEngineUrlRequestJob::UrlNotFound);
  }
};

class Page : public QWebEnginePage {
 public:
  Page(QWebEngineProfile* profile, WebBrowser* owner) : QWebEnginePage(profile, owner), owner_(owner) {}

 protected:
  bool acceptNavigationRequest(const QUrl& url, NavigationType, bool) override {
    bool cancel = false;
    if (owner_->BeforeNavigate) owner_->BeforeNavigate(url.toString().toStdString(), cancel);
    return !cancel;
  }

 private:
  WebBrowser* owner_;
};

QWebEngineProfile* SharedProfile() {
  static QPointer<QWebEngineProfile> profile;
  if (profile.isNull()) {
    // Off the record: nothing of the technician's pages is kept on disk.
    profile = new QWebEngineProfile(QCoreApplication::instance());
    profile->installUrlSchemeHandler(kHostScheme, new HostSchemeHandler(profile));
  }
  return profile;
}

QString JsString(const std::string& s) {
  QJsonArray wrap{QString::fromStdString(s)};
  QString json = QString::fromUtf8(QJsonDocument(wrap).toJson(QJsonDocument::Compact));
  return json.mid(1, json.size() - 2);
}

}  // namespace

void PrepareWebSchemes() {
  QWebEngineUrlScheme scheme(kHostScheme);
  scheme.setSyntax(QWebEngineUrlScheme::Syntax::Path);
  scheme.setFlags(QWebEngineUrlScheme::LocalScheme | QWebEngineUrlScheme::LocalAccessAllowed);
  QWebEngineUrlScheme::registerScheme(scheme);
}

WebBrowser::WebBrowser(QWidget* parent) : QWidget(parent) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
}

WebBrowser::~WebBrowser() {
  // The view goes before its page, and the page before the profile it uses.
  if (view_ == nullptr) return;
  QWebEnginePage* page = view_->page();
  delete view_;
  delete page;
}

void WebBrowser::EnsureEngine() {
  if (view_ != nullptr) return;
  view_ = new QWebEngineView(this);
  view_->setObjectName(QStringLiteral("wb_view"));
  view_->setPage(new Page(SharedProfile(), this));
  connect(view_, &QWebEngineView::loadFinished, this,
          [this](bool ok) { emit DocumentComplete(view_->url().toString(), ok); });
  layout()->addWidget(view_);
}

QWebEngineView* WebBrowser::View() {
  EnsureEngine();
  return view_;
}

void WebBrowser::showEvent(QShowEvent* event) {
  EnsureEngine();
  QWidget::showEvent(event);
}

void WebBrowser::Navigate(const std::string& target) {
  EnsureEngine();
  QString t = QString::fromStdString(target);
  QUrl url = t.startsWith(QLatin1Char('/')) ? QUrl::fromLocalFile(QFileInfo(t).absoluteFilePath())
                                            : QUrl(t);
  view_->setUrl(url);
}

std::string WebBrowser::LocationURL() const {
  return view_ == nullptr ? std::string() : view_->url().toString().toStdString();
}

std::optional<QVariant> WebBrowser::Evaluate(const QString& script, int timeout_ms) {
  if (view_ == nullptr) return std::nullopt;
  QEventLoop loop;
  std::optional<QVariant> result;
  QPointer<QEventLoop> guard(&loop);
  view_->page()->runJavaScript(script, [&result, guard](const QVariant& v) {
    if (guard.isNull()) return;  // the wait already gave up
    result = v;
    guard->quit();
  });
  QTimer::singleShot(timeout_ms, &loop, &QEventLoop::quit);
  loop.exec();
  return result;
}

std::optional<FormInputs> WebBrowser::ReadForm(const std::string& form) {
  const QString script = QStringLiteral(
      "(function(n){var f=document.forms[n];if(!f)return null;var r=[];"
      "for(var i=0;i<f.elements.length;i++){var e=f.elements[i];"
      "if(!e.name)continue;"
      "r.push([e.name,e.type||'',e.value==null?'':String(e.value),!!e.checked]);}"
      "return JSON.stringify(r);})(%1)").arg(JsString(form));
  auto result = Evaluate(script);
  if (!result || result->isNull() || !result->canConvert<QString>()) return std::nullopt;
  QJsonDocument doc = QJsonDocument::fromJson(result->toString().toUtf8());
  if (!doc.isArray()) return std::nullopt;
  FormInputs inputs;
  for (const auto& item : doc.array()) {
    QJsonArray a = item.toArray();
    inputs.push_back({a.at(0).toString().toStdString(), a.at(1).toString().toStdString(),
                      a.at(2).toString().toStdString(), a.at(3).toBool()});
  }
  return inputs;
}

bool WebBrowser::WriteForm(const std::string& form,
                           const std::map<std::string, std::string>& values) {
  QJsonObject object;
  for (const auto& [name, value] : values)
    object.insert(QString::fromStdString(name), QString::fromStdString(value));
  const QString script = QStringLiteral(
      "(function(n,v){var f=document.forms[n];if(!f)return false;"
      "for(var i=0;i<f.elements.length;i++){var e=f.elements[i];"
      "if(!e.name||!Object.prototype.hasOwnProperty.call(v,e.name))continue;var x=v[e.name];"
      "if(e.type=='checkbox')e.checked=(x=='1'||x=='true');"
      "else if(e.type=='radio')e.checked=(e.value==x);else e.value=x;}"
      "return true;})(%1,%2)")
      .arg(JsString(form), QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)));
  auto result = Evaluate(script);
  return result && result->toBool();
}

}  // namespace forms
