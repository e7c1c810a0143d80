// BSTR: [32-bit byte count][text][NUL character]. The count excludes the terminator, so
// embedded NULs are part of the string and odd byte lengths are kept exactly.
#include <cstdlib>
#include <cstring>

#include "oleauto.h"

namespace {

constexpr size_t kPrefix = sizeof(DWORD);
// Leaves room for the prefix and terminator below the 32-bit limit of the count.
constexpr size_t kMaxBytes = 0x7FFFFFF0u;

BSTR AllocBytes(const void* data, size_t bytes) {
  if (bytes > kMaxBytes) return nullptr;
  // Two terminator bytes, plus one so an odd byte length still ends on a whole NUL char.
  auto* block = static_cast<char*>(std::malloc(kPrefix + bytes + 3));
  if (!block) return nullptr;
  DWORD count = static_cast<DWORD>(bytes);
  std::memcpy(block, &count, kPrefix);
  if (data) {
    std::memcpy(block + kPrefix, data, bytes);
  } else {
    std::memset(block + kPrefix, 0, bytes);
  }
  std::memset(block + kPrefix + bytes, 0, 3);
  return reinterpret_cast<BSTR>(block + kPrefix);
}

char* BlockOf(BSTR s) {
  return reinterpret_cast<char*>(s) - kPrefix;
}

size_t Length(const OLECHAR* s) {
  size_t n = 0;
  while (s[n]) ++n;
  return n;
}

}  // namespace

BSTR STDAPICALLTYPE SysAllocString(const OLECHAR* psz) {
  if (!psz) return nullptr;
  return AllocBytes(psz, Length(psz) * sizeof(OLECHAR));
}

BSTR STDAPICALLTYPE SysAllocStringLen(const OLECHAR* strIn, UINT ui) {
  return AllocBytes(strIn, static_cast<size_t>(ui) * sizeof(OLECHAR));
}

BSTR STDAPICALLTYPE SysAllocStringByteLen(LPCSTR psz, UINT len) {
  return AllocBytes(psz, len);
}

INT STDAPICALLTYPE SysReAllocString(BSTR* pbstr, const OLECHAR* psz) {
  if (!pbstr) return FALSE;
  if (!psz) {
    SysFreeString(*pbstr);
    *pbstr = nullptr;
    return TRUE;
  }
  return SysReAllocStringLen(pbstr, psz, static_cast<UINT>(Length(psz)));
}

INT STDAPICALLTYPE SysReAllocStringLen(BSTR* pbstr, const OLECHAR* psz, UINT len) {
  if (!pbstr) return FALSE;
  // psz may point into the old string, so the copy is made before the old one is freed.
  BSTR fresh = SysAllocStringLen(psz, len);
  if (!fresh) return FALSE;
  SysFreeString(*pbstr);
  *pbstr = fresh;
  return TRUE;
}

void STDAPICALLTYPE SysFreeString(BSTR bstrString) {
  if (bstrString) std::free(BlockOf(bstrString));
}

UINT STDAPICALLTYPE SysStringByteLen(BSTR bstr) {
  if (!bstr) return 0;
  DWORD count;
  std::memcpy(&count, BlockOf(bstr), kPrefix);
  return count;
}

UINT STDAPICALLTYPE SysStringLen(BSTR pbstr) {
  return SysStringByteLen(pbstr) / sizeof(OLECHAR);
}
