// The IMarlet members: each passes its engine code through the automation error mapping
// with its help context. A getter with a null out pointer succeeds and writes nothing.
#include <cstring>
#include <string>

#include "control_object.h"
#include "marlet/winsock_library.h"
#include "text.h"

namespace marlet {
namespace {

constexpr uint32_t Help(Dispid dispid) {
  return 21300u + static_cast<uint32_t>(dispid);
}
constexpr uint32_t kHelpDataToSendB = 21301;
constexpr uint32_t kHelpDataInDatagramB = 31301;
constexpr uint32_t kHelpCharsetMode = 23104;
constexpr uint32_t kHelpSend = 41302;
constexpr DWORD kDoEventsWaitMs = 20;

VARIANT_BOOL Bool(bool value) {
  return value ? VARIANT_TRUE : VARIANT_FALSE;
}

// Ports and the time to live are 16 bits wide: only the low ones count.
uint16_t Low16(LONG value) {
  return static_cast<uint16_t>(static_cast<uint32_t>(value) & 0xFFFF);
}

// A value of "*TimeoutMillis=N": the signed decimal number at its end.
LONG ParseTimeout(const std::string& digits) {
  size_t i = 0;
  const bool negative = i < digits.size() && digits[i] == '-';
  if (negative) ++i;
  int64_t value = 0;
  for (; i < digits.size() && digits[i] >= '0' && digits[i] <= '9'; ++i) {
    value = (value * 10 + (digits[i] - '0')) & 0xFFFFFFFF;
  }
  const auto bits = static_cast<uint32_t>(value);
  return static_cast<LONG>(negative ? 0u - bits : bits);
}

}  // namespace

HRESULT MarletControl::Result(Code code, uint32_t help_context) {
  if (code == kOk) return S_OK;
  return RaiseAutomationError(ToAutomationError(code, engine_.error_text(), help_context));
}

HRESULT MarletControl::Refuse(FrameworkError error, uint32_t help_context) {
  return RaiseAutomationError(ToAutomationError(error, help_context));
}

HRESULT MarletControl::RuntimeOnly(uint32_t help_context) {
  return Refuse(FrameworkError::kRuntimeOnly, help_context);
}

HRESULT MarletControl::GetText(BSTR* out, const char* text) {
  BSTR value = BstrFromAnsi(text ? std::string(text) : std::string());
  if (!value) return Result(kOutOfMemory, 0);
  *out = value;
  return S_OK;
}

STDMETHODIMP MarletControl::get_AcceptData(VARIANT_BOOL* pVal) {
  if (!pVal) return S_OK;
  if (DesignMode()) return RuntimeOnly(Help(kDispAcceptData));
  *pVal = Bool(engine_.accept_data());
  return S_OK;
}

STDMETHODIMP MarletControl::put_AcceptData(VARIANT_BOOL newVal) {
  return Result(engine_.SetAcceptData(newVal != 0), Help(kDispAcceptData));
}

STDMETHODIMP MarletControl::get_Active(VARIANT_BOOL* pVal) {
  if (!pVal) return S_OK;
  if (DesignMode()) return RuntimeOnly(Help(kDispActive));
  *pVal = Bool(engine_.active());
  return S_OK;
}

STDMETHODIMP MarletControl::put_Active(VARIANT_BOOL newVal) {
  // Closing delivers what waits: a handler may let go of the host's last reference.
  const Hold hold(this);
  return Result(newVal ? engine_.Activate() : engine_.Deactivate(), Help(kDispActive));
}

STDMETHODIMP MarletControl::get_DataToSend(BSTR* pVal) {
  if (!pVal) return S_OK;
  return Refuse(FrameworkError::kWriteOnly, Help(kDispDataToSend));
}

HRESULT MarletControl::SendText(BSTR text, uint32_t help_context) {
  AnsiBytes bytes;
  if (!AnsiFromBstr(text, &bytes)) return Result(kOutOfMemory, help_context);
  return Result(engine_.Send(bytes.data.get(), bytes.length), help_context);
}

STDMETHODIMP MarletControl::put_DataToSend(BSTR newVal) {
  return SendText(newVal, Help(kDispDataToSend));
}

STDMETHODIMP MarletControl::get_DontRoute(VARIANT_BOOL* pVal) {
  if (!pVal) return S_OK;
  if (DesignMode()) return RuntimeOnly(Help(kDispDontRoute));
  *pVal = Bool(engine_.dont_route());
  return S_OK;
}

STDMETHODIMP MarletControl::put_DontRoute(VARIANT_BOOL newVal) {
  return Result(engine_.SetDontRoute(newVal != 0), Help(kDispDontRoute));
}

STDMETHODIMP MarletControl::get_InBufferSize(LONG* pVal) {
  if (pVal) *pVal = engine_.in_buffer_size();
  return S_OK;
}

STDMETHODIMP MarletControl::put_InBufferSize(LONG newVal) {
  SetDirty();
  return Result(engine_.SetInBufferSize(newVal), Help(kDispInBufferSize));
}

STDMETHODIMP MarletControl::get_LocalHost(BSTR* pVal) {
  if (!pVal) return S_OK;
  // A failed read still succeeds, with the empty string.
  std::string host;
  engine_.GetLocalHost(&host);
  return GetText(pVal, host.c_str());
}

STDMETHODIMP MarletControl::put_LocalHost(BSTR newVal) {
  return Result(engine_.SetLocalHost(AnsiFromCString(newVal).c_str()), Help(kDispLocalHost));
}

STDMETHODIMP MarletControl::get_LocalPort(LONG* pVal) {
  if (!pVal) return S_OK;
  uint16_t port = 0;
  const Code code = engine_.GetLocalPort(&port);
  if (code != kOk) return Result(code, 0);
  *pVal = port;
  return S_OK;
}

STDMETHODIMP MarletControl::put_LocalPort(LONG newVal) {
  SetDirty();
  return Result(engine_.SetLocalPort(Low16(newVal)), Help(kDispLocalPort));
}

STDMETHODIMP MarletControl::get_MaxPacketSize(LONG* pVal) {
  if (pVal) *pVal = engine_.max_packet_size();
  return S_OK;
}

STDMETHODIMP MarletControl::put_MaxPacketSize(LONG newVal) {
  SetDirty();
  return Result(engine_.SetMaxPacketSize(newVal), Help(kDispMaxPacketSize));
}

STDMETHODIMP MarletControl::get_OutBufferSize(LONG* pVal) {
  if (pVal) *pVal = engine_.out_buffer_size();
  return S_OK;
}

STDMETHODIMP MarletControl::put_OutBufferSize(LONG newVal) {
  SetDirty();
  return Result(engine_.SetOutBufferSize(newVal), Help(kDispOutBufferSize));
}

STDMETHODIMP MarletControl::get_QOSFlags(LONG* pVal) {
  if (!pVal) return S_OK;
  LONG flags = 0;
  const Code code = engine_.GetQosFlags(&flags);
  if (code != kOk) return Result(code, 0);
  *pVal = flags;
  return S_OK;
}

STDMETHODIMP MarletControl::put_QOSFlags(LONG newVal) {
  SetDirty();
  return Result(engine_.SetQosFlags(newVal), Help(kDispQOSFlags));
}

STDMETHODIMP MarletControl::get_RemoteHost(BSTR* pVal) {
  if (!pVal) return S_OK;
  std::string host;
  const Code code = engine_.GetRemoteHost(&host);
  if (code != kOk) return Result(code, 0);
  return GetText(pVal, host.c_str());
}

STDMETHODIMP MarletControl::put_RemoteHost(BSTR newVal) {
  SetDirty();
  return Result(engine_.SetRemoteHost(AnsiFromCString(newVal).c_str()), Help(kDispRemoteHost));
}

STDMETHODIMP MarletControl::get_RemotePort(LONG* pVal) {
  if (pVal) *pVal = engine_.remote_port();
  return S_OK;
}

STDMETHODIMP MarletControl::put_RemotePort(LONG newVal) {
  SetDirty();
  return Result(engine_.SetRemotePort(Low16(newVal)), Help(kDispRemotePort));
}

STDMETHODIMP MarletControl::get_ShareLocalPort(VARIANT_BOOL* pVal) {
  if (!pVal) return S_OK;
  if (DesignMode()) return RuntimeOnly(Help(kDispShareLocalPort));
  *pVal = Bool(engine_.share_local_port());
  return S_OK;
}

STDMETHODIMP MarletControl::put_ShareLocalPort(VARIANT_BOOL newVal) {
  return Result(engine_.SetShareLocalPort(newVal != 0), Help(kDispShareLocalPort));
}

STDMETHODIMP MarletControl::get_SocketHandle(LONG* pVal) {
  if (!pVal) return S_OK;
  if (DesignMode()) return RuntimeOnly(Help(kDispSocketHandle));
  *pVal = engine_.active() ? static_cast<LONG>(engine_.socket_handle()) : -1;
  return S_OK;
}

STDMETHODIMP MarletControl::put_SocketHandle(LONG) {
  return Refuse(FrameworkError::kReadOnly, Help(kDispSocketHandle));
}

STDMETHODIMP MarletControl::get_TimeToLive(LONG* pVal) {
  if (pVal) *pVal = engine_.time_to_live();
  return S_OK;
}

STDMETHODIMP MarletControl::put_TimeToLive(LONG newVal) {
  SetDirty();
  return Result(engine_.SetTimeToLive(Low16(newVal)), Help(kDispTimeToLive));
}

STDMETHODIMP MarletControl::get_UseConnection(VARIANT_BOOL* pVal) {
  if (pVal) *pVal = Bool(engine_.use_connection());
  return S_OK;
}

STDMETHODIMP MarletControl::put_UseConnection(VARIANT_BOOL newVal) {
  SetDirty();
  return Result(engine_.SetUseConnection(newVal != 0), Help(kDispUseConnection));
}

STDMETHODIMP MarletControl::get_WinsockInfo(BSTR* pVal) {
  if (!pVal) return S_OK;
  return GetText(pVal, WinsockLibrary::Description());
}

STDMETHODIMP MarletControl::put_WinsockInfo(BSTR) {
  return Refuse(FrameworkError::kReadOnly, Help(kDispWinsockInfo));
}

STDMETHODIMP MarletControl::get_WinsockLoaded(VARIANT_BOOL* pVal) {
  if (pVal) *pVal = Bool(engine_.winsock_loaded());
  return S_OK;
}

STDMETHODIMP MarletControl::put_WinsockLoaded(VARIANT_BOOL newVal) {
  // Never fails: a failed load shows as WinsockLoaded staying False, the reason in
  // WinsockInfo.
  if (newVal) {
    engine_.LoadWinsock();
  } else {
    engine_.ReleaseWinsock();
  }
  SetDirty();
  return S_OK;
}

STDMETHODIMP MarletControl::get_WinsockMaxDatagramSize(LONG* pVal) {
  if (!pVal) return S_OK;
  if (DesignMode()) return RuntimeOnly(Help(kDispWinsockMaxDatagramSize));
  *pVal = WinsockLibrary::MaxDatagramSize();
  return S_OK;
}

STDMETHODIMP MarletControl::put_WinsockMaxDatagramSize(LONG) {
  return Refuse(FrameworkError::kReadOnly, Help(kDispWinsockMaxDatagramSize));
}

STDMETHODIMP MarletControl::get_WinsockMaxSockets(LONG* pVal) {
  if (!pVal) return S_OK;
  if (DesignMode()) return RuntimeOnly(Help(kDispWinsockMaxSockets));
  *pVal = WinsockLibrary::MaxSockets();
  return S_OK;
}

STDMETHODIMP MarletControl::put_WinsockMaxSockets(LONG) {
  return Refuse(FrameworkError::kReadOnly, Help(kDispWinsockMaxSockets));
}

STDMETHODIMP MarletControl::get_WinsockPath(BSTR* pVal) {
  if (!pVal) return S_OK;
  if (DesignMode()) return RuntimeOnly(Help(kDispWinsockPath));
  return GetText(pVal, WinsockLibrary::Path());
}

STDMETHODIMP MarletControl::put_WinsockPath(BSTR newVal) {
  static constexpr char kTimeoutPrefix[] = "*TimeoutMillis=";
  static constexpr size_t kPrefixLength = sizeof kTimeoutPrefix - 1;
  const std::string value = AnsiFromCString(newVal);
  if (value.size() >= 2 && value[0] == '*' && value[1] == 'T') {
    // Too short to carry a timeout: neither a timeout nor a path.
    if (value.size() - 1 < kPrefixLength) return S_OK;
    if (value.compare(0, kPrefixLength, kTimeoutPrefix) == 0) {
      engine_.set_timeout(ParseTimeout(value.substr(kPrefixLength)));
      return S_OK;
    }
  }
  WinsockLibrary::SetPath(value.c_str() + (!value.empty() && value[0] == '*' ? 1 : 0));
  return S_OK;
}

STDMETHODIMP MarletControl::get_WinsockStatus(BSTR* pVal) {
  if (!pVal) return S_OK;
  return GetText(pVal, WinsockLibrary::Status());
}

STDMETHODIMP MarletControl::put_WinsockStatus(BSTR) {
  return Refuse(FrameworkError::kReadOnly, Help(kDispWinsockStatus));
}

STDMETHODIMP MarletControl::get_DataToSendB(VARIANT* pVal) {
  if (!pVal) return S_OK;
  if (DesignMode()) return RuntimeOnly(kHelpDataToSendB);
  return Refuse(FrameworkError::kWriteOnly, kHelpDataToSendB);
}

STDMETHODIMP MarletControl::get_DataInDatagramB(VARIANT* pVal) {
  if (!pVal) return S_OK;
  if (DesignMode()) return RuntimeOnly(kHelpDataInDatagramB);
  VariantInit(pVal);
  if (!datagram_) return S_OK;
  SAFEARRAY* array =
      SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(datagram_length_));
  if (!array) return Result(kOutOfMemory, 0);
  void* bytes = nullptr;
  if (SUCCEEDED(SafeArrayAccessData(array, &bytes))) {
    std::memcpy(bytes, datagram_, static_cast<size_t>(datagram_length_));
    SafeArrayUnaccessData(array);
  }
  pVal->vt = VT_ARRAY | VT_UI1;
  pVal->parray = array;
  return S_OK;
}

STDMETHODIMP MarletControl::put_DataInDatagramB(VARIANT) {
  if (DesignMode()) return RuntimeOnly(kHelpDataInDatagramB);
  return Refuse(FrameworkError::kReadOnly, kHelpDataInDatagramB);
}

STDMETHODIMP MarletControl::DoEvents() {
  const Hold hold(this);
  engine_.PumpStep(kDoEventsWaitMs);
  return S_OK;
}

STDMETHODIMP MarletControl::Send(BSTR Text) {
  return SendText(Text, kHelpSend);
}

STDMETHODIMP MarletControl::OnStartPage(IUnknown*) {
  return S_OK;
}

STDMETHODIMP MarletControl::OnEndPage() {
  return S_OK;
}

STDMETHODIMP MarletControl::get_CharsetMode(LONG* pVal) {
  if (!pVal) return S_OK;
  if (DesignMode()) return RuntimeOnly(kHelpCharsetMode);
  *pVal = engine_.charset_mode();
  return S_OK;
}

STDMETHODIMP MarletControl::put_CharsetMode(LONG newVal) {
  engine_.set_charset_mode(newVal);
  return S_OK;
}

}  // namespace marlet
