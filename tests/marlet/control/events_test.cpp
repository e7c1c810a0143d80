// Datagrams both ways between the control and a plain socket on 127.0.0.1, and the events
// that carry them to every connected sink.
#include <algorithm>
#include <cstring>
#include <thread>

#include "control_support.h"
#include "support/loopback_peers.h"

namespace marlet_test {
namespace {

using testsupport::UdpPeer;

using std::chrono::milliseconds;

class Events : public ControlTest {
 protected:
  void SetUp() override {
    ControlTest::SetUp();
    sink_.control = control_.get();
    cookie_ = Connect(control_.get(), sink_);
    BSTR host = SysAllocString(u"127.0.0.1");
    ASSERT_EQ(control_->put_RemoteHost(host), S_OK);
    SysFreeString(host);
    ASSERT_EQ(control_->put_RemotePort(peer_.port()), S_OK);
    ASSERT_EQ(control_->put_Active(VARIANT_TRUE), S_OK);
    LONG port = 0;
    control_->get_LocalPort(&port);
    port_ = static_cast<uint16_t>(port);
  }
  void TearDown() override {
    if (control_) control_->put_Active(VARIANT_FALSE);
    ControlTest::TearDown();
  }

  HRESULT SendText(const std::string& text) {
    BSTR b = Wide(text);
    const HRESULT hr = control_->put_DataToSend(b);
    SysFreeString(b);
    return hr;
  }
  HRESULT SendBytes(VARIANT value) {
    const HRESULT hr = control_->put_DataToSendB(value);
    VariantClear(&value);
    return hr;
  }
  bool PumpUntilData(size_t count) {
    return PumpUntil(control_.get(), [&] { return sink_.Count(marlet::kDispDataIn) >= count; });
  }

