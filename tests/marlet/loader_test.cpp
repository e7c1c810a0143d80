// The process-wide load of the socket library, with the library this build produced.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "engine_support.h"
#include "marlet/automation_error.h"
#include "marlet/socket_function_table.h"
#include "marlet/winsock_library.h"
#include "support/loopback_peers.h"

namespace marlet {
namespace {

using marlet_test::Event;
using marlet_test::RecordingSink;

class Loader : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(WinsockLibrary::LoadCount(), 0u) << "an engine of another test still holds a load";
    WinsockLibrary::SetPath(marlet_test::WinsockPath());
  }
  void TearDown() override { WinsockLibrary::SetPath(marlet_test::WinsockPath()); }

  static void ExpectDown() {
    EXPECT_EQ(WinsockLibrary::LoadCount(), 0u);
    EXPECT_STREQ(WinsockLibrary::Status(), "Down");
    EXPECT_EQ(WinsockLibrary::MaxSockets(), 0);
    EXPECT_EQ(WinsockLibrary::MaxDatagramSize(), 0);
    EXPECT_EQ(g_sockets.WSAGetLastError(), kNotInitialised);
  }

  // A round trip through the engine and a peer: proves its socket calls reach the library.
  static void ExpectWorking(DatagramEngine& engine, RecordingSink& sink) {
    testsupport::UdpPeer peer;
    ASSERT_EQ(engine.SetLocalHost("127.0.0.1"), kOk);
    ASSERT_EQ(engine.Activate(), kOk);
    uint16_t port = 0;
    ASSERT_EQ(engine.GetLocalPort(&port), kOk);
    peer.SendTo(port, "ping");
    EXPECT_TRUE(marlet_test::PumpUntil(engine, [&] { return sink.Count(Event::kData) == 1; }));
    EXPECT_EQ(engine.Deactivate(), kOk);
  }
};

TEST_F(Loader, LoadedLibraryReportsItsStartupData) {
  RecordingSink sink;
  DatagramEngine engine(&sink);
  ASSERT_TRUE(engine.winsock_loaded()) << WinsockLibrary::Description();
  EXPECT_EQ(WinsockLibrary::LoadCount(), 1u);
  EXPECT_STRNE(WinsockLibrary::Description(), "");
  EXPECT_STRNE(WinsockLibrary::Status(), "Down");
  EXPECT_GT(WinsockLibrary::MaxSockets(), 0);
  EXPECT_GT(WinsockLibrary::MaxDatagramSize(), 0);
  engine.ReleaseWinsock();
  ExpectDown();
  EXPECT_STREQ(WinsockLibrary::Description(), "");
}

TEST_F(Loader, TwoEnginesShareOneLoadUntilBothRelease) {
  RecordingSink sink1, sink2;
  auto first = std::make_unique<DatagramEngine>(&sink1);
  ASSERT_TRUE(first->winsock_loaded()) << WinsockLibrary::Description();
  // Mark one resolved entry: a second lookup of the entry points would overwrite it.
  const auto resolved = g_sockets.WSAIsBlocking;
  static BOOL (*const marker)() = [] { return FALSE; };
  g_sockets.WSAIsBlocking = marker;
  DatagramEngine second(&sink2);
  EXPECT_EQ(g_sockets.WSAIsBlocking, marker);
  g_sockets.WSAIsBlocking = resolved;
  EXPECT_EQ(WinsockLibrary::LoadCount(), 2u);

  first->ReleaseWinsock();
  EXPECT_FALSE(first->winsock_loaded());
  first->ReleaseWinsock();  // holds none any more: must not take the other's load
  EXPECT_EQ(WinsockLibrary::LoadCount(), 1u);
  ExpectWorking(second, sink2);
  EXPECT_STRNE(WinsockLibrary::Status(), "Down");

  first.reset();  // destroying a releasing engine gives nothing back either
  EXPECT_EQ(WinsockLibrary::LoadCount(), 1u);
  second.ReleaseWinsock();
  ExpectDown();
  EXPECT_EQ(second.Activate(), kNotInitialised);
  AutomationError e = ToAutomationError(second.last_code(), second.error_text(), 21302);
  EXPECT_EQ(e.number, 25094);
  EXPECT_EQ(e.description, "[10093] Winsock not loaded yet (WSANOTINITIALISED)");

  EXPECT_TRUE(second.LoadWinsock());  // and it can be taken again
  ExpectWorking(second, sink2);
}

