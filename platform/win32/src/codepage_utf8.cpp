#include "codepage.h"

namespace win32::nls {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

void AppendCodePoint(char32_t cp, std::u16string& out) {
  if (cp < 0x10000) {
    out.push_back(static_cast<char16_t>(cp));
  } else {
    cp -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
  }
}

// Length of a well-formed sequence starting at `i`, or 0.
std::size_t SequenceAt(std::string_view in, std::size_t i, char32_t& cp) {
  auto byte = [&](std::size_t k) { return static_cast<unsigned char>(in[k]); };
  unsigned char b0 = byte(i);
  std::size_t len = b0 < 0x80                 ? 1
                    : b0 >= 0xC2 && b0 < 0xE0 ? 2
                    : b0 >= 0xE0 && b0 < 0xF0 ? 3
                    : b0 >= 0xF0 && b0 < 0xF5 ? 4
                                              : 0;
  if (len == 0 || i + len > in.size()) return 0;
  cp = len == 1 ? b0 : b0 & (0x7F >> len);
  for (std::size_t k = 1; k < len; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (byte(i + k) & 0x3F);
  }
  static constexpr char32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
  if (cp < kMin[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000)) return 0;
  return len;
}

}  // namespace

Outcome DecodeUtf8(std::string_view in, std::u16string& out) {
  out.clear();
  out.reserve(in.size());
  Outcome result = Outcome::Ok;
  for (std::size_t i = 0; i < in.size();) {
    char32_t cp = 0;
    std::size_t len = SequenceAt(in, i, cp);
    if (len == 0) {
      out.push_back(kReplacement);
      result = Outcome::Invalid;
      ++i;
      continue;
    }
    AppendCodePoint(cp, out);
    i += len;
  }
  return result;
}

Outcome EncodeUtf8(std::u16string_view in, std::string& out, bool strict) {
  out.clear();
  out.reserve(in.size());
  Outcome result = Outcome::Ok;
  for (std::size_t i = 0; i < in.size(); ++i) {
    char32_t cp = in[i];
    if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < in.size() && in[i + 1] >= 0xDC00 &&
        in[i + 1] < 0xE000) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (in[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp < 0xE000) {
      if (strict) return Outcome::Invalid;
      cp = kReplacement;
      result = Outcome::Replaced;
    }
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return result;
}

}  // namespace win32::nls
