// advapi32's registry calls over the registry file. A key handle names a path; each call
// reads (or, for a change, locks and rewrites) the file, so handles see other processes'
// changes and a handle to a key deleted meanwhile gets ERROR_KEY_DELETED.
#include <cstring>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "guid_text.h"
#include "registry_store.h"
#include "win32/nls.h"
#include "winreg.h"

namespace {

using ole::reg::Key;
using ole::reg::Tree;
using ole::reg::Value;

struct Handle {
  ole::reg::Root root;
  std::vector<std::string> path;
};

std::mutex handles_mutex;
std::set<const Handle*> handles;  // the open ones, so a stale or foreign handle is refused

bool Resolve(HKEY key, Handle& out) {
  const auto raw = reinterpret_cast<ULONG_PTR>(key);
  for (int i = 0; i < ole::reg::kRootCount; ++i) {
    if (raw == static_cast<ULONG_PTR>(static_cast<LONG>(0x80000000u + static_cast<unsigned>(i)))) {
      out = Handle{static_cast<ole::reg::Root>(i), {}};
      return true;
    }
  }
  std::lock_guard lock(handles_mutex);
  auto* h = reinterpret_cast<const Handle*>(key);
  if (!handles.count(h)) return false;
  out = *h;
  return true;
}

HKEY NewHandle(Handle h) {
  auto* p = new Handle(std::move(h));
  std::lock_guard lock(handles_mutex);
  handles.insert(p);
  return reinterpret_cast<HKEY>(p);
}

// The key a handle names, or the reason there is none.
template <typename T, typename K>
LONG KeyOf(T& tree, const Handle& h, K*& key) {
  key = ole::reg::Walk(tree.roots[h.root], h.path);
  return key ? ERROR_SUCCESS : ERROR_KEY_DELETED;
}

LONG SubPath(const Handle& h, const std::string& sub, Handle& out) {
  std::vector<std::string> parts;
  if (!ole::reg::SplitPath(sub, parts)) return ERROR_BAD_PATHNAME;
  if (h.path.size() + parts.size() > ole::reg::kMaxDepth) return ERROR_INVALID_PARAMETER;
  out = h;
  out.path.insert(out.path.end(), parts.begin(), parts.end());
  return ERROR_SUCCESS;
}

std::string FromWide(LPCWSTR s) {
  return s ? ole::Narrow(s) : std::string();
}

std::string FromAnsi(const char* s, int len = -1) {
  if (!s) return {};
  if (len < 0) len = static_cast<int>(std::strlen(s));
  if (len == 0) return {};
  int n = MultiByteToWideChar(CP_ACP, 0, s, len, nullptr, 0);
  std::u16string w(static_cast<size_t>(n > 0 ? n : 0), u'\0');
  if (n > 0) MultiByteToWideChar(CP_ACP, 0, s, len, w.data(), n);
  return ole::Narrow(w);
}

std::string ToAnsi(const std::string& utf8) {
  std::u16string w = ole::Widen(utf8);
  if (w.empty()) return {};
  int n = WideCharToMultiByte(CP_ACP, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr,
                              nullptr);
  std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
  if (n > 0) {
    WideCharToMultiByte(CP_ACP, 0, w.data(), static_cast<int>(w.size()), out.data(), n, nullptr,
                        nullptr);
  }
  return out;
}

// Text or number as the caller's bytes: UTF-16 or ANSI with a terminator for text.
std::string ValueBytes(const Value& v, bool wide) {
  if (v.type == REG_DWORD) return v.data;
  if (wide) {
    std::u16string w = ole::Widen(v.data);
    return std::string(reinterpret_cast<const char*>(w.c_str()), (w.size() + 1) * 2);
  }
  std::string a = ToAnsi(v.data);
  a.push_back('\0');
  return a;
}

LONG CopyOut(const std::string& bytes, LPBYTE data, LPDWORD cb) {
  if (!cb) return data ? ERROR_INVALID_PARAMETER : ERROR_SUCCESS;
  const DWORD need = static_cast<DWORD>(bytes.size());
  if (data && *cb < need) {
    *cb = need;
    return ERROR_MORE_DATA;
  }
  if (data) std::memcpy(data, bytes.data(), need);
  *cb = need;
  return ERROR_SUCCESS;
}

template <typename Char>
LONG CopyName(const std::string& utf8, Char* buf, LPDWORD cch) {
  std::basic_string<Char> name;
  if constexpr (sizeof(Char) == 2) {
    name = ole::Widen(utf8);
  } else {
    name = ToAnsi(utf8);
  }
  if (!buf || !cch) return ERROR_INVALID_PARAMETER;
  if (*cch < name.size() + 1) {
    *cch = static_cast<DWORD>(name.size());
    return ERROR_MORE_DATA;
  }
  std::memcpy(buf, name.c_str(), (name.size() + 1) * sizeof(Char));
  *cch = static_cast<DWORD>(name.size());
  return ERROR_SUCCESS;
}

LONG OpenKey(HKEY hKey, const std::string& sub, PHKEY result) {
  if (!result) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  Handle base, target;
  if (!Resolve(hKey, base)) return ERROR_INVALID_HANDLE;
  LONG rc = SubPath(base, sub, target);
  if (rc != ERROR_SUCCESS) return rc;
  rc = ole::reg::Read([&](const Tree& tree) -> LONG {
    const Key* key = nullptr;
    if (KeyOf(tree, base, key) != ERROR_SUCCESS) return ERROR_KEY_DELETED;
    return ole::reg::Walk(tree.roots[target.root], target.path) ? ERROR_SUCCESS
                                                                : ERROR_FILE_NOT_FOUND;
  });
  if (rc == ERROR_SUCCESS) *result = NewHandle(std::move(target));
  return rc;
}

LONG CreateKey(HKEY hKey, const std::string& sub, PHKEY result, LPDWORD disposition) {
  if (!result) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  Handle base, target;
  if (!Resolve(hKey, base)) return ERROR_INVALID_HANDLE;
  LONG rc = SubPath(base, sub, target);
  if (rc != ERROR_SUCCESS) return rc;
  bool made_any = false;
  rc = ole::reg::Update([&](Tree& tree, bool& changed) -> LONG {
    Key* key = nullptr;
    if (KeyOf(tree, base, key) != ERROR_SUCCESS) return ERROR_KEY_DELETED;
    for (size_t i = base.path.size(); i < target.path.size(); ++i) {
      bool created = false;
      key = &key->Child(target.path[i], &created);
      made_any = made_any || created;
    }
    changed = made_any;
    return ERROR_SUCCESS;
  });
  if (rc != ERROR_SUCCESS) return rc;
  if (disposition) *disposition = made_any ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
  *result = NewHandle(std::move(target));
  return ERROR_SUCCESS;
}

LONG SetValue(HKEY hKey, const std::string& name, DWORD type, Value value) {
  if (type != REG_SZ && type != REG_EXPAND_SZ && type != REG_DWORD) return ERROR_NOT_SUPPORTED;
  if (!ole::reg::ValueFits(name, value.data)) return ERROR_INVALID_PARAMETER;
  Handle h;
  if (!Resolve(hKey, h)) return ERROR_INVALID_HANDLE;
  value.type = type;
  return ole::reg::Update([&](Tree& tree, bool& changed) -> LONG {
    Key* key = nullptr;
    LONG rc = KeyOf(tree, h, key);
    if (rc != ERROR_SUCCESS) return rc;
    key->SetValue(name, value);
    changed = true;
    return ERROR_SUCCESS;
  });
}

LONG QueryValue(HKEY hKey, const std::string& name, LPDWORD type, LPBYTE data, LPDWORD cb,
                bool wide) {
  Handle h;
  if (!Resolve(hKey, h)) return ERROR_INVALID_HANDLE;
  if (data && !cb) return ERROR_INVALID_PARAMETER;
  return ole::reg::Read([&](const Tree& tree) -> LONG {
    const Key* key = nullptr;
    LONG rc = KeyOf(tree, h, key);
    if (rc != ERROR_SUCCESS) return rc;
    const Value* v = key->FindValue(name);
    if (!v) return ERROR_FILE_NOT_FOUND;
    if (type) *type = v->type;
    return CopyOut(ValueBytes(*v, wide), data, cb);
  });
}

LONG DeleteValue(HKEY hKey, const std::string& name) {
  Handle h;
  if (!Resolve(hKey, h)) return ERROR_INVALID_HANDLE;
  return ole::reg::Update([&](Tree& tree, bool& changed) -> LONG {
    Key* key = nullptr;
    LONG rc = KeyOf(tree, h, key);
    if (rc != ERROR_SUCCESS) return rc;
    changed = key->DeleteValue(name);
    return changed ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
  });
}

LONG DeleteKey(HKEY hKey, const std::string& sub, bool tree_too) {
  Handle base, target;
  if (!Resolve(hKey, base)) return ERROR_INVALID_HANDLE;
  LONG rc = SubPath(base, sub, target);
  if (rc != ERROR_SUCCESS) return rc;
  return ole::reg::Update([&](Tree& tree, bool& changed) -> LONG {
    Key* key = ole::reg::Walk(tree.roots[target.root], target.path);
    if (!key) return ERROR_FILE_NOT_FOUND;
    if (target.path.size() == base.path.size()) {
      // RegDeleteTree with no subkey empties the key itself; RegDeleteKey cannot.
      if (!tree_too) return ERROR_ACCESS_DENIED;
      changed = !key->subkeys.empty() || !key->values.empty();
      key->subkeys.clear();
      key->values.clear();
      return ERROR_SUCCESS;
    }
    if (!tree_too && !key->subkeys.empty()) return ERROR_ACCESS_DENIED;
    std::vector<std::string> parent_path(target.path.begin(), target.path.end() - 1);
    Key* parent = ole::reg::Walk(tree.roots[target.root], parent_path);
    parent->Remove(target.path.back());
    changed = true;
    return ERROR_SUCCESS;
  });
}

template <typename Char>
LONG EnumKey(HKEY hKey, DWORD index, Char* name, LPDWORD cch) {
  Handle h;
  if (!Resolve(hKey, h)) return ERROR_INVALID_HANDLE;
  return ole::reg::Read([&](const Tree& tree) -> LONG {
    const Key* key = nullptr;
    LONG rc = KeyOf(tree, h, key);
    if (rc != ERROR_SUCCESS) return rc;
    if (index >= key->subkeys.size()) return ERROR_NO_MORE_ITEMS;
    auto it = key->subkeys.begin();
    std::advance(it, index);
    return CopyName(it->second->name, name, cch);
  });
}

template <typename Char>
LONG EnumValue(HKEY hKey, DWORD index, Char* name, LPDWORD cch, LPDWORD type, LPBYTE data,
               LPDWORD cb) {
  Handle h;
  if (!Resolve(hKey, h)) return ERROR_INVALID_HANDLE;
  return ole::reg::Read([&](const Tree& tree) -> LONG {
    const Key* key = nullptr;
    LONG rc = KeyOf(tree, h, key);
    if (rc != ERROR_SUCCESS) return rc;
    if (index >= key->values.size()) return ERROR_NO_MORE_ITEMS;
    const auto& [value_name, value] = key->values[index];
    rc = CopyName(value_name, name, cch);
    if (rc != ERROR_SUCCESS) return rc;
    if (type) *type = value.type;
    return CopyOut(ValueBytes(value, sizeof(Char) == 2), data, cb);
  });
}

}  // namespace

