#include "codepage.h"

#include <array>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

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

// Every byte's character: one load per byte, no branch, on the path of every received datagram.
constexpr std::array<char16_t, 256> kDecode = [] {
  std::array<char16_t, 256> table{};
  for (std::size_t b = 0; b < table.size(); ++b) {
    table[b] = b >= 0x80 && b < 0xA0 ? kHigh[b - 0x80] : static_cast<char16_t>(b);
  }
  return table;
}();

}  // namespace

void Decode1252Into(std::string_view in, char16_t* out) {
  const std::size_t n = in.size();
  std::size_t i = 0;
#ifdef __SSE2__
  // Text is mostly ASCII: a block of 16 bytes without a high bit is widened in two stores.
  const __m128i zero = _mm_setzero_si128();
  for (; i + 16 <= n; i += 16) {
    const __m128i bytes =
        _mm_loadu_si128(static_cast<const __m128i*>(static_cast<const void*>(in.data() + i)));
    if (_mm_movemask_epi8(bytes) != 0) {
      for (std::size_t k = i; k < i + 16; ++k) out[k] = kDecode[static_cast<unsigned char>(in[k])];
      continue;
    }
    _mm_storeu_si128(static_cast<__m128i*>(static_cast<void*>(out + i)),
                     _mm_unpacklo_epi8(bytes, zero));
    _mm_storeu_si128(static_cast<__m128i*>(static_cast<void*>(out + i + 8)),
                     _mm_unpackhi_epi8(bytes, zero));
  }
#endif
  for (; i < n; ++i) out[i] = kDecode[static_cast<unsigned char>(in[i])];
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
