// Every window exists at most once per process: created on first reference, destroyed on
// unload, so a window opened again starts fresh.
#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>
#include <string>

namespace forms {

namespace detail {
void RegisterInstance(const std::string& name, std::function<void()> unload);
}

// Unloads the default instance of the window called `name`, if one exists.
void UnloadByName(const std::string& name);

template <typename Form>
class DefaultInstance {
 public:
  // Creates the window on first reference (running its load handler), without showing it.
  static Form& Get() {
    if (instance_.isNull()) {
      instance_ = new Form();
      instance_->setAttribute(Qt::WA_DeleteOnClose, true);
      detail::RegisterInstance(Form::kFormName, [] { Unload(); });
    }
    return *instance_;
  }
  static bool Exists() { return !instance_.isNull(); }
  // Closes the window (running its unload handler) and releases the instance. A window that
  // refuses to close has a handler of its own still running below us: it goes once that
  // handler has returned to the event loop.
  static void Unload() {
    if (instance_.isNull()) return;
    Form* form = instance_.data();
    instance_.clear();
    form->setAttribute(Qt::WA_DeleteOnClose, false);
    if (form->close()) {
      delete form;
    } else {
      form->deleteLater();
    }
  }

 private:
  static inline QPointer<Form> instance_;
};

}  // namespace forms