LSTATUS WINAPI RegOpenKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD, REGSAM, PHKEY phkResult) {
  return OpenKey(hKey, FromWide(lpSubKey), phkResult);
}
LSTATUS WINAPI RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, REGSAM, PHKEY phkResult) {
  return OpenKey(hKey, FromAnsi(lpSubKey), phkResult);
}

LSTATUS WINAPI RegCreateKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD, LPWSTR, DWORD, REGSAM,
                               const LPSECURITY_ATTRIBUTES, PHKEY phkResult,
                               LPDWORD lpdwDisposition) {
  return CreateKey(hKey, FromWide(lpSubKey), phkResult, lpdwDisposition);
}
LSTATUS WINAPI RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, LPSTR, DWORD, REGSAM,
                               const LPSECURITY_ATTRIBUTES, PHKEY phkResult,
                               LPDWORD lpdwDisposition) {
  return CreateKey(hKey, FromAnsi(lpSubKey), phkResult, lpdwDisposition);
}

LSTATUS WINAPI RegCloseKey(HKEY hKey) {
  Handle dummy;
  if (!Resolve(hKey, dummy)) return ERROR_INVALID_HANDLE;
  auto* h = reinterpret_cast<const Handle*>(hKey);
  std::lock_guard lock(handles_mutex);
  if (handles.erase(h)) delete h;  // a predefined root is not in the set
  return ERROR_SUCCESS;
}

