// Text across the interface: wide strings outside, the system ANSI code page inside.
#pragma once

#include <memory>
#include <string>

#include "oleauto.h"

namespace marlet {

// Exactly `length` bytes, NULs included. Null when memory runs out.
BSTR BstrFromAnsi(const char* data, int length);
inline BSTR BstrFromAnsi(const std::string& text) {
  return BstrFromAnsi(text.data(), static_cast<int>(text.size()));
}

// The whole string, NULs included, into a buffer of twice its length plus one byte. False
// when that buffer cannot be had.
struct AnsiBytes {
  std::unique_ptr<char[]> data;
  int length = 0;
};
bool AnsiFromBstr(BSTR text, AnsiBytes* out);

// As a C string: up to the first NUL (host names, paths).
std::string AnsiFromCString(BSTR text);

}  // namespace marlet
