// Names that compare without regard to ASCII case, as Windows compares the names of
// members, storage elements and properties.
#pragma once

#include <algorithm>
#include <string>
#include <string_view>

namespace ole {

inline char16_t FoldAscii(char16_t c) {
  return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c;
}

inline bool EqualNoCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  }
  return true;
}

struct NoCaseLess {
  bool operator()(std::u16string_view a, std::u16string_view b) const {
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
      char16_t x = FoldAscii(a[i]), y = FoldAscii(b[i]);
      if (x != y) return x < y;
    }
    return a.size() < b.size();
  }
  using is_transparent = void;
};

}  // namespace ole