LSTATUS WINAPI RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD, DWORD dwType,
                              const BYTE* lpData, DWORD cbData) {
  if (!lpData && cbData) return ERROR_INVALID_PARAMETER;
  Value v;
  if (dwType == REG_DWORD) {
    if (cbData != 4) return ERROR_INVALID_PARAMETER;
    v.data.assign(reinterpret_cast<const char*>(lpData), 4);
  } else {
    // The text ends at its first NUL; the stored count may or may not include it.
    std::u16string w(cbData / 2, u'\0');
    if (cbData) std::memcpy(w.data(), lpData, w.size() * 2);
    w = w.substr(0, w.find(u'\0'));
    v.data = ole::Narrow(w);
  }
  return SetValue(hKey, FromWide(lpValueName), dwType, std::move(v));
}
LSTATUS WINAPI RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD, DWORD dwType,
                              const BYTE* lpData, DWORD cbData) {
  if (!lpData && cbData) return ERROR_INVALID_PARAMETER;
  Value v;
  if (dwType == REG_DWORD) {
    if (cbData != 4) return ERROR_INVALID_PARAMETER;
    v.data.assign(reinterpret_cast<const char*>(lpData), 4);
  } else {
    std::string a(reinterpret_cast<const char*>(lpData), cbData);
    a = a.substr(0, a.find('\0'));
    v.data = FromAnsi(a.c_str(), static_cast<int>(a.size()));
  }
  return SetValue(hKey, FromAnsi(lpValueName), dwType, std::move(v));
}

