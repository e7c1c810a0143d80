// The network window's pattern helper: owns one regular-expression object and knows two
// patterns, an e-mail address and a dotted-quad IPv4 address.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "regexp/regexp.h"

namespace network {

// The helper's pattern kinds; the numbers are the ones callers have always passed.
enum class PatternKind : std::int32_t { kEmail = 0, kIPv4 = 1 };

class lp_regexp {
 public:
  // Any value outside the two kinds selects an empty pattern.
  static const std::string& PatternOf(PatternKind test);

  // True when the whole text matches the pattern of the kind, letter case ignored.
  bool IsValid(PatternKind test, const std::string& text);
  // Every match of the pattern of the kind, without its anchors, anywhere in the text.
  std::vector<regexp::Match> Extract(PatternKind test, const std::string& text);

  // Both throw forms::RuntimeError when the engine fails (a bad pattern, its match or depth
  // limits, memory), so that a handler reports it as its own failure.

 private:
  regexp::RegExp re_;
};

}  // namespace network
