// The MARLETLib type library: compiled into the control for its dispatch calls, and written
// at build time into the library's type library resource from the same definition.
#include "type_library.h"

#include "marlet/imarlet.h"

namespace marlet {
namespace {

constexpr USHORT kRetval = PARAMFLAG_FOUT | PARAMFLAG_FRETVAL;

struct PropertyRow {
  Dispid dispid;
  const char16_t* name;
  VARTYPE vt;
  DWORD help;
};

// In slot order; every property has a getter and a setter in the interface, the
// read-only and write-only ones refusing one of them at run time.
constexpr PropertyRow kProperties[] = {
    {kDispAcceptData, u"AcceptData", VT_BOOL, 21301},
    {kDispActive, u"Active", VT_BOOL, 21302},
    {kDispDataToSend, u"DataToSend", VT_BSTR, 21303},
    {kDispDontRoute, u"DontRoute", VT_BOOL, 21304},
    {kDispInBufferSize, u"InBufferSize", VT_I4, 21305},
    {kDispLocalHost, u"LocalHost", VT_BSTR, 21306},
    {kDispLocalPort, u"LocalPort", VT_I4, 21307},
    {kDispMaxPacketSize, u"MaxPacketSize", VT_I4, 21308},
    {kDispOutBufferSize, u"OutBufferSize", VT_I4, 21309},
    {kDispQOSFlags, u"QOSFlags", VT_I4, 21310},
    {kDispRemoteHost, u"RemoteHost", VT_BSTR, 21311},
    {kDispRemotePort, u"RemotePort", VT_I4, 21312},
    {kDispShareLocalPort, u"ShareLocalPort", VT_BOOL, 21313},
    {kDispSocketHandle, u"SocketHandle", VT_I4, 21314},
    {kDispTimeToLive, u"TimeToLive", VT_I4, 21315},
    {kDispUseConnection, u"UseConnection", VT_BOOL, 21316},
    {kDispWinsockInfo, u"WinsockInfo", VT_BSTR, 21317},
    {kDispWinsockLoaded, u"WinsockLoaded", VT_BOOL, 21318},
    {kDispWinsockMaxDatagramSize, u"WinsockMaxDatagramSize", VT_I4, 21319},
    {kDispWinsockMaxSockets, u"WinsockMaxSockets", VT_I4, 21320},
    {kDispWinsockPath, u"WinsockPath", VT_BSTR, 21321},
    {kDispWinsockStatus, u"WinsockStatus", VT_BSTR, 21322},
    {kDispDataToSendB, u"DataToSendB", VT_VARIANT, 21301},
    {kDispDataInDatagramB, u"DataInDatagramB", VT_VARIANT, 31301},
};

void AddProperty(std::vector<ole::MemberDef>& members, Dispid dispid, const char16_t* name,
                 VARTYPE vt, DWORD help) {
  members.emplace_back(dispid, INVOKE_PROPERTYGET, name,
                       std::vector<ole::ParamDef>{{u"pVal", static_cast<VARTYPE>(VT_BYREF | vt), kRetval}}, help);
  members.emplace_back(dispid, INVOKE_PROPERTYPUT, name,
                       std::vector<ole::ParamDef>{{u"newVal", vt}}, help);
}

ole::InterfaceDef MarletInterface() {
  ole::InterfaceDef def;
  def.iid = kIidIMarlet;
  def.name = u"IMarlet";
  def.doc = u"IMarlet Interface";
  def.dual = true;
  auto& m = def.members;
  for (const PropertyRow& p : kProperties) AddProperty(m, p.dispid, p.name, p.vt, p.help);
  m.emplace_back(kDispDoEvents, INVOKE_FUNC, u"DoEvents", std::vector<ole::ParamDef>{}, 41301);
  m.emplace_back(kDispSend, INVOKE_FUNC, u"Send",
                 std::vector<ole::ParamDef>{{u"Text", VT_BSTR}}, 41302);
  m.emplace_back(kDispOnStartPage, INVOKE_FUNC, u"OnStartPage",
                 std::vector<ole::ParamDef>{{u"piUnk", VT_UNKNOWN}});
  m.emplace_back(kDispOnEndPage, INVOKE_FUNC, u"OnEndPage");
  AddProperty(m, kDispCharsetMode, u"CharsetMode", VT_I4, 23104);
  return def;
}

ole::InterfaceDef EventInterface() {
  ole::InterfaceDef def;
  def.iid = kIidIMarletEvents;
  def.name = u"_IMarletEvents";
  def.doc = u"_IMarletEvents Interface";
  def.dual = false;
  def.members = {
      {kDispDataIn, INVOKE_FUNC, u"DataIn",
       {{u"Datagram", VT_BYREF | VT_BSTR},
        {u"SourceAddress", VT_BYREF | VT_BSTR},
        {u"SourcePort", VT_BYREF | VT_I2}},
       31301},
      {kDispError, INVOKE_FUNC, u"Error",
       {{u"ErrorCode", VT_BYREF | VT_I2}, {u"Description", VT_BYREF | VT_BSTR}}, 31302},
      {kDispReadyToSend, INVOKE_FUNC, u"ReadyToSend", {}, 31303},
  };
  return def;
}

ole::TypeLibDef Build() {
  ole::TypeLibDef def;
  def.libid = kLibidMarlet;
  def.major = kLibraryMajor;
  def.minor = kLibraryMinor;
  def.lcid = kLibraryLocale;
  def.name = u"MARLETLib";
  def.doc = u"Halyard V5 Marlet 1.0 Type Library";
  def.help_file = u"halyard.chm";
  def.interfaces = {MarletInterface(), EventInterface()};
  ole::CoclassDef coclass;
  coclass.clsid = kClsidMarlet;
  coclass.name = u"Marlet";
  coclass.doc = u"Quenby - Halyard V5 Marlet Control";
  coclass.flags = TYPEFLAG_FCANCREATE | TYPEFLAG_FCONTROL;
  coclass.interfaces = {{kIidIMarlet, IMPLTYPEFLAG_FDEFAULT},
                        {kIidIMarletEvents, IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE}};
  def.coclasses = {coclass};
  return def;
}

}  // namespace

const ole::TypeLibDef& TypeLibraryDefinition() {
  static const ole::TypeLibDef def = Build();
  return def;
}

}  // namespace marlet

// The build-time writer of the type library resource looks for this name.
const ole::TypeLibDef& OleTypeLibDefinition() {
  return marlet::TypeLibraryDefinition();
}
