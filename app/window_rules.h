// The application's wiring: the only place that knows every window. It opens the windows from
// the main window's menu and applies the main window's rules as the others load and unload.
#pragma once

#include <string>

#include "forms/window_events.h"

namespace app {

class frm_FileCreate;

// What one window's event does to the main window's view `wb` and its "Read File" and
// "Create File" buttons.
struct MainWindowRule {
  const char* form_name;
  forms::WindowEvent event;
  bool view_visible;
  bool buttons_change;  // false: the buttons stay as they are
  bool buttons_enabled;
};

// The rule for an event, nullptr when the event leaves the main window as it is.
const MainWindowRule* FindRule(const std::string& form_name, forms::WindowEvent event);

// Applies a rule to the main window.
void Apply(const MainWindowRule& rule, frm_FileCreate& main);

// Listens to every window's load and unload, and adds the menu entries that open the windows
// no entry of the main window's own menu opens. Once per run, after the main window exists.
void WireWindows(frm_FileCreate& main);

}  // namespace app
