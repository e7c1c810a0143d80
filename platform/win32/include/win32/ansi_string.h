// C++ conveniences over the code page API: the program keeps UTF-8 inside and converts
// at the edge. A character the ANSI code page cannot hold makes the conversion fail
// instead of being replaced.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "win32/nls.h"

namespace win32 {

inline std::optional<std::u16string> ToWide(UINT codepage, std::string_view in) {
  if (in.empty()) return std::u16string();
  int n = MultiByteToWideChar(codepage, codepage == CP_UTF8 ? MB_ERR_INVALID_CHARS : 0, in.data(),
                              static_cast<int>(in.size()), nullptr, 0);
  if (n <= 0) return std::nullopt;
  std::u16string out(static_cast<std::size_t>(n), u'\0');
  MultiByteToWideChar(codepage, codepage == CP_UTF8 ? MB_ERR_INVALID_CHARS : 0, in.data(),
                      static_cast<int>(in.size()), out.data(), n);
  return out;
}

inline std::optional<std::string> FromWide(UINT codepage, std::u16string_view in) {
  if (in.empty()) return std::string();
  const bool utf8 = codepage == CP_UTF8;
  BOOL used_default = FALSE;
  int n = WideCharToMultiByte(codepage, utf8 ? WC_ERR_INVALID_CHARS : 0, in.data(),
                              static_cast<int>(in.size()), nullptr, 0, nullptr,
                              utf8 ? nullptr : &used_default);
  if (n <= 0 || used_default) return std::nullopt;
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(codepage, utf8 ? WC_ERR_INVALID_CHARS : 0, in.data(),
                      static_cast<int>(in.size()), out.data(), n, nullptr, nullptr);
  return out;
}

inline std::optional<std::string> Utf8ToAnsi(std::string_view utf8) {
  auto wide = ToWide(CP_UTF8, utf8);
  if (!wide) return std::nullopt;
  return FromWide(CP_ACP, *wide);
}

inline std::optional<std::string> AnsiToUtf8(std::string_view ansi) {
  auto wide = ToWide(CP_ACP, ansi);
  if (!wide) return std::nullopt;
  return FromWide(CP_UTF8, *wide);
}

}  // namespace win32