TEST_F(Loader, DestroyingTheLastHolderBringsThePlaceholdersBack) {
  {
    RecordingSink sink;
    DatagramEngine engine(&sink);
    ASSERT_TRUE(engine.winsock_loaded());
  }
  ExpectDown();
}

TEST_F(Loader, MissingFileFailsWithItsTextAndActivationWith10093) {
  const std::string missing = std::filesystem::temp_directory_path() / "no-such-winsock.so";
  WinsockLibrary::SetPath(missing.c_str());
  RecordingSink sink;
  DatagramEngine engine(&sink);
  EXPECT_FALSE(engine.winsock_loaded());
  EXPECT_STREQ(WinsockLibrary::Description(), "Could not load Winsock DLL.");
  EXPECT_EQ(WinsockLibrary::LoadCount(), 0u);
  EXPECT_EQ(engine.Activate(), kNotInitialised);
  EXPECT_FALSE(engine.active());
  EXPECT_STREQ(WinsockLibrary::Path(), missing.c_str());
}

TEST_F(Loader, PathRules) {
  WinsockLibrary::SetPath("");
  EXPECT_STREQ(WinsockLibrary::Path(), "WSOCK32.DLL");
  WinsockLibrary::SetPath(nullptr);
  EXPECT_STREQ(WinsockLibrary::Path(), "WSOCK32.DLL");
  const std::string long_path(250, 'p');
  WinsockLibrary::SetPath(long_path.c_str());
  EXPECT_EQ(std::string(WinsockLibrary::Path()), long_path.substr(0, 200));
}

TEST_F(Loader, WhileLoadedThePathIsTheModulesFullFileName) {
  // A roundabout spelling of the same file: the read gives the module's own name.
  const std::filesystem::path real = std::filesystem::canonical(marlet_test::WinsockPath());
  const std::string roundabout = (real.parent_path() / "." / real.filename()).string();
  WinsockLibrary::SetPath(roundabout.c_str());
  RecordingSink sink;
  DatagramEngine engine(&sink);
  ASSERT_TRUE(engine.winsock_loaded());
  EXPECT_EQ(std::filesystem::path(WinsockLibrary::Path()), real);
}

TEST_F(Loader, EngineWithoutLibraryRunsOnPlaceholders) {
  RecordingSink sink;
  DatagramEngine engine(&sink);
  engine.ReleaseWinsock();
  std::string host = "x";
  EXPECT_EQ(engine.GetLocalHost(&host), kOk);
  EXPECT_EQ(host, "");
  EXPECT_EQ(engine.Activate(), kNotInitialised);
  EXPECT_EQ(engine.Send("x", 1), kNotActive);
  EXPECT_EQ(g_sockets.WSAStartup(0x0101, nullptr), 10091);
  EXPECT_EQ(g_sockets.htons(0x1234), 0);
  EXPECT_EQ(g_sockets.inet_ntoa(in_addr{}), nullptr);
  EXPECT_EQ(g_sockets.gethostbyname("localhost"), nullptr);
  EXPECT_FALSE(g_sockets.WSAIsBlocking());
  EXPECT_EQ(g_sockets.socket(AF_INET, SOCK_DGRAM, 0), INVALID_SOCKET);
}

TEST_F(Loader, NoticeWindowClassIsRegisteredOncePerProcess) {
  {
    RecordingSink sink;
    DatagramEngine engine(&sink);
    EXPECT_TRUE(WinsockLibrary::WindowClassRegistered());
    EXPECT_NE(engine.notice_window(), nullptr);
  }
  UnregisterNoticeWindowClass();
  EXPECT_FALSE(WinsockLibrary::WindowClassRegistered());
  RecordingSink sink;
  DatagramEngine again(&sink);  // registers it anew
  EXPECT_TRUE(WinsockLibrary::WindowClassRegistered());
  ASSERT_NE(again.notice_window(), nullptr);
  ExpectWorking(again, sink);
}