LSTATUS WINAPI RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, LPDWORD, LPDWORD lpType,
                                LPBYTE lpData, LPDWORD lpcbData) {
  return QueryValue(hKey, FromWide(lpValueName), lpType, lpData, lpcbData, true);
}
LSTATUS WINAPI RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD, LPDWORD lpType,
                                LPBYTE lpData, LPDWORD lpcbData) {
  return QueryValue(hKey, FromAnsi(lpValueName), lpType, lpData, lpcbData, false);
}

LSTATUS WINAPI RegDeleteValueW(HKEY hKey, LPCWSTR lpValueName) {
  return DeleteValue(hKey, FromWide(lpValueName));
}
LSTATUS WINAPI RegDeleteValueA(HKEY hKey, LPCSTR lpValueName) {
  return DeleteValue(hKey, FromAnsi(lpValueName));
}

LSTATUS WINAPI RegDeleteKeyW(HKEY hKey, LPCWSTR lpSubKey) {
  if (!lpSubKey) return ERROR_INVALID_PARAMETER;
  return DeleteKey(hKey, FromWide(lpSubKey), false);
}
LSTATUS WINAPI RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey) {
  if (!lpSubKey) return ERROR_INVALID_PARAMETER;
  return DeleteKey(hKey, FromAnsi(lpSubKey), false);
}
LSTATUS WINAPI RegDeleteTreeW(HKEY hKey, LPCWSTR lpSubKey) {
  return DeleteKey(hKey, FromWide(lpSubKey), true);
}
LSTATUS WINAPI RegDeleteTreeA(HKEY hKey, LPCSTR lpSubKey) {
  return DeleteKey(hKey, FromAnsi(lpSubKey), true);
}

LSTATUS WINAPI RegEnumKeyExW(HKEY hKey, DWORD dwIndex, LPWSTR lpName, LPDWORD lpcchName, LPDWORD,
                             LPWSTR, LPDWORD, LPFILETIME) {
  return EnumKey(hKey, dwIndex, lpName, lpcchName);
}
LSTATUS WINAPI RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName, LPDWORD,
                             LPSTR, LPDWORD, LPFILETIME) {
  return EnumKey(hKey, dwIndex, lpName, lpcchName);
}
LSTATUS WINAPI RegEnumValueW(HKEY hKey, DWORD dwIndex, LPWSTR lpValueName, LPDWORD lpcchValueName,
                             LPDWORD, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
  return EnumValue(hKey, dwIndex, lpValueName, lpcchValueName, lpType, lpData, lpcbData);
}
LSTATUS WINAPI RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcchValueName,
                             LPDWORD, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
  return EnumValue(hKey, dwIndex, lpValueName, lpcchValueName, lpType, lpData, lpcbData);
}

LSTATUS WINAPI RegQueryInfoKeyW(HKEY hKey, LPWSTR, LPDWORD lpcchClass, LPDWORD, LPDWORD lpcSubKeys,
                                LPDWORD lpcbMaxSubKeyLen, LPDWORD, LPDWORD lpcValues,
                                LPDWORD lpcbMaxValueNameLen, LPDWORD lpcbMaxValueLen, LPDWORD,
                                LPFILETIME) {
  Handle h;
  if (!Resolve(hKey, h)) return ERROR_INVALID_HANDLE;
  return ole::reg::Read([&](const Tree& tree) -> LONG {
    const Key* key = nullptr;
    LONG rc = KeyOf(tree, h, key);
    if (rc != ERROR_SUCCESS) return rc;
    DWORD max_key = 0, max_name = 0, max_value = 0;
    for (const auto& [name, child] : key->subkeys) {
      max_key = std::max(max_key, static_cast<DWORD>(ole::Widen(child->name).size()));
    }
    for (const auto& [name, value] : key->values) {
      max_name = std::max(max_name, static_cast<DWORD>(ole::Widen(name).size()));
      max_value = std::max(max_value, static_cast<DWORD>(ValueBytes(value, true).size()));
    }
    if (lpcchClass) *lpcchClass = 0;
    if (lpcSubKeys) *lpcSubKeys = static_cast<DWORD>(key->subkeys.size());
    if (lpcbMaxSubKeyLen) *lpcbMaxSubKeyLen = max_key;
    if (lpcValues) *lpcValues = static_cast<DWORD>(key->values.size());
    if (lpcbMaxValueNameLen) *lpcbMaxValueNameLen = max_name;
    if (lpcbMaxValueLen) *lpcbMaxValueLen = max_value;
    return ERROR_SUCCESS;
  });
}
