// How a window tells the application that it loaded or unloaded, without knowing the
// application's other windows: the application listens and applies its rules (the main
// window's view and buttons).
#pragma once

#include <functional>
#include <string>

namespace forms {

enum class WindowEvent {
  kLoaded,
  kUnloaded,
  kCancelled,  // a window's Cancel that gives the main window's view back
  kEndRequested,  // a window's Exit: the whole program ends
};

using WindowListener = std::function<void(const std::string& form_name, WindowEvent event)>;

// One listener per process (the application's wiring); nullptr removes it.
void SetWindowListener(WindowListener listener);
// Called by a window from its load and unload handlers; nothing happens without a listener.
void Announce(const std::string& form_name, WindowEvent event);

}  // namespace forms
