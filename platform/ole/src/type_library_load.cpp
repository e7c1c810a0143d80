// Type libraries from files and from modules' TYPELIB resources, and found through the
// registry by identity and version.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "guid_text.h"
#include "ole/type_library_file.h"
#include "oleauto.h"
#include "win32/module.h"
#include "win32/resource.h"
#include "winreg.h"

namespace {

bool IsModule(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  char magic[4] = {};
  return in.read(magic, 4) && magic[0] == 0x7F && magic[1] == 'E' && magic[2] == 'L' &&
         magic[3] == 'F';
}

bool Exists(const std::string& path) {
  return static_cast<bool>(std::ifstream(path, std::ios::binary));
}

HRESULT FromImage(const void* data, std::size_t size, ITypeLib** out) {
  ole::TypeLibDef def;
  if (!ole::ReadTypeLibDef(data, size, def)) return TYPE_E_CANTLOADLIBRARY;
  return ole::CreateTypeLib(def, out);
}

HRESULT FromModule(const std::string& path, WORD resource, ITypeLib** out) {
  HMODULE module = LoadLibraryA(path.c_str());
  if (module == nullptr) return TYPE_E_CANTLOADLIBRARY;
  HRESULT hr = TYPE_E_CANTLOADLIBRARY;
  if (HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(resource), "TYPELIB")) {
    hr = FromImage(LockResource(LoadResource(module, found)), SizeofResource(module, found), out);
  }
  FreeLibrary(module);  // the library's records are copies
  return hr;
}

HRESULT FromFile(const std::string& path, ITypeLib** out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return TYPE_E_CANTLOADLIBRARY;
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  if (size < 0 || size > (16 << 20)) return TYPE_E_CANTLOADLIBRARY;
  in.seekg(0);
  std::string bytes(static_cast<std::size_t>(size), '\0');
  if (!in.read(bytes.data(), size)) return TYPE_E_CANTLOADLIBRARY;
  return FromImage(bytes.data(), bytes.size(), out);
}

std::string Hex(unsigned long n) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%lx", n);
  return buf;
}

// Through the wide API: the path may hold any character, which the ANSI one would not keep.
std::u16string ReadDefault(HKEY root, const std::string& subkey) {
  HKEY key = nullptr;
  const std::u16string wide_key = ole::Widen(subkey);
  if (RegOpenKeyExW(root, wide_key.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return {};
  std::u16string buf(4096, u'\0');
  DWORD type = 0, size = static_cast<DWORD>(buf.size() * sizeof(char16_t));
  LSTATUS rc =
      RegQueryValueExW(key, u"", nullptr, &type, reinterpret_cast<LPBYTE>(buf.data()), &size);
  RegCloseKey(key);
  if (rc != ERROR_SUCCESS || type != REG_SZ) return {};
  buf.resize(size / sizeof(char16_t));
  return buf.substr(0, buf.find(u'\0'));
}

// The registered version with the same major number and the highest minor number not below
// the one asked for, as Windows chooses.
bool FindVersion(HKEY lib, WORD major, WORD minor, std::string& version) {
  long best = -1;
  char name[256];
  for (DWORD i = 0;; ++i) {
    DWORD len = sizeof name;
    if (RegEnumKeyExA(lib, i, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
      break;
    }
    char* dot = nullptr;
    const unsigned long maj = std::strtoul(name, &dot, 16);
    if (dot == name || *dot != '.') continue;
    char* end = nullptr;
    const unsigned long min = std::strtoul(dot + 1, &end, 16);
    if (end == dot + 1 || *end != '\0') continue;
    if (maj == major && min >= minor && static_cast<long>(min) > best && min <= 0xFFFF) {
      best = static_cast<long>(min);
      version = name;
    }
  }
  return best >= 0;
}

}  // namespace

STDAPI LoadTypeLibEx(LPCOLESTR szFile, REGKIND regkind, ITypeLib** pptlib) {
  if (pptlib == nullptr) return E_POINTER;
  *pptlib = nullptr;
  if (szFile == nullptr) return E_INVALIDARG;
  std::string path = ole::Narrow(szFile);
  WORD resource = 1;
  if (!Exists(path)) {
    // "module\N" names the module's TYPELIB resource N.
    const std::size_t slash = path.rfind('\\');
    char* end = nullptr;
    const unsigned long n = slash == std::string::npos ? 0 : std::strtoul(path.c_str() + slash + 1, &end, 10);
    if (n == 0 || n > 0xFFFF || *end != '\0') return TYPE_E_CANTLOADLIBRARY;
    resource = static_cast<WORD>(n);
    path.resize(slash);
  }
  HRESULT hr = IsModule(path) ? FromModule(path, resource, pptlib) : FromFile(path, pptlib);
  if (SUCCEEDED(hr) && regkind == REGKIND_REGISTER) {
    hr = RegisterTypeLib(*pptlib, szFile, nullptr);
    if (FAILED(hr)) {
      (*pptlib)->Release();
      *pptlib = nullptr;
    }
  }
  return hr;
}

STDAPI LoadTypeLib(LPCOLESTR szFile, ITypeLib** pptlib) {
  return LoadTypeLibEx(szFile, REGKIND_NONE, pptlib);
}

STDAPI QueryPathOfRegTypeLib(REFGUID guid, USHORT wMaj, USHORT wMin, LCID lcid, BSTR* lpbstrPathName) {
  if (lpbstrPathName == nullptr) return E_INVALIDARG;
  *lpbstrPathName = nullptr;
  const std::string lib_key = "TypeLib\\" + ole::GuidToString(guid);
  HKEY lib = nullptr;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, lib_key.c_str(), 0, KEY_READ, &lib) != ERROR_SUCCESS) {
    return TYPE_E_LIBNOTREGISTERED;
  }
  std::string version;
  const bool found = FindVersion(lib, wMaj, wMin, version);
  RegCloseKey(lib);
  if (!found) return TYPE_E_LIBNOTREGISTERED;
  // The exact locale, then its primary language, then the neutral one; 64-bit, then 32-bit.
  for (LCID l : {lcid, static_cast<LCID>(lcid & 0x3FF), static_cast<LCID>(0)}) {
    for (const char* platform : {"win64", "win32"}) {
      const std::u16string path = ReadDefault(
          HKEY_CLASSES_ROOT, lib_key + "\\" + version + "\\" + Hex(l) + "\\" + platform);
      if (path.empty()) continue;
      *lpbstrPathName = SysAllocStringLen(path.data(), static_cast<UINT>(path.size()));
      return *lpbstrPathName ? S_OK : E_OUTOFMEMORY;
    }
  }
  return TYPE_E_LIBNOTREGISTERED;
}

STDAPI LoadRegTypeLib(REFGUID rguid, WORD wVerMajor, WORD wVerMinor, LCID lcid, ITypeLib** pptlib) {
  if (pptlib == nullptr) return E_POINTER;
  *pptlib = nullptr;
  BSTR path = nullptr;
  HRESULT hr = QueryPathOfRegTypeLib(rguid, wVerMajor, wVerMinor, lcid, &path);
  if (FAILED(hr)) return hr;
  hr = LoadTypeLib(path, pptlib);
  SysFreeString(path);
  return hr;
}
