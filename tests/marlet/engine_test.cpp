// The datagram engine against a real peer socket on 127.0.0.1.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "engine_support.h"
#include "marlet/automation_error.h"
#include "marlet/winsock_library.h"
#include "support/loopback_peers.h"

namespace marlet {
namespace {

using marlet_test::Event;
using marlet_test::PumpFor;
using marlet_test::PumpUntil;
using marlet_test::RecordingSink;
using testsupport::UdpPeer;
using std::chrono::milliseconds;

class EngineLoopback : public ::testing::Test {
 protected:
  void SetUp() override {
    WinsockLibrary::SetPath(marlet_test::WinsockPath());
    engine_ = std::make_unique<DatagramEngine>(&sink_);
    ASSERT_TRUE(engine_->winsock_loaded()) << WinsockLibrary::Description();
  }

  // Active on 127.0.0.1, sending to the peer.
  uint16_t Activate() {
    EXPECT_EQ(engine_->SetLocalHost("127.0.0.1"), kOk);
    EXPECT_EQ(engine_->SetRemoteHost("127.0.0.1"), kOk);
    EXPECT_EQ(engine_->SetRemotePort(peer_.port()), kOk);
    EXPECT_EQ(engine_->Activate(), kOk);
    uint16_t port = 0;
    EXPECT_EQ(engine_->GetLocalPort(&port), kOk);
    return port;
  }

  bool PumpUntilData(size_t n) {
    return PumpUntil(*engine_, [&] { return sink_.Count(Event::kData) >= n; });
  }

