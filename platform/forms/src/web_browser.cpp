#include "forms/web_browser.h"

#include <dlfcn.h>
#include <unistd.h>
#include <QEventLoop>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QTimer>
#include <QVBoxLayout>

#include "forms/runtime_error.h"
#include "forms/web_view_backend.h"

namespace forms {
namespace {

CreateWebViewBackendFn LoadEngine(std::string& error) {
  static CreateWebViewBackendFn create = nullptr;
  static std::string load_error;
  static bool tried = false;
  if (!tried) {
    tried = true;
    // The plugin sits beside the running executable, in the build tree and installed.
    char buf[4096];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    std::string exe(buf, static_cast<std::size_t>(n > 0 ? n : 0));
    std::string path = exe.substr(0, exe.rfind('/') + 1) + "libforms_webengine.so";
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) {
      load_error = dlerror();
    } else {
      create = reinterpret_cast<CreateWebViewBackendFn>(dlsym(module, kCreateWebViewBackendName));
      if (create == nullptr) load_error = "no entry point in " + path;
    }
  }
  error = load_error;
  return create;
}

QString JsString(const std::string& s) {
  QJsonArray wrap{QString::fromStdString(s)};
  QString json = QString::fromUtf8(QJsonDocument(wrap).toJson(QJsonDocument::Compact));
  return json.mid(1, json.size() - 2);
}

}  // namespace

WebBrowser::WebBrowser(QWidget* parent) : QWidget(parent) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
}

WebBrowser::~WebBrowser() = default;

bool WebBrowser::EnsureEngine() {
  if (backend_ != nullptr) return true;
  std::string error;
  CreateWebViewBackendFn create = LoadEngine(error);
  if (create == nullptr) return false;
  WebViewHooks hooks;
  hooks.accept_navigation = [this](const QUrl& url) {
    bool cancel = false;
    if (BeforeNavigate) BeforeNavigate(url.toString().toStdString(), cancel);
    return !cancel;
  };
  hooks.load_finished = [this](bool ok) { emit DocumentComplete(backend_->Url().toString(), ok); };
  backend_.reset(create(this, std::move(hooks)));
  layout()->addWidget(backend_->Widget());
  return true;
}

void WebBrowser::showEvent(QShowEvent* event) {
  EnsureEngine();
  QWidget::showEvent(event);
}

void WebBrowser::Navigate(const std::string& target) {
  if (!EnsureEngine()) {
    std::string error;
    LoadEngine(error);
    throw RuntimeError(kErrFileNotFound, "The HTML view cannot start: " + error);
  }
  QString t = QString::fromStdString(target);
  QUrl url = t.startsWith(QLatin1Char('/')) ? QUrl::fromLocalFile(QFileInfo(t).absoluteFilePath())
                                            : QUrl(t);
  backend_->Load(url);
}

std::string WebBrowser::LocationURL() const {
  return backend_ == nullptr ? std::string() : backend_->Url().toString().toStdString();
}

std::optional<QVariant> WebBrowser::Evaluate(const QString& script, int timeout_ms) {
  if (backend_ == nullptr) return std::nullopt;
  QEventLoop loop;
  std::optional<QVariant> result;
  QPointer<QEventLoop> guard(&loop);
  backend_->RunJavaScript(script, [&result, guard](const QVariant& v) {
    if (guard.isNull()) return;  // the wait already gave up
    result = v;
    guard->quit();
  });
  QTimer::singleShot(timeout_ms, &loop, &QEventLoop::quit);
  loop.exec();
  return result;
}

std::optional<FormInputs> WebBrowser::ReadForm(const std::string& form) {
  const QString script =
      QStringLiteral(
          "(function(n){var f=document.forms[n];if(!f)return null;var r=[];"
          "for(var i=0;i<f.elements.length;i++){var e=f.elements[i];"
          "if(!e.name)continue;"
          "r.push([e.name,e.type||'',e.value==null?'':String(e.value),!!e.checked]);}"
          "return JSON.stringify(r);})(%1)")
          .arg(JsString(form));
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
  const QString script =
      QStringLiteral(
          "(function(n,v){var f=document.forms[n];if(!f)return false;"
          "for(var i=0;i<f.elements.length;i++){var e=f.elements[i];"
          "if(!e.name||!Object.prototype.hasOwnProperty.call(v,e.name))continue;var x=v[e.name];"
          "if(e.type=='checkbox')e.checked=(x=='1'||x=='true');"
          "else if(e.type=='radio')e.checked=(e.value==x);else e.value=x;}"
          "return true;})(%1,%2)")
          .arg(JsString(form),
               QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)));
  auto result = Evaluate(script);
  return result && result->toBool();
}

}  // namespace forms
