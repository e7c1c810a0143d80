// The window's pattern helper: owns one regular-expression object and knows two patterns,
// kind 0 an e-mail address, kind 1 a dotted-quad IPv4 address; any other kind is empty.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "regexp/regexp.h"

namespace network {

class lp_regexp {
 public:
  static const std::string& PatternOf(std::int32_t test);

  // True when the whole text matches the pattern of the kind, letter case ignored.
  bool IsValid(std::int32_t test, const std::string& text);
  // Every match of the pattern of the kind, without its anchors, anywhere in the text.
  std::vector<regexp::Match> Extract(std::int32_t test, const std::string& text);

 private:
  regexp::RegExp re_;
};

}  // namespace network
