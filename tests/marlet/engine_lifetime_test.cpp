// Handlers that call back into the engine or destroy it from inside its callbacks, and what
// an engine leaves behind when it goes: its socket and the notice window class.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "engine_support.h"
#include "marlet/socket_function_table.h"
#include "marlet/winsock_library.h"
#include "support/bounded_wait.h"
#include "support/loopback_peers.h"

namespace marlet {
namespace {

using std::chrono::milliseconds;

// Dispatches the thread's messages: the engine itself may be gone.
void PumpThread() {
  MSG msg;
  for (int i = 0; i < 100 && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE); ++i) {
    DispatchMessageA(&msg);
  }
}

bool WaitFor(const std::function<bool()>& done) {
  return testsupport::WaitUntil(done, milliseconds(3000), PumpThread);
}

// A host's handlers: each callback is recorded, then the handler runs. Like a host reading
// the datagram during its event, the sink reads the lent bytes again after the handler.
class HostSink : public EventSink {
 public:
  void Deliver(const char* data, int length, const char*, uint16_t) override {
    const std::string bytes(data, static_cast<std::size_t>(length));
    data_.push_back(bytes);
    if (on_data) on_data(bytes);
    lent_bytes_kept =
        lent_bytes_kept && std::string(data, bytes.size()) == bytes && data[length] == '\0';
  }
  void Error(Code code, const char*) override {
    errors_.push_back(code);
    if (on_error) on_error();
  }
  void ReadyToSend() override {
    ++ready_;
    if (on_ready) on_ready();
  }

  std::vector<std::string> data_;
  std::vector<Code> errors_;
  int ready_ = 0;
  bool lent_bytes_kept = true;
  std::function<void(const std::string&)> on_data;
  std::function<void()> on_error;
  std::function<void()> on_ready;
};

class EngineLifetime : public ::testing::Test {
 protected:
  void SetUp() override { WinsockLibrary::SetPath(marlet_test::WinsockPath()); }

  // Active on 127.0.0.1 (on `port`, else one the system chooses), sending to the peer.
  static uint16_t Activate(DatagramEngine& engine, uint16_t remote, uint16_t port = 0) {
    EXPECT_EQ(engine.SetLocalHost("127.0.0.1"), kOk);
    EXPECT_EQ(engine.SetLocalPort(port), kOk);
    EXPECT_EQ(engine.SetRemoteHost("127.0.0.1"), kOk);
    EXPECT_EQ(engine.SetRemotePort(remote), kOk);
    EXPECT_EQ(engine.Activate(), kOk);
    uint16_t bound = 0;
    EXPECT_EQ(engine.GetLocalPort(&bound), kOk);
    return bound;
  }

  // Whether another engine can bind the port now: the first socket on it was closed.
  static bool PortIsFree(uint16_t port) {
    HostSink sink;
    DatagramEngine probe(&sink);
    EXPECT_EQ(probe.SetLocalHost("127.0.0.1"), kOk);
    EXPECT_EQ(probe.SetLocalPort(port), kOk);
    return probe.Activate() == kOk;
  }

