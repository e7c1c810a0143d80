// The boundary between the HTML view and the engine behind it. The engine lives in a plugin
// (libforms_webengine.so) loaded on first use, so a program whose view starts hidden neither
// loads nor relocates WebEngine at start-up.
#pragma once

#include <QString>
#include <QUrl>
#include <QVariant>
#include <functional>

class QWidget;

namespace forms {

class WebViewBackend {
 public:
  virtual ~WebViewBackend() = default;
  virtual QWidget* Widget() = 0;
  virtual void Load(const QUrl& url) = 0;
  virtual QUrl Url() const = 0;
  virtual void RunJavaScript(const QString& script, std::function<void(const QVariant&)> done) = 0;
};

struct WebViewHooks {
  std::function<bool(const QUrl&)> accept_navigation;  // false cancels
  std::function<void(bool ok)> load_finished;
};

// The plugin's one entry point.
using CreateWebViewBackendFn = WebViewBackend* (*)(QWidget* parent, WebViewHooks hooks);
constexpr const char* kCreateWebViewBackendName = "forms_create_web_view_backend";

}  // namespace forms
