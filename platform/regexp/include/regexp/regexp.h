// The script regular-expression object: a pattern with case-insensitive, global and multi-line
// flags, a test of a text and an execution that yields the matches. Patterns are read with
// ECMAScript-style syntax; texts are UTF-8 and offsets count bytes of that text.
#pragma once

#include <cstddef>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace regexp {

// Script run-time failure numbers the object raises.
inline constexpr int kSyntaxError = 5017;    // pattern does not compile
inline constexpr int kOutOfStackSpace = 28;  // matching ran into the engine's limits

class RegExpError : public std::runtime_error {
 public:
  RegExpError(int number, const std::string& description)
      : std::runtime_error(description), number_(number) {}
  int number() const { return number_; }

 private:
  int number_;
};

struct Match {
  std::size_t FirstIndex = 0;  // byte offset of the match in the text
  std::size_t Length = 0;      // bytes
  std::string Value;
  std::vector<std::string> SubMatches;  // one per group; empty when the group did not take part
};

class RegExp {
 public:
  RegExp();
  ~RegExp();
  RegExp(const RegExp&) = delete;
  RegExp& operator=(const RegExp&) = delete;
  RegExp(RegExp&&) noexcept;
  RegExp& operator=(RegExp&&) noexcept;

  const std::string& Pattern() const { return pattern_; }
  void SetPattern(std::string pattern);
  bool IgnoreCase() const { return ignore_case_; }
  void SetIgnoreCase(bool on);
  bool Global() const { return global_; }
  void SetGlobal(bool on) { global_ = on; }
  bool Multiline() const { return multiline_; }
  void SetMultiline(bool on);

  // True when the pattern matches anywhere in the text (anchors decide "whole text").
  // Throws RegExpError when the pattern does not compile.
  bool Test(std::string_view text);
  // The first match, or every non-overlapping match when Global is on.
  std::vector<Match> Execute(std::string_view text);

 private:
  struct Compiled;
  const Compiled& Compile();

  std::string pattern_;
  bool ignore_case_ = false;
  bool global_ = false;
  bool multiline_ = false;
  std::unique_ptr<Compiled> compiled_;  // dropped whenever the pattern or a flag changes
};

}  // namespace regexp
