// The embedded HTML view. Its engine is created when first needed (a navigation or being
// shown), so a window that starts with the view hidden appears without starting WebEngine.
#pragma once

#include <QString>
#include <QVariant>
#include <QWidget>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace forms {

class WebViewBackend;

struct FormInput {
  std::string name;
  std::string type;   // "text", "checkbox", "radio", "select-one", "hidden" ...
  std::string value;  // a select's chosen value
  bool checked = false;
};
using FormInputs = std::vector<FormInput>;

class WebBrowser : public QWidget {
  Q_OBJECT

 public:
  explicit WebBrowser(QWidget* parent = nullptr);
  ~WebBrowser() override;

  // Called before every navigation with the target address; setting `cancel` stops it.
  std::function<void(const std::string& url, bool& cancel)> BeforeNavigate;

  // A local file path or an address. Throws RuntimeError when the engine cannot start.
  void Navigate(const std::string& target);
  std::string LocationURL() const;
  bool HasEngine() const { return backend_ != nullptr; }

  // The inputs of the form called `form` in document order, read in one round trip;
  // nothing when no page is shown or the page has no such form.
  std::optional<FormInputs> ReadForm(const std::string& form);
  // Sets inputs by name: text-like inputs and lists take the value; a check box is checked by
  // "1"/"true"; a radio group checks the button whose value matches. One round trip.
  bool WriteForm(const std::string& form, const std::map<std::string, std::string>& values);

  // Runs a script in the page and waits for its result (bounded by `timeout_ms`).
  std::optional<QVariant> Evaluate(const QString& script, int timeout_ms = 10000);

 signals:
  void DocumentComplete(const QString& url, bool ok);

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  bool EnsureEngine();
  std::unique_ptr<WebViewBackend> backend_;
};

}  // namespace forms