  UdpPeer peer_;
  EventSink sink_;
  DWORD cookie_ = 0;
  uint16_t port_ = 0;
};

TEST_F(Events, ReadyToSendFollowsActivation) {
  EXPECT_TRUE(PumpUntil(control_.get(),
                        [&] { return sink_.Count(marlet::kDispReadyToSend) >= 1; }));
}

TEST_F(Events, ADatagramWithANulArrivesWholeAndItsBytesOnlyDuringTheEvent) {
  const std::string datagram("abcd\0efghi", 10);
  peer_.SendTo(port_, datagram);
  ASSERT_TRUE(PumpUntilData(1));
  const Fired& f = sink_.fired.back();
  EXPECT_EQ(f.text, datagram);
  EXPECT_EQ(f.bytes_type, VT_ARRAY | VT_UI1);
  EXPECT_EQ(f.bytes, datagram);
  EXPECT_EQ(f.address, "127.0.0.1");
  EXPECT_EQ(f.number, static_cast<int16_t>(peer_.port()));  // 16-bit signed
  VARIANT after;
  VariantInit(&after);
  EXPECT_EQ(control_->get_DataInDatagramB(&after), S_OK);
  EXPECT_EQ(after.vt, VT_EMPTY);
}

TEST_F(Events, WhatIsSentArrivesByteForByte) {
  SAFEARRAY* bytes = SafeArrayCreateVector(VT_UI1, 0, 4);
  const unsigned char raw[] = {0x00, 0xFF, 0x41, 0x00};
  void* data = nullptr;
  SafeArrayAccessData(bytes, &data);
  std::memcpy(data, raw, sizeof raw);
  SafeArrayUnaccessData(bytes);
  VARIANT byte_array;
  VariantInit(&byte_array);
  byte_array.vt = VT_ARRAY | VT_UI1;
  byte_array.parray = bytes;

  // Variants give the lowest byte of their value, whatever their type.
  SAFEARRAY* items = SafeArrayCreateVector(VT_VARIANT, 1, 3);
  SafeArrayAccessData(items, &data);
  auto* v = static_cast<VARIANT*>(data);
  v[0].vt = VT_I4;
  v[0].lVal = 0x142;
  v[1].vt = VT_UI1;
  v[1].bVal = 0x43;
  v[2].vt = VT_I2;
  v[2].iVal = 0x100;
  SafeArrayUnaccessData(items);
  VARIANT variant_array;
  VariantInit(&variant_array);
  variant_array.vt = VT_ARRAY | VT_VARIANT;
  variant_array.parray = items;

  const struct {
    const char* what;
    std::function<HRESULT()> send;
    std::string expected;
  } rows[] = {
      {"text with a NUL", [&] { return SendText(std::string("a\0b", 3)); },
       std::string("a\0b", 3)},
      {"code page text", [&] { return SendText("caf\xE9"); }, "caf\xE9"},
      {"byte array", [&] { return SendBytes(byte_array); }, std::string("\0\xFF" "A\0", 4)},
      {"variant array", [&] { return SendBytes(variant_array); }, std::string("BC\0", 3)},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(row.send(), S_OK) << row.what;
    const auto got = peer_.Receive(milliseconds(2000));
    ASSERT_TRUE(got) << row.what;
    EXPECT_EQ(got->data, row.expected) << row.what;
    EXPECT_EQ(got->port, port_) << row.what;
  }
  // An empty text sends nothing and succeeds.
  EXPECT_EQ(SendText(""), S_OK);
  EXPECT_FALSE(peer_.Receive(milliseconds(200)));
}

TEST_F(Events, HeldDatagramsArriveInOrderWhenDeliveryResumes) {
  ASSERT_EQ(control_->put_AcceptData(VARIANT_FALSE), S_OK);
  for (const char* d : {"one", "two", "three"}) peer_.SendTo(port_, d);
  PumpFor(control_.get(), milliseconds(200));
  EXPECT_EQ(sink_.Count(marlet::kDispDataIn), 0u);
  ASSERT_EQ(control_->put_AcceptData(VARIANT_TRUE), S_OK);
  ASSERT_TRUE(PumpUntilData(3));
  EXPECT_EQ(sink_.Data(), (std::vector<std::string>{"one", "two", "three"}));
}

TEST_F(Events, AHandlerThatDeactivatesStillSeesWhatWaited) {
  HRESULT handler_result = E_FAIL;
  sink_.on_event = [&](const Fired& f) {
    if (f.dispid == marlet::kDispDataIn && f.text == "first") {
      handler_result = control_->put_Active(VARIANT_FALSE);
    }
  };
  for (const char* d : {"first", "second", "third"}) peer_.SendTo(port_, d);
  // All three are queued before the first notice is taken.
  EXPECT_TRUE(PumpUntil(control_.get(), [&] {
    VARIANT_BOOL active = VARIANT_TRUE;
    control_->get_Active(&active);
    return active == VARIANT_FALSE;
  }));
  EXPECT_EQ(handler_result, S_OK);
  EXPECT_EQ(sink_.Data(), (std::vector<std::string>{"first", "second", "third"}));
}

TEST_F(Events, AHandlerMayLetGoOfTheLastReference) {
  IMarlet* raw = control_.get();
  bool released = false;
  sink_.on_event = [&](const Fired& f) {
    if (f.dispid == marlet::kDispDataIn && !released) {
      released = true;
      control_.reset();
    }
  };
  peer_.SendTo(port_, "bye");
  peer_.SendTo(port_, "late");
  // The pump's own call keeps the control until it returns; then it goes, sinks and all.
  EXPECT_TRUE(PumpUntil(raw, [&] { return released; }));
  EXPECT_EQ(sink_.Data().front(), "bye");
  EXPECT_EQ(sink_.refs, 0u);
}

TEST_F(Events, DeactivationDeliversWhatWaitsInsideTheCall) {
  for (const char* d : {"a", "b", "c"}) peer_.SendTo(port_, d);
  // Let the datagrams reach the socket without pumping the notice.
  std::this_thread::sleep_for(milliseconds(100));
  ASSERT_EQ(control_->put_Active(VARIANT_FALSE), S_OK);
  EXPECT_EQ(sink_.Data(), (std::vector<std::string>{"a", "b", "c"}));
}

TEST_F(Events, ReceiveFailuresFireError) {
  ASSERT_EQ(control_->put_Active(VARIANT_FALSE), S_OK);
  ASSERT_EQ(control_->put_MaxPacketSize(100), S_OK);
  ASSERT_EQ(control_->put_Active(VARIANT_TRUE), S_OK);
  LONG port = 0;
  control_->get_LocalPort(&port);
  peer_.SendTo(static_cast<uint16_t>(port), std::string(200, 'x'));
  peer_.SendTo(static_cast<uint16_t>(port), "after");
  ASSERT_TRUE(PumpUntilData(1));
  ASSERT_EQ(sink_.Count(marlet::kDispError), 1u);
  const Fired& error = *std::find_if(sink_.fired.begin(), sink_.fired.end(), [](const Fired& f) {
    return f.dispid == marlet::kDispError;
  });
  EXPECT_EQ(error.number, 10040);
  EXPECT_EQ(error.text, "Winsock error in recv()");
  EXPECT_EQ(sink_.Data(), std::vector<std::string>{"after"});

  // A reply refused by the far side's port.
  ASSERT_EQ(control_->put_RemotePort(testsupport::ClosedUdpPort()), S_OK);
  EXPECT_EQ(SendText("anyone?"), S_OK);
  ASSERT_TRUE(PumpUntil(control_.get(), [&] { return sink_.Count(marlet::kDispError) >= 2; }));
  EXPECT_EQ(sink_.fired.back().number, 10054);
  EXPECT_EQ(sink_.fired.back().text, "Destination unreachable (service unavailable?).");
}

TEST_F(Events, EverySinkHearsInTheOrderOfConnection) {
  std::vector<std::string> order;
  EventSink second;
  Connect(control_.get(), second);
  sink_.on_event = [&](const Fired& f) {
    if (f.dispid == marlet::kDispDataIn) order.push_back("first");
  };
  second.on_event = [&](const Fired& f) {
    if (f.dispid == marlet::kDispDataIn) order.push_back("second");
  };
  peer_.SendTo(port_, "hello");
  ASSERT_TRUE(PumpUntil(control_.get(), [&] { return second.Count(marlet::kDispDataIn) >= 1; }));
  EXPECT_EQ(order, (std::vector<std::string>{"first", "second"}));
  // Disconnected, a sink hears nothing more and is let go.
  ComPtr<IConnectionPointContainer> container;
  control_.As(IID_IConnectionPointContainer, container);
  ComPtr<IConnectionPoint> point;
  container->FindConnectionPoint(marlet::kIidIMarletEvents, point.put());
  EXPECT_EQ(point->Unadvise(cookie_), S_OK);
  peer_.SendTo(port_, "again");
  ASSERT_TRUE(PumpUntil(control_.get(), [&] { return second.Count(marlet::kDispDataIn) >= 2; }));
  EXPECT_EQ(sink_.Count(marlet::kDispDataIn), 1u);
  EXPECT_EQ(sink_.refs, 0u);
  point.reset();
  container.reset();
  control_.reset();  // lets the second sink go while it still exists
  EXPECT_EQ(second.refs, 0u);
}

TEST_F(Events, TheFirstSocketKeepsWorkingAfterASecondActivation) {
  EXPECT_EQ(control_->put_Active(VARIANT_TRUE), static_cast<HRESULT>(0x800A4E89));
  peer_.SendTo(port_, "still here");
  ASSERT_TRUE(PumpUntilData(1));
  EXPECT_EQ(sink_.Data(), std::vector<std::string>{"still here"});
}

}  // namespace
}  // namespace marlet_test
