#include "win32/resource.h"

#include <strings.h>

#include <charconv>
#include <cstring>

#include "module_lookup.h"
#include "win32/error.h"

namespace {

// A type or name as the caller gave it: a number, or a text that may spell one ("#102").
struct Key {
  WORD id = 0;
  LPCSTR text = nullptr;
};

Key KeyOf(LPCSTR value) {
  if (IS_INTRESOURCE(value)) return {static_cast<WORD>(reinterpret_cast<ULONG_PTR>(value)), {}};
  if (value[0] == '#') {
    unsigned n = 0;
    const char* end = value + std::strlen(value);
    auto [p, ec] = std::from_chars(value + 1, end, n);
    if (ec == std::errc() && p == end && p != value + 1 && n > 0 && n <= 0xFFFF) {
      return {static_cast<WORD>(n), {}};
    }
  }
  return {0, value};
}

bool Matches(const Key& key, LPCSTR text, WORD id) {
  if (key.text == nullptr) return text == nullptr && id == key.id;
  return text != nullptr && strcasecmp(text, key.text) == 0;
}

}  // namespace

HRSRC WINAPI FindResourceA(HMODULE hModule, LPCSTR lpName, LPCSTR lpType) {
  if (lpName == nullptr || lpType == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  bool module_ok = false;
  const auto* table = static_cast<const WIN32_RESOURCE*>(
      win32::module::OwnSymbolOf(hModule, WIN32_RESOURCE_TABLE_SYMBOL, module_ok));
  if (!module_ok) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  if (table == nullptr) {
    SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
    return nullptr;
  }
  const Key type = KeyOf(lpType), name = KeyOf(lpName);
  bool type_seen = false;
  for (const WIN32_RESOURCE* r = table; r->Data != nullptr; ++r) {
    if (!Matches(type, r->TypeName, r->TypeId)) continue;
    type_seen = true;
    if (Matches(name, r->Name, r->NameId)) {
      return reinterpret_cast<HRSRC>(const_cast<WIN32_RESOURCE*>(r));
    }
  }
  SetLastError(type_seen ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_RESOURCE_TYPE_NOT_FOUND);
  return nullptr;
}

HGLOBAL WINAPI LoadResource(HMODULE, HRSRC hResInfo) {
  if (hResInfo == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  const auto* r = reinterpret_cast<const WIN32_RESOURCE*>(hResInfo);
  return const_cast<BYTE*>(r->Data);
}

DWORD WINAPI SizeofResource(HMODULE, HRSRC hResInfo) {
  if (hResInfo == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  return reinterpret_cast<const WIN32_RESOURCE*>(hResInfo)->Size;
}

LPVOID WINAPI LockResource(HGLOBAL hResData) {
  return hResData;
}

BOOL WINAPI FreeResource(HGLOBAL) {
  return FALSE;  // as on 32-bit and later Windows: nothing to free
}
