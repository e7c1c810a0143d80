#include "codepage.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "win32/error.h"
#include "win32/nls.h"

using win32::nls::Outcome;

namespace {

UINT ReadAcp() {
  const char* env = std::getenv("WIN32_ACP");
  if (env != nullptr && *env != '\0') {
    char* end = nullptr;
    unsigned long value = std::strtoul(env, &end, 10);
    if (*end == '\0' && value > 1 && value < 65536 && win32::nls::IsSupported(value))
      return static_cast<UINT>(value);
  }
  return 1252;
}

// CP_ACP and CP_OEMCP name the system code pages; 0 means "not a code page we convert".
UINT Resolve(UINT codepage) {
  if (codepage == CP_ACP) return GetACP();
  if (codepage == CP_OEMCP) return 437;
  return win32::nls::IsSupported(codepage) ? codepage : 0;
}

int Fail(DWORD error) {
  SetLastError(error);
  return 0;
}

template <typename Char>
int Deliver(const std::basic_string<Char>& result, Char* dst, int capacity) {
  if (result.size() > static_cast<std::size_t>(INT32_MAX)) return Fail(ERROR_INVALID_PARAMETER);
  int size = static_cast<int>(result.size());
  if (capacity == 0) return size;
  if (size > capacity) return Fail(ERROR_INSUFFICIENT_BUFFER);
  std::memcpy(dst, result.data(), result.size() * sizeof(Char));
  return size;
}

std::size_t WideLength(LPCWSTR s) {
  std::size_t n = 0;
  while (s[n] != 0) ++n;
  return n;
}

}  // namespace

UINT WINAPI GetACP(void) {
  static const UINT acp = ReadAcp();
  return acp;
}

int WINAPI MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte,
                               LPWSTR lpWideCharStr, int cchWideChar) {
  if (lpMultiByteStr == nullptr || cbMultiByte == 0 || cchWideChar < 0 ||
      (cchWideChar > 0 && lpWideCharStr == nullptr))
    return Fail(ERROR_INVALID_PARAMETER);
  UINT cp = Resolve(CodePage);
  if (cp == 0) return Fail(ERROR_INVALID_PARAMETER);
  if ((cp == CP_UTF8 && (dwFlags & ~DWORD{MB_ERR_INVALID_CHARS}) != 0) ||
      (dwFlags & ~DWORD{0xF}) != 0)
    return Fail(ERROR_INVALID_FLAGS);

  std::string_view in(lpMultiByteStr, cbMultiByte < 0 ? std::strlen(lpMultiByteStr) + 1
                                                      : static_cast<std::size_t>(cbMultiByte));
  if (cp == 1252) {
    // The common case (datagrams, file lines): no intermediate string, and a size query
    // costs nothing, since every byte is one character.
    if (in.size() > static_cast<std::size_t>(INT32_MAX)) return Fail(ERROR_INVALID_PARAMETER);
    const int size = static_cast<int>(in.size());
    if (cchWideChar == 0) return size;
    if (size > cchWideChar) return Fail(ERROR_INSUFFICIENT_BUFFER);
    win32::nls::Decode1252Into(in, reinterpret_cast<char16_t*>(lpWideCharStr));
    return size;
  }
  std::u16string out;
  Outcome outcome = cp == CP_UTF8 ? win32::nls::DecodeUtf8(in, out)
                                  : win32::nls::DecodeIconv(cp, in, out);
  if (outcome == Outcome::Unsupported) return Fail(ERROR_INVALID_PARAMETER);
  if (outcome == Outcome::Invalid && (dwFlags & MB_ERR_INVALID_CHARS) != 0)
    return Fail(ERROR_NO_UNICODE_TRANSLATION);
  return Deliver(out, reinterpret_cast<char16_t*>(lpWideCharStr), cchWideChar);
}

int WINAPI WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWSTR lpWideCharStr, int cchWideChar,
                               LPSTR lpMultiByteStr, int cbMultiByte, LPCSTR lpDefaultChar,
                               LPBOOL lpUsedDefaultChar) {
  if (lpWideCharStr == nullptr || cchWideChar == 0 || cbMultiByte < 0 ||
      (cbMultiByte > 0 && lpMultiByteStr == nullptr))
    return Fail(ERROR_INVALID_PARAMETER);
  UINT cp = Resolve(CodePage);
  if (cp == 0) return Fail(ERROR_INVALID_PARAMETER);
  std::u16string_view in(lpWideCharStr, cchWideChar < 0 ? WideLength(lpWideCharStr) + 1
                                                        : static_cast<std::size_t>(cchWideChar));
  std::string out;
  Outcome outcome;
  if (cp == CP_UTF8) {
    // As on Windows, UTF-8 has no default character.
    if (lpDefaultChar != nullptr || lpUsedDefaultChar != nullptr)
      return Fail(ERROR_INVALID_PARAMETER);
    if ((dwFlags & ~DWORD{WC_ERR_INVALID_CHARS}) != 0) return Fail(ERROR_INVALID_FLAGS);
    outcome = win32::nls::EncodeUtf8(in, out, (dwFlags & WC_ERR_INVALID_CHARS) != 0);
    if (outcome == Outcome::Invalid) return Fail(ERROR_NO_UNICODE_TRANSLATION);
  } else {
    std::string_view fallback = lpDefaultChar != nullptr && *lpDefaultChar != '\0'
                                    ? std::string_view(lpDefaultChar, 1)
                                    : std::string_view("?");
    outcome = cp == 1252 ? win32::nls::Encode1252(in, out, fallback[0])
                         : win32::nls::EncodeIconv(cp, in, out, fallback);
    if (outcome == Outcome::Unsupported) return Fail(ERROR_INVALID_PARAMETER);
    if (lpUsedDefaultChar != nullptr) *lpUsedDefaultChar = outcome == Outcome::Replaced;
  }
  return Deliver(out, lpMultiByteStr, cbMultiByte);
}