  testsupport::UdpPeer peer_;
};

TEST_F(EngineLifetime, LentBytesStayWhileTheHandlerDeactivatesOrResizesTheBuffer) {
  const std::string first("first\0bytes", 11);
  struct Case {
    const char* name;
    bool draining;  // the datagrams reach the handler from Active = False, not from a notice
    bool resize;    // MaxPacketSize = 4 after Active = False
    LONG max_packet_size;
  } cases[] = {
      {"notice, deactivate", false, false, 2048},
      {"notice, deactivate and resize (refused: the close waits for the loop)", false, true, 2048},
      {"drain, deactivate", true, false, 2048},
      {"drain, deactivate and resize", true, true, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HostSink sink;
    DatagramEngine engine(&sink);
    const uint16_t port = Activate(engine, peer_.port());
    sink.on_data = [&](const std::string& bytes) {
      if (bytes != first) return;
      EXPECT_EQ(engine.Deactivate(), kOk);
      if (c.resize) engine.SetMaxPacketSize(4);
    };
    peer_.SendTo(port, first);
    peer_.SendTo(port, "second");
    peer_.SendTo(port, "third");
    if (c.draining) {
      std::this_thread::sleep_for(milliseconds(20));  // loopback: they are there already
      EXPECT_EQ(engine.Deactivate(), kOk);
    } else {
      ASSERT_TRUE(WaitFor([&] { return !engine.active(); }));
    }
    EXPECT_FALSE(engine.active());
    EXPECT_EQ(sink.data_, (std::vector<std::string>{first, "second", "third"}));
    EXPECT_TRUE(sink.lent_bytes_kept);
    EXPECT_EQ(engine.max_packet_size(), c.max_packet_size);
  }
}

TEST_F(EngineLifetime, AHandlerMayDestroyTheEngineFromAnyCallback) {
  enum class From { kDataNotice, kDataDrain, kDataPumpStep, kErrorNotice, kReadyNotice };
  const struct {
    const char* name;
    From from;
  } cases[] = {
      {"DataIn from a notice", From::kDataNotice},
      {"DataIn while Active = False drains", From::kDataDrain},
      {"DataIn from the engine's own pump step", From::kDataPumpStep},
      {"Error from a notice", From::kErrorNotice},
      {"ReadyToSend from a notice", From::kReadyNotice},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    HostSink sink;
    auto engine = std::make_unique<DatagramEngine>(&sink);
    DatagramEngine* raw = engine.get();
    const bool refused = c.from == From::kErrorNotice;
    const uint16_t port = Activate(*engine, refused ? testsupport::ClosedUdpPort() : peer_.port());
    const HWND window = engine->notice_window();
    // The owner lets go from inside its handler.
    auto let_go = [&] { engine.reset(); };
    if (c.from == From::kErrorNotice) {
      sink.on_error = let_go;
      ASSERT_EQ(engine->Send("x", 1), kOk);
    } else if (c.from == From::kReadyNotice) {
      sink.on_ready = let_go;
    } else {
      sink.on_data = [&](const std::string&) { let_go(); };
      peer_.SendTo(port, "a");
      peer_.SendTo(port, "b");
    }

    if (c.from == From::kDataDrain) {
      EXPECT_EQ(raw->Deactivate(), kOk);
    } else if (c.from == From::kDataPumpStep) {
      bool window_left = true;
      for (int i = 0; i < 200 && window_left; ++i) window_left = raw->PumpStep(10);
      EXPECT_FALSE(window_left);
    } else {
      ASSERT_TRUE(WaitFor([&] { return !engine; }));
    }
    EXPECT_EQ(engine, nullptr);
    testsupport::PumpFor(milliseconds(50), PumpThread);
    // Nothing after the callback that destroyed it.
    if (c.from == From::kErrorNotice) {
      EXPECT_EQ(sink.errors_, std::vector<Code>{kConnectionReset});
    } else if (c.from == From::kReadyNotice) {
      EXPECT_EQ(sink.ready_, 1);
    } else {
      EXPECT_EQ(sink.data_, std::vector<std::string>{"a"});
    }
    EXPECT_TRUE(sink.lent_bytes_kept);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_TRUE(PortIsFree(port));
  }
}

TEST_F(EngineLifetime, ASocketLeftOpenIsClosedWhileTheLibraryStaysStartedForOthers) {
  // Another user of the socket library in the process keeps it started throughout.
  HMODULE library = LoadLibraryA(marlet_test::WinsockPath());
  ASSERT_NE(library, nullptr);
  auto startup = win32::ProcAs<LPFN_WSASTARTUP>(
      GetProcAddress(library, MAKEINTRESOURCEA(WSOCK32_ORD_WSASTARTUP)));
  auto cleanup = win32::ProcAs<LPFN_WSACLEANUP>(
      GetProcAddress(library, MAKEINTRESOURCEA(WSOCK32_ORD_WSACLEANUP)));
  WSADATA data;
  ASSERT_EQ(startup(0x0101, &data), 0);

  for (bool destroy : {true, false}) {
    SCOPED_TRACE(destroy ? "the engine goes" : "Active = False");
    HostSink sink;
    auto engine = std::make_unique<DatagramEngine>(&sink);
    const uint16_t port = Activate(*engine, peer_.port());
    // Its load given back while Active: the table is on its placeholders again.
    engine->ReleaseWinsock();
    ASSERT_EQ(WinsockLibrary::LoadCount(), 0u);
    if (destroy) {
      engine.reset();
    } else {
      EXPECT_EQ(engine->Deactivate(), kNotInitialised);
      EXPECT_FALSE(engine->active());
    }
    EXPECT_TRUE(PortIsFree(port));
  }
  EXPECT_EQ(cleanup(), 0);
}

TEST_F(EngineLifetime, TheLastEngineTakesTheNoticeWindowClassWithIt) {
  auto window_of_class = [] {
    HWND w = CreateWindowExA(0, kNoticeWindowClass, "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr,
                             nullptr);
    if (w) DestroyWindow(w);
    return w != nullptr;
  };
  HostSink sink;
  auto first = std::make_unique<DatagramEngine>(&sink);
  auto second = std::make_unique<DatagramEngine>(&sink);
  first.reset();
  EXPECT_TRUE(WinsockLibrary::WindowClassRegistered());
  EXPECT_TRUE(window_of_class());
  second.reset();
  EXPECT_FALSE(WinsockLibrary::WindowClassRegistered());
  EXPECT_FALSE(window_of_class());

  // A later engine registers it again and receives.
  DatagramEngine again(&sink);
  EXPECT_TRUE(WinsockLibrary::WindowClassRegistered());
  const uint16_t port = Activate(again, peer_.port());
  peer_.SendTo(port, "again");
  ASSERT_TRUE(WaitFor([&] { return sink.data_.size() == 1; }));
  EXPECT_EQ(sink.data_[0], "again");
}

}  // namespace
}  // namespace marlet
