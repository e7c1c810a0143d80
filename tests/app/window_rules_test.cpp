// The main window's view and file buttons follow the other windows' loads and unloads, applied
// by the application's wiring from what each window announces.
#include <gtest/gtest.h>

#include <QPushButton>

#include "forms/default_instance.h"
#include "forms/web_browser.h"
#include "forms/window_events.h"
#include "frm_FileCreate.h"
#include "window_rules.h"

namespace {

using app::frm_FileCreate;
using forms::WindowEvent;

frm_FileCreate& Main() {
  return forms::DefaultInstance<frm_FileCreate>::Get();
}

struct State {
  bool view;
  bool buttons;
  bool operator==(const State&) const = default;
};

State Now() {
  return {Main().wb->isVisible(), Main().cmd_ReadRaw->isEnabled()};
}

void SetNow(State s) {
  Main().wb->setVisible(s.view);
  Main().cmd_ReadRaw->setEnabled(s.buttons);
  Main().cmd_CreateFile->setEnabled(s.buttons);
}

TEST(WindowRules, EachWindowsEventSetsTheViewAndButtonsAsTheTableSays) {
  app::WireWindows(Main());
  const struct {
    const char* form;
    WindowEvent event;
    State before;
    State after;
  } cases[] = {
      {"frm_NWSetup", WindowEvent::kLoaded, {true, true}, {false, false}},
      {"frm_NWSetup", WindowEvent::kUnloaded, {false, false}, {true, true}},
      {"frm_Upload", WindowEvent::kLoaded, {true, true}, {false, false}},
      {"frm_Upload", WindowEvent::kUnloaded, {false, false}, {true, true}},
      {"frm_Debug", WindowEvent::kLoaded, {true, true}, {false, false}},
      {"frm_Debug", WindowEvent::kUnloaded, {false, false}, {true, true}},
      {"frmFtp", WindowEvent::kLoaded, {true, true}, {false, false}},
      {"frmFtp", WindowEvent::kCancelled, {false, false}, {true, false}},
      {"frmFtp", WindowEvent::kUnloaded, {false, false}, {true, true}},
      {"frm_Test", WindowEvent::kLoaded, {true, false}, {true, false}},
      {"frmLogin", WindowEvent::kLoaded, {false, true}, {false, true}},
  };
  for (const auto& c : cases) {
    SetNow(c.before);
    forms::Announce(c.form, c.event);
    EXPECT_EQ(Now(), c.after) << c.form << " " << static_cast<int>(c.event);
    EXPECT_EQ(Main().cmd_CreateFile->isEnabled(), Main().cmd_ReadRaw->isEnabled()) << c.form;
  }
  SetNow({false, false});
}

}  // namespace
