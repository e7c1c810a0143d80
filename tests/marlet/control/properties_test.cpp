// Properties and their refusals as a host sees them: late bound by name, early bound through
// the vtable, and the automation errors left in the thread's error information.
#include <optional>

#include "control_support.h"
#include "support/loopback_peers.h"
#include "win32/nls.h"

namespace marlet_test {
namespace {

using testsupport::UdpPeer;

VARIANT Long(LONG v) {
  VARIANT r;
  VariantInit(&r);
  r.vt = VT_I4;
  r.lVal = v;
  return r;
}

VARIANT Text(const std::string& s) {
  VARIANT r;
  VariantInit(&r);
  r.vt = VT_BSTR;
  r.bstrVal = Wide(s);
  return r;
}

std::string Render(const VARIANT& v) {
  switch (v.vt) {
    case VT_EMPTY:
      return "empty";
    case VT_BOOL:
      return "bool " + std::to_string(v.boolVal);
    case VT_I4:
      return std::to_string(v.lVal);
    case VT_BSTR:
      return "'" + Narrow(v.bstrVal) + "'";
    default:
      return "vt " + std::to_string(v.vt);
  }
}

class Properties : public ControlTest {
 protected:
  std::string Read(const char16_t* name) {
    VARIANT v;
    VariantInit(&v);
    const HRESULT hr = GetByName(control_.get(), name, &v);
    std::string out = FAILED(hr) ? "failed" : Render(v);
    VariantClear(&v);
    return out;
  }
  HRESULT Write(const char16_t* name, VARIANT value) {
    const HRESULT hr = PutByName(control_.get(), name, value);
    VariantClear(&value);
    return hr;
  }
};

TEST_F(Properties, ANewInstanceReadsItsDefaults) {
  const struct {
    const char16_t* name;
    std::string value;
  } rows[] = {
      {u"Active", "bool 0"},          {u"AcceptData", "bool -1"},
      {u"InBufferSize", "2048"},      {u"OutBufferSize", "2048"},
      {u"MaxPacketSize", "2048"},     {u"LocalPort", "0"},
      {u"RemotePort", "0"},           {u"QOSFlags", "0"},
      {u"TimeToLive", "0"},           {u"RemoteHost", "''"},
      {u"SocketHandle", "-1"},        {u"WinsockLoaded", "bool -1"},
      {u"DontRoute", "bool 0"},       {u"ShareLocalPort", "bool 0"},
      {u"UseConnection", "bool 0"},   {u"DataInDatagramB", "empty"},
      {u"WinsockPath", "'" + std::string(MARLET_WSOCK32_PATH) + "'"},
      {u"CharsetMode", GetACP() == 932 ? "1" : "0"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(Read(row.name), row.value) << std::string(row.name, row.name + 1);
  }
  // A loaded library has reported its limits and status.
  LONG sockets = 0;
  EXPECT_EQ(control_->get_WinsockMaxSockets(&sockets), S_OK);
  EXPECT_GT(sockets, 0);
  EXPECT_NE(Read(u"WinsockStatus"), "'Down'");
}

TEST_F(Properties, SettersKeepTheirRulesInOrder) {
  // One control, each step in turn: what a value reads back as after being set.
  const struct {
    const char16_t* name;
    std::optional<LONG> number;
    const char* text;
    std::string expected;
  } steps[] = {
      {u"MaxPacketSize", 100000, nullptr, "65536"},
      {u"MaxPacketSize", -1, nullptr, "65536"},
      {u"MaxPacketSize", 512, nullptr, "512"},
      {u"TimeToLive", 5, nullptr, "5"},
      {u"TimeToLive", 0, nullptr, "5"},  // 0 keeps the stored value
      {u"LocalPort", 70000, nullptr, "4464"},  // the low 16 bits
      {u"RemotePort", -1, nullptr, "65535"},
      {u"InBufferSize", 4096, nullptr, "4096"},
      {u"OutBufferSize", 1000, nullptr, "1000"},
      {u"QOSFlags", 16, nullptr, "16"},
      {u"CharsetMode", 7, nullptr, "7"},
      {u"DontRoute", 5, nullptr, "bool -1"},  // any non-zero is True
      {u"UseConnection", 1, nullptr, "bool -1"},
      {u"UseConnection", 0, nullptr, "bool 0"},
      {u"RemoteHost", std::nullopt, "localhost", "'127.0.0.1'"},  // read back dotted
      {u"RemoteHost", std::nullopt, "255.255.255.255", "'255.255.255.255'"},
      {u"RemoteHost", std::nullopt, "", "''"},
      {u"LocalHost", std::nullopt, "localhost", "'127.0.0.1'"},
  };
  for (const auto& step : steps) {
    const std::string name(step.name, step.name + std::char_traits<char16_t>::length(step.name));
    EXPECT_EQ(Write(step.name, step.number ? Long(*step.number) : Text(step.text)), S_OK) << name;
    EXPECT_EQ(Read(step.name), step.expected) << name;
  }
}

TEST_F(Properties, TheBoundPortReadsBackWhileActiveOnly) {
  ASSERT_EQ(control_->put_Active(VARIANT_TRUE), S_OK);
  LONG port = 0;
  EXPECT_EQ(control_->get_LocalPort(&port), S_OK);
  EXPECT_GT(port, 0);
  LONG handle = -1;
  EXPECT_EQ(control_->get_SocketHandle(&handle), S_OK);
  EXPECT_NE(handle, -1);
  ASSERT_EQ(control_->put_Active(VARIANT_FALSE), S_OK);
  EXPECT_EQ(control_->get_LocalPort(&port), S_OK);
  EXPECT_EQ(port, 0);
  EXPECT_EQ(control_->get_SocketHandle(&handle), S_OK);
  EXPECT_EQ(handle, -1);
}

TEST_F(Properties, GettersWithANullPointerSucceed) {
  EXPECT_EQ(control_->get_Active(nullptr), S_OK);
  EXPECT_EQ(control_->get_RemoteHost(nullptr), S_OK);
  EXPECT_EQ(control_->get_LocalPort(nullptr), S_OK);
  EXPECT_EQ(control_->get_DataInDatagramB(nullptr), S_OK);
  EXPECT_EQ(control_->get_WinsockPath(nullptr), S_OK);
}

TEST_F(Properties, TheWinsockPathTakesTimeoutsAndFallsBackToItsDefault) {
  // Released, the path reads as stored; the timeout forms leave it alone.
  ASSERT_EQ(control_->put_WinsockLoaded(VARIANT_FALSE), S_OK);
  const struct {
    const char* set;
    const char* reads;
  } rows[] = {
      {"", "WSOCK32.DLL"},
      {"*other.dll", "other.dll"},
      {"*TimeoutMillis=250", "other.dll"},
      {"*Tshort", "other.dll"},
      {"next.dll", "next.dll"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(Write(u"WinsockPath", Text(row.set)), S_OK) << row.set;
    EXPECT_EQ(Read(u"WinsockPath"), "'" + std::string(row.reads) + "'") << row.set;
  }
  EXPECT_EQ(Write(u"WinsockPath", Text("")), S_OK);
  // Taken again, the library reads back as the module it is.
  ASSERT_EQ(control_->put_WinsockLoaded(VARIANT_TRUE), S_OK);
  EXPECT_EQ(Read(u"WinsockPath"), "'" + std::string(MARLET_WSOCK32_PATH) + "'");
}

TEST_F(Properties, AMissingLibraryShowsInItsProperties) {
  ASSERT_EQ(control_->put_WinsockLoaded(VARIANT_FALSE), S_OK);
  EXPECT_EQ(Write(u"WinsockPath", Text("/nonexistent/wsock32.dll")), S_OK);
  EXPECT_EQ(control_->put_WinsockLoaded(VARIANT_TRUE), S_OK);  // never fails
  EXPECT_EQ(Read(u"WinsockLoaded"), "bool 0");
  EXPECT_EQ(Read(u"WinsockInfo"), "'Could not load Winsock DLL.'");
  EXPECT_EQ(Read(u"WinsockStatus"), "'Down'");
  EXPECT_EQ(Read(u"WinsockMaxSockets"), "0");
  EXPECT_EQ(Write(u"WinsockPath", Text("")), S_OK);
}

// Every failure a caller can meet, as GetErrorInfo reports it.
TEST_F(Properties, FailuresBecomeAutomationErrors) {
  UdpPeer holder;  // a port that is taken
  BSTR empty = SysAllocString(u"");
  BSTR text = SysAllocString(u"x");
  BSTR unknown_host = Wide(std::string(70, 'h') + ".invalid");
  VARIANT string_value = Text("not bytes");
  const struct {
    const char* what;
    std::function<HRESULT(IMarlet*)> call;
    HRESULT hr;
    const char* description;
    DWORD help;
  } rows[] = {
      {"second activation",
       [](IMarlet* c) {
         c->put_Active(VARIANT_TRUE);
         return c->put_Active(VARIANT_TRUE);
       },
       static_cast<HRESULT>(0x800A4E89), "Marlet is already Active.", 21302},
      {"LocalPort while active",
       [](IMarlet* c) {
         c->put_Active(VARIANT_TRUE);
         return c->put_LocalPort(5);
       },
       static_cast<HRESULT>(0x800A4E8B), "You cannot change the LocalPort while the control is Active.",
       21307},
      {"MaxPacketSize while active",
       [](IMarlet* c) {
         c->put_Active(VARIANT_TRUE);
         return c->put_MaxPacketSize(10);
       },
       static_cast<HRESULT>(0x800A4E91), "Cannot change MaxPacketSize while the control is Active.",
       21308},
      {"sending while inactive", [&](IMarlet* c) { return c->put_DataToSend(text); },
       static_cast<HRESULT>(0x800A4E8E), "The control must be Active for this operation.", 21303},
      {"Send while inactive", [&](IMarlet* c) { return c->Send(empty); },
       static_cast<HRESULT>(0x800A4E8E), "The control must be Active for this operation.", 41302},
      {"connected with port 0",
       [](IMarlet* c) {
         c->put_UseConnection(VARIANT_TRUE);
         return c->put_Active(VARIANT_TRUE);
       },
       static_cast<HRESULT>(0x800A4E95),
       "RemotePort can't be zero when UseConnection is set. Please specify a valid service port "
       "number.",
       21302},
      {"port in use",
       [&](IMarlet* c) {
         c->put_LocalPort(holder.port());
         return c->put_Active(VARIANT_TRUE);
       },
       static_cast<HRESULT>(0x800A61D9), "[10048] Address already in use", 21302},
      {"unknown host", [&](IMarlet* c) { return c->put_RemoteHost(unknown_host); },
       static_cast<HRESULT>(0x800A6592), "[11001] Host not found", 21311},
      {"library released",
       [&](IMarlet* c) {
         // The fixture's control holds a load too: the last one goes back.
         control_->put_WinsockLoaded(VARIANT_FALSE);
         c->put_WinsockLoaded(VARIANT_FALSE);
         return c->put_Active(VARIANT_TRUE);
       },
       static_cast<HRESULT>(0x800A6206), "[10093] Winsock not loaded yet (WSANOTINITIALISED)",
       21302},
      {"read-only setter", [](IMarlet* c) { return c->put_SocketHandle(3); },
       static_cast<HRESULT>(0x800A017F), "Property is read-only.", 21314},
      {"read-only bytes", [&](IMarlet* c) { return c->put_DataInDatagramB(string_value); },
       static_cast<HRESULT>(0x800A017F), "Property is read-only.", 31301},
      {"write-only getter",
       [](IMarlet* c) {
         BSTR out = nullptr;
         return c->get_DataToSend(&out);
       },
       static_cast<HRESULT>(0x800A018A), "Property is write-only.", 21303},
      {"bytes of a string", [&](IMarlet* c) { return c->put_DataToSendB(string_value); },
       static_cast<HRESULT>(0x800A017C), "Property accepts only one-dimensional byte arrays.",
       21301},
  };
  for (const auto& row : rows) {
    ComPtr<IMarlet> control = Create();
    const ErrorReport e = TakeError(row.call(control.get()));
    EXPECT_EQ(e.hr, row.hr) << row.what;
    EXPECT_EQ(e.description, row.description) << row.what;
    EXPECT_EQ(e.source, "Halyard.Marlet.1") << row.what;
    EXPECT_EQ(e.help_file, "halyard.chm") << row.what;
    EXPECT_EQ(e.help_context, row.help) << row.what;
  }
  VariantClear(&string_value);
  SysFreeString(unknown_host);
  SysFreeString(text);
  SysFreeString(empty);
}

TEST_F(Properties, ADesignerSeesRuntimeOnlyPropertiesRefused) {
  ComPtr<IOleObject> object;
  ASSERT_EQ(control_.As(IID_IOleObject, object), S_OK);
  const struct {
    const char16_t* name;
    DWORD help;
  } refused[] = {
      {u"AcceptData", 21301},       {u"Active", 21302},
      {u"DontRoute", 21304},        {u"ShareLocalPort", 21313},
      {u"SocketHandle", 21314},     {u"WinsockMaxDatagramSize", 21319},
      {u"WinsockMaxSockets", 21320}, {u"WinsockPath", 21321},
      {u"DataToSendB", 21301},      {u"DataInDatagramB", 31301},
      {u"CharsetMode", 23104},
  };
  const struct {
    bool ambient, user_mode, refuses;
  } sites[] = {{true, false, true}, {true, true, false}, {false, false, false}};
  for (const auto& s : sites) {
    ClientSite site(s.ambient, s.user_mode);
    ASSERT_EQ(object->SetClientSite(&site), S_OK);
    for (const auto& row : refused) {
      VARIANT v;
      VariantInit(&v);
      const HRESULT hr = GetByName(control_.get(), row.name, &v);
      VariantClear(&v);
      const std::string name(row.name, row.name + std::char_traits<char16_t>::length(row.name));
      if (s.refuses) {
        EXPECT_EQ(hr, static_cast<HRESULT>(0x800A018A)) << name;
      } else if (row.name != std::u16string_view(u"DataToSendB")) {
        EXPECT_EQ(hr, S_OK) << name;
      }
    }
    // The refusal's words and help, and a property browsers may still show.
    if (s.refuses) {
      VARIANT_BOOL active = 0;
      const ErrorReport e = TakeError(control_->get_Active(&active));
      EXPECT_EQ(e.description, "Property is runtime only (no supported in design time).");
      EXPECT_EQ(e.help_context, 21302u);
      LONG size = 0;
      EXPECT_EQ(control_->get_InBufferSize(&size), S_OK);
      EXPECT_EQ(TakeError(control_->put_DataInDatagramB(VARIANT{})).description,
                "Property is runtime only (no supported in design time).");
    }
    ASSERT_EQ(object->SetClientSite(nullptr), S_OK);
    EXPECT_EQ(site.refs, 0u);
  }
}

TEST_F(Properties, LateBindingReachesEveryMember) {
  ComPtr<ITypeInfo> info;
  ASSERT_EQ(control_->GetTypeInfo(0, 0, info.put()), S_OK);
  const char16_t* names[] = {
      u"AcceptData", u"Active", u"DataToSend", u"DontRoute", u"InBufferSize", u"LocalHost",
      u"LocalPort", u"MaxPacketSize", u"OutBufferSize", u"QOSFlags", u"RemoteHost",
      u"RemotePort", u"ShareLocalPort", u"SocketHandle", u"TimeToLive", u"UseConnection",
      u"WinsockInfo", u"WinsockLoaded", u"WinsockMaxDatagramSize", u"WinsockMaxSockets",
      u"WinsockPath", u"WinsockStatus", u"DataToSendB", u"DataInDatagramB", u"DoEvents",
      u"Send", u"OnStartPage", u"OnEndPage", u"CharsetMode"};
  const DISPID ids[] = {1,   2,   3,   4,   5,   6,   7,   8,   9,   10,
                        11,  12,  13,  14,  15,  16,  17,  18,  19,  20,
                        21,  22,  23,  24,  501, 502, marlet::kDispOnStartPage,
                        marlet::kDispOnEndPage, 242};
  for (size_t i = 0; i < std::size(names); ++i) {
    DISPID id = 0;
    LPOLESTR name[] = {const_cast<LPOLESTR>(names[i])};
    EXPECT_EQ(control_->GetIDsOfNames(IID_NULL, name, 1, 0, &id), S_OK);
    EXPECT_EQ(id, ids[i]);
  }
  // The methods, called by name.
  UdpPeer peer;
  control_->put_RemotePort(peer.port());
  BSTR host = SysAllocString(u"127.0.0.1");
  control_->put_RemoteHost(host);
  SysFreeString(host);
  control_->put_Active(VARIANT_TRUE);
  const struct {
    const char16_t* name;
    std::vector<VARIANT> args;
  } calls[] = {{u"DoEvents", {}},
               {u"Send", {Text("by name")}},
               {u"OnStartPage", {VARIANT{}}},
               {u"OnEndPage", {}}};
  for (const auto& call : calls) {
    DISPID id = 0;
    LPOLESTR name[] = {const_cast<LPOLESTR>(call.name)};
    ASSERT_EQ(control_->GetIDsOfNames(IID_NULL, name, 1, 0, &id), S_OK);
    std::vector<VARIANT> args = call.args;
    if (!args.empty() && args[0].vt == VT_EMPTY) args[0].vt = VT_UNKNOWN;
    DISPPARAMS params{args.data(), nullptr, static_cast<UINT>(args.size()), 0};
    EXPECT_EQ(control_->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr,
                               nullptr),
              S_OK);
    for (VARIANT& a : args) VariantClear(&a);
  }
  const auto got = peer.Receive(std::chrono::milliseconds(2000));
  ASSERT_TRUE(got);
  EXPECT_EQ(got->data, "by name");
  // A setter by name and the getter early bound agree.
  EXPECT_EQ(Write(u"TimeToLive", Long(9)), S_OK);
  LONG ttl = 0;
  control_->get_TimeToLive(&ttl);
  EXPECT_EQ(ttl, 9);
}

TEST_F(Properties, CharsetModeFollowsTheCodePage) {
  LONG mode = -1;
  ASSERT_EQ(control_->get_CharsetMode(&mode), S_OK);
  EXPECT_EQ(mode, GetACP() == 932 ? 1 : 0);
}

}  // namespace
}  // namespace marlet_test
