// The property rules of the engine and the values they keep.
#include <gtest/gtest.h>

#include <string>

#include "engine_support.h"
#include "marlet/socket_function_table.h"
#include "marlet/winsock_library.h"
#include "support/loopback_peers.h"

namespace marlet {
namespace {

using marlet_test::RecordingSink;

class EngineRules : public ::testing::Test {
 protected:
  void SetUp() override {
    WinsockLibrary::SetPath(marlet_test::WinsockPath());
    engine_ = std::make_unique<DatagramEngine>(&sink_);
    ASSERT_TRUE(engine_->winsock_loaded()) << WinsockLibrary::Description();
  }
  void ActivateOnLoopback() {
    ASSERT_EQ(engine_->SetLocalHost("127.0.0.1"), kOk);
    ASSERT_EQ(engine_->SetRemoteHost("127.0.0.1"), kOk);
    ASSERT_EQ(engine_->SetRemotePort(9), kOk);
    ASSERT_EQ(engine_->Activate(), kOk);
  }
  void ExpectRefusal(Code got, Code rule, const char* text) {
    EXPECT_EQ(got, rule);
    EXPECT_EQ(engine_->last_code(), rule);
    EXPECT_EQ(engine_->error_text().view(), text);
  }

  RecordingSink sink_;
  std::unique_ptr<DatagramEngine> engine_;
};

TEST_F(EngineRules, NewEngineDefaults) {
  EXPECT_FALSE(engine_->active());
  EXPECT_TRUE(engine_->accept_data());
  EXPECT_EQ(engine_->in_buffer_size(), 2048);
  EXPECT_EQ(engine_->out_buffer_size(), 2048);
  EXPECT_EQ(engine_->max_packet_size(), 2048);
  EXPECT_EQ(engine_->remote_port(), 0);
  EXPECT_EQ(engine_->time_to_live(), 0);
  EXPECT_EQ(engine_->charset_mode(), 0);  // the build's code page is 1252
  uint16_t port = 1;
  EXPECT_EQ(engine_->GetLocalPort(&port), kOk);
  EXPECT_EQ(port, 0);
  std::string remote = "x";
  EXPECT_EQ(engine_->GetRemoteHost(&remote), kOk);
  EXPECT_EQ(remote, "");
  LONG qos = -1;
  EXPECT_EQ(engine_->GetQosFlags(&qos), kOk);
  EXPECT_EQ(qos, 0);
}

TEST_F(EngineRules, RefusalsWhileActiveKeepTheValue) {
  ASSERT_EQ(engine_->SetUseConnection(true), kOk);
  ActivateOnLoopback();
  ExpectRefusal(engine_->Activate(), 104, "Marlet is already Active.");
  ExpectRefusal(engine_->SetLocalPort(5000), 106,
                "You cannot change the LocalPort while the control is Active.");
  ExpectRefusal(engine_->SetLocalHost("0.0.0.0"), 107,
                "Cannot change LocalHost while the control is Active.");
  ExpectRefusal(engine_->SetMaxPacketSize(100), 112,
                "Cannot change MaxPacketSize while the control is Active.");
  EXPECT_EQ(engine_->max_packet_size(), 2048);
  ExpectRefusal(engine_->SetRemoteHost("127.0.0.2"), 114,
                "Cannot change RemoteHost when UseConnection is set and the control is Active.");
  ExpectRefusal(engine_->SetRemotePort(10), 115,
                "Cannot change RemotePort when UseConnection is set and the control is Active.");
  EXPECT_EQ(engine_->remote_port(), 9);
  ExpectRefusal(engine_->SetUseConnection(false), 117,
                "Cannot change UseConnection option while the control is Active.");
  EXPECT_TRUE(engine_->use_connection());
  std::string host;
  engine_->GetRemoteHost(&host);
  EXPECT_EQ(host, "127.0.0.1");
}

TEST_F(EngineRules, RemoteMayChangeWhileActiveWithoutConnection) {
  ActivateOnLoopback();
  EXPECT_EQ(engine_->SetRemotePort(10), kOk);
  EXPECT_EQ(engine_->SetRemoteHost("127.0.0.2"), kOk);
  std::string host;
  engine_->GetRemoteHost(&host);
  EXPECT_EQ(host, "127.0.0.2");
}

TEST_F(EngineRules, SendNeedsActive) {
  ExpectRefusal(engine_->Send("x", 1), 109, "The control must be Active for this operation.");
  ExpectRefusal(engine_->Send("", 0), 109, "The control must be Active for this operation.");
}

TEST_F(EngineRules, ConnectionNeedsRemotePort) {
  ASSERT_EQ(engine_->SetUseConnection(true), kOk);
  ExpectRefusal(engine_->Activate(), 116,
                "RemotePort can't be zero when UseConnection is set. Please specify a valid "
                "service port number.");
  EXPECT_EQ(engine_->socket_handle(), INVALID_SOCKET);
}

TEST_F(EngineRules, NextOperationClearsTheText) {
  ASSERT_EQ(engine_->Send("x", 1), kNotActive);
  EXPECT_EQ(engine_->SetRemotePort(1), kOk);
  EXPECT_EQ(engine_->last_code(), kOk);
  EXPECT_TRUE(engine_->error_text().empty());
}

TEST_F(EngineRules, MaxPacketSizeIsCappedUnsigned) {
  EXPECT_EQ(engine_->SetMaxPacketSize(100000), kOk);
  EXPECT_EQ(engine_->max_packet_size(), 65536);
  EXPECT_EQ(engine_->SetMaxPacketSize(512), kOk);
  EXPECT_EQ(engine_->max_packet_size(), 512);
  EXPECT_EQ(engine_->SetMaxPacketSize(-1), kOk);
  EXPECT_EQ(engine_->max_packet_size(), 65536);
}

TEST_F(EngineRules, LargestPacketIsReceivedWhole) {
  ASSERT_EQ(engine_->SetMaxPacketSize(100000), kOk);
  ActivateOnLoopback();
  uint16_t port = 0;
  ASSERT_EQ(engine_->GetLocalPort(&port), kOk);
  testsupport::UdpPeer peer;
  peer.SendTo(port, std::string(65507, 'm'));  // the largest IPv4 UDP payload
  ASSERT_TRUE(marlet_test::PumpUntil(*engine_,
                                     [&] { return sink_.Count(marlet_test::Event::kData) == 1; }));
  EXPECT_EQ(sink_.Data()[0].size(), 65507u);
}

TEST_F(EngineRules, TimeToLiveZeroIsIgnored) {
  EXPECT_EQ(engine_->SetTimeToLive(5), kOk);
  EXPECT_EQ(engine_->SetTimeToLive(0), kOk);
  EXPECT_EQ(engine_->time_to_live(), 5);
}

TEST_F(EngineRules, RefusedOptionsAfterTheLibraryWentAway) {
  ActivateOnLoopback();
  ASSERT_EQ(engine_->SetQosFlags(0x10), kOk);
  // Released while Active: the socket handle stays, every call reaches a placeholder.
  engine_->ReleaseWinsock();
  ASSERT_EQ(WinsockLibrary::LoadCount(), 0u);
  EXPECT_EQ(engine_->SetQosFlags(0x20), kNotInitialised);
  EXPECT_EQ(engine_->SetInBufferSize(4096), kNotInitialised);
  EXPECT_EQ(engine_->in_buffer_size(), 4096);  // buffer sizes keep the new value
  EXPECT_EQ(engine_->SetDontRoute(true), kNotInitialised);
  EXPECT_TRUE(engine_->dont_route());
  LONG qos = 0;
  EXPECT_EQ(engine_->GetQosFlags(&qos), kNotInitialised);
  EXPECT_EQ(engine_->Deactivate(), kNotInitialised);
  EXPECT_FALSE(engine_->active());
  EXPECT_EQ(engine_->GetQosFlags(&qos), kOk);
  EXPECT_EQ(qos, 0x10);  // the refused value was not kept
  EXPECT_TRUE(engine_->LoadWinsock());
}

TEST_F(EngineRules, HostNamesResolveToDottedAddresses) {
  EXPECT_EQ(engine_->SetRemoteHost("localhost"), kOk);
  std::string host;
  engine_->GetRemoteHost(&host);
  EXPECT_EQ(host, "127.0.0.1");
  // Only stored and read back: this test sends nothing.
  EXPECT_EQ(engine_->SetRemoteHost("255.255.255.255"), kOk);
  engine_->GetRemoteHost(&host);
  EXPECT_EQ(host, "255.255.255.255");
  EXPECT_EQ(engine_->SetRemoteHost(""), kOk);
  engine_->GetRemoteHost(&host);
  EXPECT_EQ(host, "");
}

TEST_F(EngineRules, FailedLookupClearsTheAddressAndReportsHostNotFound) {
  ASSERT_EQ(engine_->SetRemoteHost("127.0.0.1"), kOk);
  // A label over 63 characters: refused by the resolver without asking any server.
  const std::string bad = std::string(64, 'a') + ".invalid";
  EXPECT_EQ(engine_->SetRemoteHost(bad.c_str()), kHostNotFound);
  std::string host = "x";
  engine_->GetRemoteHost(&host);
  EXPECT_EQ(host, "");
}

TEST_F(EngineRules, LookupWithoutLibrarySucceedsWithAddressCleared) {
  ASSERT_EQ(engine_->SetRemoteHost("127.0.0.1"), kOk);
  engine_->ReleaseWinsock();
  EXPECT_EQ(engine_->SetRemoteHost("localhost"), kOk);
  std::string host = "x";
  engine_->GetRemoteHost(&host);
  EXPECT_EQ(host, "");
  EXPECT_EQ(engine_->Activate(), kNotInitialised);
}

TEST_F(EngineRules, LocalHostReadsAddressElseHostName) {
  std::string host;
  EXPECT_EQ(engine_->GetLocalHost(&host), kOk);
  char expected[256] = {};
  ASSERT_EQ(g_sockets.gethostname(expected, sizeof expected), 0);
  EXPECT_EQ(host, expected);
  ASSERT_EQ(engine_->SetLocalHost("127.0.0.1"), kOk);
  EXPECT_EQ(engine_->GetLocalHost(&host), kOk);
  EXPECT_EQ(host, "127.0.0.1");
}

TEST_F(EngineRules, LocalHostReadWithoutLibraryIsEmptyButSucceeds) {
  engine_->ReleaseWinsock();
  std::string host = "x";
  EXPECT_EQ(engine_->GetLocalHost(&host), kOk);
  EXPECT_EQ(host, "");
  EXPECT_EQ(engine_->error_text().view(), "[10093] Winsock not loaded yet (WSANOTINITIALISED)");
}

TEST_F(EngineRules, AllInterfacesReadBackAsZeroAddressWhileActive) {
  ASSERT_EQ(engine_->Activate(), kOk);
  std::string host;
  EXPECT_EQ(engine_->GetLocalHost(&host), kOk);
  EXPECT_EQ(host, "0.0.0.0");
}

}  // namespace
}  // namespace marlet