  RecordingSink sink_;
  UdpPeer peer_;
  std::unique_ptr<DatagramEngine> engine_;
};

TEST_F(EngineLoopback, BindsChosenPortAndForgetsItAfterDeactivation) {
  EXPECT_EQ(engine_->socket_handle(), INVALID_SOCKET);
  const uint16_t port = Activate();
  EXPECT_NE(port, 0);
  EXPECT_TRUE(engine_->active());
  std::string host;
  EXPECT_EQ(engine_->GetLocalHost(&host), kOk);
  EXPECT_EQ(host, "127.0.0.1");

  EXPECT_EQ(engine_->Deactivate(), kOk);
  uint16_t after = 1;
  EXPECT_EQ(engine_->GetLocalPort(&after), kOk);
  EXPECT_EQ(after, 0);
  EXPECT_EQ(engine_->socket_handle(), INVALID_SOCKET);
}

TEST_F(EngineLoopback, SendsToPeerAndDeliversItsReplyWithSender) {
  const uint16_t port = Activate();
  const std::string bytes("ab\0cd", 5);
  ASSERT_EQ(engine_->Send(bytes.data(), static_cast<int>(bytes.size())), kOk);
  auto got = peer_.Receive(milliseconds(2000));
  ASSERT_TRUE(got);
  EXPECT_EQ(got->data, bytes);
  EXPECT_EQ(got->port, port);

  peer_.SendTo(port, std::string("reply\0x", 7));
  ASSERT_TRUE(PumpUntilData(1));
  const Event& e = sink_.events.back();
  EXPECT_EQ(e.data, std::string("reply\0x", 7));
  EXPECT_EQ(e.address, "127.0.0.1");
  EXPECT_EQ(e.port, peer_.port());
  EXPECT_TRUE(sink_.terminated_);
}

TEST_F(EngineLoopback, EmptySendIsNotSentAndSucceeds) {
  Activate();
  EXPECT_EQ(engine_->Send("", 0), kOk);
  EXPECT_FALSE(peer_.Receive(milliseconds(100)));
}

TEST_F(EngineLoopback, OversizeDatagramIsAnErrorAndTheNextIsStillDelivered) {
  ASSERT_EQ(engine_->SetMaxPacketSize(100), kOk);
  const uint16_t port = Activate();
  peer_.SendTo(port, std::string(101, 'x'));
  peer_.SendTo(port, "next");
  ASSERT_TRUE(PumpUntilData(1));
  ASSERT_EQ(sink_.Count(Event::kError), 1u);
  EXPECT_EQ(sink_.events[0].kind, Event::kError);
  EXPECT_EQ(sink_.events[0].code, 10040);
  EXPECT_EQ(sink_.events[0].text, "Winsock error in recv()");
  EXPECT_EQ(sink_.Data(), std::vector<std::string>{"next"});
}

TEST_F(EngineLoopback, ExactlyMaxPacketSizeIsDeliveredWhole) {
  ASSERT_EQ(engine_->SetMaxPacketSize(100), kOk);
  const uint16_t port = Activate();
  peer_.SendTo(port, std::string(100, 'y'));
  ASSERT_TRUE(PumpUntilData(1));
  EXPECT_EQ(sink_.Data()[0], std::string(100, 'y'));
  EXPECT_EQ(sink_.Count(Event::kError), 0u);
}

TEST_F(EngineLoopback, RefusedDatagramReportsDestinationUnreachable) {
  Activate();
  ASSERT_EQ(engine_->SetRemotePort(testsupport::ClosedUdpPort()), kOk);
  ASSERT_EQ(engine_->Send("x", 1), kOk);
  // Something to read after the error, so the test does not depend on the error alone
  // raising a read notice.
  uint16_t port = 0;
  ASSERT_EQ(engine_->GetLocalPort(&port), kOk);
  peer_.SendTo(port, "after");
  ASSERT_TRUE(PumpUntilData(1));
  ASSERT_EQ(sink_.Count(Event::kError), 1u);
  EXPECT_EQ(sink_.events[0].code, 10054);
  EXPECT_EQ(sink_.events[0].text, "Destination unreachable (service unavailable?).");
  EXPECT_EQ(sink_.Data(), std::vector<std::string>{"after"});
}

TEST_F(EngineLoopback, EmptyDatagramGivesNoCallbackAndDoesNotStopReading) {
  const uint16_t port = Activate();
  peer_.SendTo(port, "");
  peer_.SendTo(port, "one");
  ASSERT_TRUE(PumpUntilData(1));
  PumpFor(*engine_, milliseconds(50));
  EXPECT_EQ(sink_.Data(), std::vector<std::string>{"one"});
  EXPECT_EQ(sink_.Count(Event::kError), 0u);
}

TEST_F(EngineLoopback, DeactivationDeliversWaitingDatagramsInOrderThenCloses) {
  const uint16_t port = Activate();
  peer_.SendTo(port, "1");
  peer_.SendTo(port, "");  // an empty one between them must not end the draining
  peer_.SendTo(port, "2");
  peer_.SendTo(port, "3");
  // No pumping: the datagrams are still waiting in the socket.
  EXPECT_EQ(engine_->Deactivate(), kOk);
  EXPECT_EQ(sink_.Data(), (std::vector<std::string>{"1", "2", "3"}));
  EXPECT_FALSE(engine_->active());
  EXPECT_TRUE(engine_->accept_data());
  // The socket is really gone: nothing more arrives.
  peer_.SendTo(port, "late");
  PumpFor(*engine_, milliseconds(100));
  EXPECT_EQ(sink_.Count(Event::kData), 3u);
}

TEST_F(EngineLoopback, DeactivationInsideDeliveryClosesAfterTheLoop) {
  const uint16_t port = Activate();
  Code inner = -1;
  bool still_active = false;
  sink_.on_event = [&](const Event& e) {
    if (e.kind == Event::kData && e.data == "1") {
      inner = engine_->Deactivate();
      still_active = engine_->active();
    }
  };
  peer_.SendTo(port, "1");
  peer_.SendTo(port, "2");
  peer_.SendTo(port, "3");
  ASSERT_TRUE(PumpUntil(*engine_, [&] { return !engine_->active(); }));
  EXPECT_EQ(inner, kOk);
  EXPECT_TRUE(still_active);
  EXPECT_EQ(sink_.Data(), (std::vector<std::string>{"1", "2", "3"}));
}

TEST_F(EngineLoopback, DeactivationFromHandlerDuringDrainReportsSuccess) {
  const uint16_t port = Activate();
  Code inner = -1;
  sink_.on_event = [&](const Event& e) {
    if (e.kind == Event::kData && e.data == "1") inner = engine_->Deactivate();
  };
  peer_.SendTo(port, "1");
  peer_.SendTo(port, "2");
  // The outer deactivation drains; the handler's one closes first. Neither may fail.
  EXPECT_EQ(engine_->Deactivate(), kOk);
  EXPECT_EQ(inner, kOk);
  EXPECT_FALSE(engine_->active());
}

TEST_F(EngineLoopback, AcceptDataOffHoldsDatagramsUntilTurnedOn) {
  const uint16_t port = Activate();
  ASSERT_EQ(engine_->SetAcceptData(false), kOk);
  peer_.SendTo(port, "a");
  peer_.SendTo(port, "b");
  peer_.SendTo(port, "c");
  PumpFor(*engine_, milliseconds(150));
  EXPECT_EQ(sink_.Count(Event::kData), 0u);

  ASSERT_EQ(engine_->SetAcceptData(true), kOk);
  EXPECT_EQ(sink_.Count(Event::kData), 0u);  // delivered by the pump, not by the setter
  ASSERT_TRUE(PumpUntilData(3));
  EXPECT_EQ(sink_.Data(), (std::vector<std::string>{"a", "b", "c"}));
}

TEST_F(EngineLoopback, WriteNoticeReachesReadyToSendOnce) {
  Activate();
  ASSERT_TRUE(PumpUntil(*engine_, [&] { return sink_.Count(Event::kReady) >= 1; }));
  ASSERT_EQ(engine_->Send("x", 1), kOk);
  PumpFor(*engine_, milliseconds(150));
  EXPECT_EQ(sink_.Count(Event::kReady), 1u);
}

TEST_F(EngineLoopback, SecondActivationIsRefusedAndFirstSocketKeepsWorking) {
  const uint16_t port = Activate();
  const SOCKET s = engine_->socket_handle();
  EXPECT_EQ(engine_->Activate(), kAlreadyActive);
  EXPECT_EQ(engine_->error_text().view(), "Marlet is already Active.");
  EXPECT_EQ(engine_->socket_handle(), s);
  peer_.SendTo(port, "still");
  ASSERT_TRUE(PumpUntilData(1));
  EXPECT_EQ(engine_->error_text().view(), "Marlet is already Active.");  // until the next op
  uint16_t p = 0;
  engine_->GetLocalPort(&p);
  EXPECT_TRUE(engine_->error_text().empty());
}

TEST_F(EngineLoopback, PortInUseIsAddressAlreadyInUse) {
  const uint16_t port = Activate();
  RecordingSink other_sink;
  DatagramEngine other(&other_sink);
  ASSERT_EQ(other.SetLocalHost("127.0.0.1"), kOk);
  ASSERT_EQ(other.SetLocalPort(port), kOk);
  ASSERT_EQ(other.SetShareLocalPort(true), kOk);  // the first socket did not share
  EXPECT_EQ(other.Activate(), 10048);
  EXPECT_FALSE(other.active());
  AutomationError e = ToAutomationError(other.last_code(), other.error_text(), 21302);
  EXPECT_EQ(e.number, 25049);
  EXPECT_EQ(e.description, "[10048] Address already in use");
}

TEST_F(EngineLoopback, SharedLocalPortCanBeBoundTwice) {
  ASSERT_EQ(engine_->SetShareLocalPort(true), kOk);
  const uint16_t port = Activate();
  RecordingSink other_sink;
  DatagramEngine other(&other_sink);
  ASSERT_EQ(other.SetLocalHost("127.0.0.1"), kOk);
  ASSERT_EQ(other.SetLocalPort(port), kOk);
  ASSERT_EQ(other.SetShareLocalPort(true), kOk);
  EXPECT_EQ(other.Activate(), kOk);
}

TEST_F(EngineLoopback, ConnectedSocketSendsToRemoteAndReportsItAsSender) {
  ASSERT_EQ(engine_->SetUseConnection(true), kOk);
  const uint16_t port = Activate();
  ASSERT_EQ(engine_->Send("hi", 2), kOk);
  auto got = peer_.Receive(milliseconds(2000));
  ASSERT_TRUE(got);
  EXPECT_EQ(got->data, "hi");
  peer_.SendTo(port, "back");
  ASSERT_TRUE(PumpUntilData(1));
  EXPECT_EQ(sink_.events.back().address, "127.0.0.1");
  EXPECT_EQ(sink_.events.back().port, peer_.port());
}

TEST_F(EngineLoopback, OptionsApplyToTheOpenSocket) {
  Activate();
  EXPECT_EQ(engine_->SetQosFlags(0x10), kOk);
  LONG qos = 0;
  EXPECT_EQ(engine_->GetQosFlags(&qos), kOk);
  EXPECT_EQ(qos, 0x10);
  EXPECT_EQ(engine_->SetTimeToLive(7), kOk);
  EXPECT_EQ(engine_->SetInBufferSize(65536), kOk);
  EXPECT_EQ(engine_->SetOutBufferSize(65536), kOk);
  EXPECT_EQ(engine_->SetDontRoute(true), kOk);
}

TEST_F(EngineLoopback, StoredTypeOfServiceIsAppliedAtActivation) {
  ASSERT_EQ(engine_->SetQosFlags(0x08), kOk);
  Activate();
  LONG qos = 0;
  EXPECT_EQ(engine_->GetQosFlags(&qos), kOk);
  EXPECT_EQ(qos, 0x08);
}

TEST_F(EngineLoopback, DestructionWithDatagramsWaitingDeliversNothing) {
  const uint16_t port = Activate();
  peer_.SendTo(port, "dropped");
  HWND window = engine_->notice_window();
  ASSERT_TRUE(IsWindow(window));
  engine_.reset();
  EXPECT_EQ(sink_.Count(Event::kData), 0u);
  EXPECT_FALSE(IsWindow(window));
}

TEST_F(EngineLoopback, PumpStepLeavesQuitForTheThreadLoop) {
  PostQuitMessage(3);
  EXPECT_TRUE(engine_->PumpStep(0));
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
  EXPECT_EQ(msg.wParam, 3u);
}

TEST_F(EngineLoopback, PumpStepWaitsForAMessageOnlyAsLongAsAsked) {
  MSG stale;
  for (int i = 0; i < 1000 && PeekMessageA(&stale, nullptr, 0, 0, PM_REMOVE); ++i) {
  }
  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(engine_->PumpStep(20));
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited, milliseconds(15));
  EXPECT_LT(waited, milliseconds(1000));
}


// A sender that never lets the socket run dry: each notice gives the thread back within a
// slice, the datagrams still arrive in order, and deactivation ends while the flood goes on.
TEST_F(EngineLoopback, AFloodNeitherHoldsTheThreadNorDeactivation) {
  const uint16_t port = Activate();
  // A host slower than the sender, as a window that lists and logs every line is.
  sink_.on_event = [](const Event&) { std::this_thread::sleep_for(std::chrono::microseconds(100)); };
  std::atomic<bool> stop{false};
  std::thread flood([&] {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(8);
    for (uint64_t i = 1; !stop && std::chrono::steady_clock::now() < end; ++i) {
      try {
        peer_.SendTo(port, std::to_string(i));
      } catch (const std::exception&) {
      }
    }
  });
  std::chrono::steady_clock::duration longest{};
  const auto pump_end = std::chrono::steady_clock::now() + milliseconds(1000);
  while (std::chrono::steady_clock::now() < pump_end) {
    const auto t0 = std::chrono::steady_clock::now();
    engine_->PumpStep(10);
    longest = std::max(longest, std::chrono::steady_clock::now() - t0);
  }
  const auto t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(engine_->Deactivate(), kOk);
  const auto deactivation = std::chrono::steady_clock::now() - t0;
  stop = true;
  flood.join();

  EXPECT_LT(longest, milliseconds(250));
  EXPECT_LT(deactivation, milliseconds(2500));
  EXPECT_FALSE(engine_->active());
  const std::vector<std::string> data = sink_.Data();
  EXPECT_GT(data.size(), 100u);
  for (size_t i = 1; i < data.size(); ++i) {
    ASSERT_LT(std::stoull(data[i - 1]), std::stoull(data[i])) << "at " << i;
  }
}

}  // namespace
}  // namespace marlet
