// Type library registration under HKCR\TypeLib and HKCR\Interface.
#include <cstdio>
#include <string>

#include "guid_text.h"
#include "oleauto.h"
#include "registry_store.h"

namespace {

using ole::reg::Key;

// The proxy classes of automation interfaces: dual ones and pure dispatch ones.
constexpr const char* kOleAutomationProxy = "{00020424-0000-0000-C000-000000000046}";
constexpr const char* kDispatchProxy = "{00020420-0000-0000-C000-000000000046}";

std::string Version(WORD major, WORD minor) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%x.%x", major, minor);
  return buf;
}

std::string Hex(DWORD n) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%x", n);
  return buf;
}

ole::reg::Value Text(std::string s) {
  return ole::reg::Value{1, std::move(s)};
}

std::string Bstr(BSTR s) {
  std::string out = s ? ole::Narrow(std::u16string_view(s, SysStringLen(s))) : std::string();
  SysFreeString(s);
  return out;
}

const char* PlatformKey(SYSKIND kind) {
  switch (kind) {
    case SYS_WIN16:
      return "win16";
    case SYS_WIN32:
      return "win32";
    case SYS_MAC:
      return "mac";
    default:
      return "win64";
  }
}

struct InterfaceEntry {
  std::string iid, name;
  bool dual;
};

}  // namespace

STDAPI RegisterTypeLib(ITypeLib* ptlib, LPCOLESTR szFullPath, LPCOLESTR szHelpDir) {
  if (!ptlib || !szFullPath) return E_INVALIDARG;
  TLIBATTR* attr = nullptr;
  HRESULT hr = ptlib->GetLibAttr(&attr);
  if (FAILED(hr)) return hr;
  const TLIBATTR la = *attr;
  ptlib->ReleaseTLibAttr(attr);
  BSTR name_b = nullptr, doc_b = nullptr;
  ptlib->GetDocumentation(-1, &name_b, &doc_b, nullptr, nullptr);
  const std::string name = Bstr(name_b), doc = Bstr(doc_b);

  std::vector<InterfaceEntry> interfaces;
  for (UINT i = 0, n = ptlib->GetTypeInfoCount(); i < n; ++i) {
    ITypeInfo* info = nullptr;
    if (FAILED(ptlib->GetTypeInfo(i, &info))) continue;
    TYPEATTR* ta = nullptr;
    if (SUCCEEDED(info->GetTypeAttr(&ta))) {
      const bool automation =
          ta->typekind == TKIND_DISPATCH ||
          (ta->typekind == TKIND_INTERFACE && (ta->wTypeFlags & TYPEFLAG_FOLEAUTOMATION));
      if (automation) {
        BSTR iname = nullptr;
        info->GetDocumentation(MEMBERID_NIL, &iname, nullptr, nullptr, nullptr);
        interfaces.push_back(
            {ole::GuidToString(ta->guid), Bstr(iname),
             (ta->wTypeFlags & TYPEFLAG_FDUAL) != 0 || ta->typekind == TKIND_INTERFACE});
      }
      info->ReleaseTypeAttr(ta);
    }
    info->Release();
  }

  const std::string libid = ole::GuidToString(la.guid);
  const std::string version = Version(la.wMajorVerNum, la.wMinorVerNum);
  const std::string path = ole::Narrow(szFullPath);
  std::string help_dir;
  if (szHelpDir) {
    help_dir = ole::Narrow(szHelpDir);
  } else {
    auto slash = path.rfind('/');
    help_dir = slash == std::string::npos ? std::string() : path.substr(0, slash);
  }
  LONG rc = ole::reg::Update([&](ole::reg::Tree& tree, bool& changed) -> LONG {
    Key& root = tree.roots[ole::reg::kClassesRoot];
    Key& ver = root.Child("TypeLib").Child(libid).Child(version);
    ver.SetValue("", Text(doc.empty() ? name : doc));
    ver.Child("FLAGS").SetValue("", Text(Hex(la.wLibFlags)));
    ver.Child("HELPDIR").SetValue("", Text(help_dir));
    ver.Child(Hex(la.lcid)).Child(PlatformKey(la.syskind)).SetValue("", Text(path));
    for (const InterfaceEntry& e : interfaces) {
      Key& k = root.Child("Interface").Child(e.iid);
      k.SetValue("", Text(e.name));
      const char* proxy = e.dual ? kOleAutomationProxy : kDispatchProxy;
      k.Child("ProxyStubClsid").SetValue("", Text(proxy));
      k.Child("ProxyStubClsid32").SetValue("", Text(proxy));
      Key& tl = k.Child("TypeLib");
      tl.SetValue("", Text(libid));
      tl.SetValue("Version", Text(version));
    }
    changed = true;
    return ERROR_SUCCESS;
  });
  return rc == ERROR_SUCCESS ? S_OK : TYPE_E_REGISTRYACCESS;
}

// The registered path would be needed to load the library and list its interfaces; the
// interfaces are found instead by their TypeLib entry naming this library and version.
STDAPI UnRegisterTypeLib(REFGUID libID, WORD wVerMajor, WORD wVerMinor, LCID lcid,
                         SYSKIND syskind) {
  const std::string libid = ole::GuidToString(libID);
  const std::string version = Version(wVerMajor, wVerMinor);
  bool found = false;
  LONG rc = ole::reg::Update([&](ole::reg::Tree& tree, bool& changed) -> LONG {
    Key& root = tree.roots[ole::reg::kClassesRoot];
    Key* libs = root.Find("TypeLib");
    Key* lib = libs ? libs->Find(libid) : nullptr;
    Key* ver = lib ? lib->Find(version) : nullptr;
    Key* lang = ver ? ver->Find(Hex(lcid)) : nullptr;
    if (!lang || !lang->Find(PlatformKey(syskind))) return ERROR_SUCCESS;
    found = changed = true;
    lang->Remove(PlatformKey(syskind));
    if (!lang->subkeys.empty()) return ERROR_SUCCESS;  // other platforms stay registered
    ver->Remove(Hex(lcid));
    for (const auto& [sub, key] : ver->subkeys) {
      if (!ole::reg::EqualNoCase(sub, "FLAGS") && !ole::reg::EqualNoCase(sub, "HELPDIR")) {
        return ERROR_SUCCESS;  // another locale still uses this version
      }
    }
    lib->Remove(version);
    if (lib->subkeys.empty()) libs->Remove(libid);
    if (Key* ifaces = root.Find("Interface")) {
      std::vector<std::string> doomed;
      for (const auto& [iid, key] : ifaces->subkeys) {
        Key* tl = key->Find("TypeLib");
        const ole::reg::Value* id = tl ? tl->FindValue("") : nullptr;
        const ole::reg::Value* v = tl ? tl->FindValue("Version") : nullptr;
        if (id && ole::reg::EqualNoCase(id->data, libid) && (!v || v->data == version)) {
          doomed.push_back(iid);
        }
      }
      for (const std::string& iid : doomed) ifaces->Remove(iid);
    }
    return ERROR_SUCCESS;
  });
  if (rc != ERROR_SUCCESS) return TYPE_E_REGISTRYACCESS;
  return found ? S_OK : TYPE_E_REGISTRYACCESS;
}
