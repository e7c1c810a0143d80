#include "text.h"

#include <new>

#include "win32/nls.h"

namespace marlet {

BSTR BstrFromAnsi(const char* data, int length) {
  if (length <= 0) return SysAllocStringLen(nullptr, 0);
  const int n = MultiByteToWideChar(CP_ACP, 0, data, length, nullptr, 0);
  BSTR out = SysAllocStringLen(nullptr, static_cast<UINT>(n > 0 ? n : 0));
  if (out && n > 0) MultiByteToWideChar(CP_ACP, 0, data, length, out, n);
  return out;
}

bool AnsiFromBstr(BSTR text, AnsiBytes* out) {
  const int length = static_cast<int>(SysStringLen(text));
  const int capacity = 2 * length + 1;
  out->data.reset(new (std::nothrow) char[static_cast<size_t>(capacity)]);
  if (!out->data) return false;
  out->length = length == 0 ? 0
                            : WideCharToMultiByte(CP_ACP, 0, text, length, out->data.get(),
                                                  capacity, nullptr, nullptr);
  if (out->length < 0) out->length = 0;
  out->data[static_cast<size_t>(out->length)] = '\0';
  return true;
}

std::string AnsiFromCString(BSTR text) {
  if (!text) return {};
  int length = 0;
  while (text[length] != u'\0') ++length;
  if (length == 0) return {};
  const int n = WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return {};
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, text, length, out.data(), n, nullptr, nullptr);
  return out;
}

}  // namespace marlet
