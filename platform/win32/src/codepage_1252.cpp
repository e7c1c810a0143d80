#include "codepage.h"

#include <array>

namespace win32::nls {
namespace {

// 0x80..0x9F of Windows-1252; the five holes map to the C1 controls, as Windows does.
constexpr std::array<char16_t, 32> kHigh = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

bool EncodeOne(char16_t c, char& byte) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
    byte = static_cast<char>(c);
    return true;
  }
  for (std::size_t i = 0; i < kHigh.size(); ++i) {
    if (kHigh[i] == c) {
      byte = static_cast<char>(0x80 + i);
      return true;
    }
  }
  return false;
}

}  // namespace

void Decode1252Into(std::string_view in, char16_t* out) {
  for (char ch : in) {
    auto b = static_cast<unsigned char>(ch);
    *out++ = b >= 0x80 && b < 0xA0 ? kHigh[b - 0x80] : static_cast<char16_t>(b);
  }
}


Outcome Encode1252(std::u16string_view in, std::string& out, char fallback) {
  out.clear();
  out.reserve(in.size());
  Outcome result = Outcome::Ok;
  for (std::size_t i = 0; i < in.size(); ++i) {
    char byte = 0;
    if (EncodeOne(in[i], byte)) {
      out.push_back(byte);
      continue;
    }
    // A surrogate pair is one character and gets one default character.
    if (in[i] >= 0xD800 && in[i] < 0xDC00 && i + 1 < in.size() && in[i + 1] >= 0xDC00 &&
        in[i + 1] < 0xE000)
      ++i;
    out.push_back(fallback);
    result = Outcome::Replaced;
  }
  return result;
}

}  // namespace win32::nls
