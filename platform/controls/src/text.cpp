#include "text.h"

#include "forms/runtime_error.h"
#include "windows.h"

namespace controls {
namespace {

std::u16string Widen(UINT codepage, const std::string& in, DWORD flags) {
  if (in.empty()) return {};
  int n = MultiByteToWideChar(codepage, flags, in.data(), static_cast<int>(in.size()), nullptr, 0);
  if (n <= 0) throw forms::RuntimeError(40014, "The argument passed to a function was not in the correct format or in the specified range");
  std::u16string out(static_cast<std::size_t>(n), u'\0');
  MultiByteToWideChar(codepage, flags, in.data(), static_cast<int>(in.size()), out.data(), n);
  return out;
}

std::string Narrow(UINT codepage, const std::u16string& in, bool exact) {
  if (in.empty()) return {};
  BOOL used = FALSE;
  LPBOOL used_ptr = exact ? &used : nullptr;
  DWORD flags = exact ? WC_NO_BEST_FIT_CHARS : 0;
  int n = WideCharToMultiByte(codepage, flags, in.data(), static_cast<int>(in.size()), nullptr, 0,
                              nullptr, used_ptr);
  std::string out(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
  if (n > 0) {
    WideCharToMultiByte(codepage, flags, in.data(), static_cast<int>(in.size()), out.data(), n,
                        nullptr, used_ptr);
  }
  if (n <= 0 || used) {
    throw forms::RuntimeError(40014, "The argument passed to a function was not in the correct format or in the specified range");
  }
  return out;
}

}  // namespace

std::string AnsiToUtf8(const std::string& ansi) {
  return Narrow(CP_UTF8, Widen(CP_ACP, ansi, 0), false);
}

std::string Utf8ToAnsi(const std::string& utf8) {
  return Narrow(CP_ACP, Widen(CP_UTF8, utf8, MB_ERR_INVALID_CHARS), true);
}

}  // namespace controls