class FailingStartup : public Loader {
 protected:
  void SetUp() override {
    Loader::SetUp();
    WinsockLibrary::SetPath(MARLET_STARTUP_FAKE_PATH);
  }
  void TearDown() override {
    unsetenv("FAKE_WSASTARTUP");
    Loader::TearDown();
  }
  // Loads with the start-up answering `how`; the engine's view and the library's after.
  void ExpectFailure(const char* how, const char* text) {
    setenv("FAKE_WSASTARTUP", how, 1);
    RecordingSink sink;
    DatagramEngine engine(&sink);
    EXPECT_FALSE(engine.winsock_loaded()) << how;
    // The reason outlives the release of the load that failed.
    EXPECT_STREQ(WinsockLibrary::Description(), text) << how;
    EXPECT_EQ(WinsockLibrary::LoadCount(), 0u) << how;
    EXPECT_EQ(g_sockets.WSAGetLastError(), kNotInitialised) << how;
    EXPECT_EQ(engine.Activate(), kNotInitialised) << how;
  }
  static int Cleanups() {
    HMODULE fake = LoadLibraryA(MARLET_STARTUP_FAKE_PATH);
    auto count = reinterpret_cast<int (*)()>(
        reinterpret_cast<void (*)()>(GetProcAddress(fake, "FakeCleanupCount")));
    return count ? count() : -1;
  }
};

TEST_F(FailingStartup, EachFailureGivesItsTextAndTheLoadBack) {
  const int before = Cleanups();
  ExpectFailure("10092", "Version not supported.");
  ExpectFailure("10022", "Version not supported.");
  ExpectFailure("10091", "Network subsystem not ready.");
  EXPECT_EQ(Cleanups(), before);  // a start-up that failed is owed no cleanup
  ExpectFailure("v2", "Incompatible Winsock version.");
  EXPECT_EQ(Cleanups(), before + 1);  // a started one is
}

TEST_F(FailingStartup, AFailedLoadLeavesAnotherEnginesLoadAlone) {
  setenv("FAKE_WSASTARTUP", "ok", 1);
  const int before = Cleanups();
  RecordingSink sink;
  auto working = std::make_unique<DatagramEngine>(&sink);
  ASSERT_TRUE(working->winsock_loaded());
  setenv("FAKE_WSASTARTUP", "10092", 1);
  RecordingSink other_sink;
  DatagramEngine failing(&other_sink);
  EXPECT_FALSE(failing.winsock_loaded());
  EXPECT_EQ(WinsockLibrary::LoadCount(), 1u);
  EXPECT_STREQ(WinsockLibrary::Description(), "Version not supported.");
  EXPECT_NE(g_sockets.WSAGetLastError(), kNotInitialised);  // still resolved
  working.reset();
  EXPECT_EQ(Cleanups(), before + 1);  // the working load's start-up is still cleaned up
  EXPECT_EQ(WinsockLibrary::LoadCount(), 0u);
}

// Run in a process of their own (see CMakeLists): nothing has been loaded yet there.
class FreshProcess : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::getenv("MARLET_FRESH_PROCESS")) GTEST_SKIP() << "needs a process of its own";
  }
};

TEST_F(FreshProcess, BeforeAnyLoadTheLibraryIsDown) {
  EXPECT_EQ(WinsockLibrary::LoadCount(), 0u);
  EXPECT_STREQ(WinsockLibrary::Status(), "Down");
  EXPECT_STREQ(WinsockLibrary::Description(), "");
  EXPECT_EQ(WinsockLibrary::MaxSockets(), 0);
  EXPECT_EQ(WinsockLibrary::MaxDatagramSize(), 0);
  EXPECT_STREQ(WinsockLibrary::Path(), "WSOCK32.DLL");
  EXPECT_FALSE(WinsockLibrary::WindowClassRegistered());
}

TEST_F(FreshProcess, CharsetModeFollowsTheCodePage) {
  // This process runs with code page 932.
  WinsockLibrary::SetPath(marlet_test::WinsockPath());
  RecordingSink sink;
  DatagramEngine engine(&sink);
  EXPECT_EQ(engine.charset_mode(), 1);
}

}  // namespace
}  // namespace marlet
