// Window tests run on the real widgets and the real WebEngine view, offscreen, with every
// dialog answered by the forms runtime's test hook.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "forms/app.h"
#include "forms/application.h"
#include "forms/default_instance.h"
#include "forms/message_pump.h"
#include "forms/prepare.h"
#include "window_test_support.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  // The engine's sandbox refuses to run as root; its background services would try to
  // reach outside hosts.
  setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
  setenv("QTWEBENGINE_CHROMIUM_FLAGS",
         "--disable-gpu --no-sandbox --disable-background-networking --disable-component-update "
         "--disable-sync --no-first-run --disable-quic",
         0);
  const std::string scratch = testsupport::MakeTempDir("home");
  setenv("XDG_CONFIG_HOME", (scratch + "/config").c_str(), 1);
  std::filesystem::permissions(scratch, std::filesystem::perms::owner_all);
  setenv("XDG_RUNTIME_DIR", scratch.c_str(), 1);
  setenv("FORMS_INSTANCE_LOCK", (scratch + "/tests.lock").c_str(), 1);
  forms::PrepareApplication();
  forms::Application application(argc, argv);
  forms::StartMessagePump();
  forms::App::SetPathOverride(testsupport::AppDir());
  forms::SetEndHook([] { ++testsupport::EndCalls(); });
  int rc = RUN_ALL_TESTS();
  // Pages go before the WebEngine profile they use.
  forms::UnloadByName("frm_FileCreate");
  testsupport::RemoveScratch();
  return rc;
}
