// A small library of one dual interface, one event interface and one class: the records the
// type-library resource tests store and load back.
#include "typelib_fixture.h"

using ole::MemberDef;
using ole::ParamDef;

const ole::TypeLibDef& OleTypeLibDefinition() {
  static const ole::TypeLibDef def = [] {
    ole::TypeLibDef d;
    d.libid = kFixtureLibId;
    d.major = 1;
    d.minor = 2;
    d.lcid = 0;
    d.name = u"FixtureLib";
    d.doc = u"Fixture Type Library";
    d.help_file = u"fixture.chm";
    d.help_context = 77;
    ole::InterfaceDef dual;
    dual.iid = kFixtureIid;
    dual.name = u"IFixture";
    dual.members = {
        MemberDef(1, INVOKE_PROPERTYGET, u"Count",
                  {ParamDef(u"pVal", VT_BYREF | VT_I4, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL)}, 101),
        MemberDef(1, INVOKE_PROPERTYPUT, u"Count", {ParamDef(u"newVal", VT_I4)}, 101),
        MemberDef(2, INVOKE_FUNC, u"Say\u00e9", {ParamDef(u"Text", VT_BSTR)}, 102, u"says"),
    };
    ole::InterfaceDef events;
    events.iid = kFixtureEventsIid;
    events.name = u"_IFixtureEvents";
    events.dual = false;
    events.members = {MemberDef(1, INVOKE_FUNC, u"Ping",
                                {ParamDef(u"Value", VT_BYREF | VT_I2)})};
    d.interfaces = {dual, events};
    ole::CoclassDef coclass;
    coclass.clsid = kFixtureClsid;
    coclass.name = u"Fixture";
    coclass.interfaces = {{kFixtureIid, IMPLTYPEFLAG_FDEFAULT},
                          {kFixtureEventsIid, IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE}};
    d.coclasses = {coclass};
    return d;
  }();
  return def;
}
