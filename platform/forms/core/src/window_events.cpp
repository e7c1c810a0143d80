#include "forms/window_events.h"

namespace forms {
namespace {

WindowListener& Listener() {
  static WindowListener listener;
  return listener;
}

}  // namespace

void SetWindowListener(WindowListener listener) {
  Listener() = std::move(listener);
}

void Announce(const std::string& form_name, WindowEvent event) {
  if (Listener()) Listener()(form_name, event);
}

}  // namespace forms
