#include "forms/text_rules.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <optional>

#include "forms/runtime_error.h"

namespace forms {

std::string Trim(std::string_view text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(' ');
  return std::string(text.substr(first, last - first + 1));
}

std::vector<std::string> Split(std::string_view text, char separator) {
  std::vector<std::string> parts;
  if (text.empty()) return parts;
  for (;;) {
    const std::size_t at = text.find(separator);
    parts.emplace_back(text.substr(0, at));
    if (at == std::string_view::npos) return parts;
    text.remove_prefix(at + 1);
  }
}

std::size_t Len(std::string_view utf8) {
  std::size_t n = 0;
  for (const char c : utf8) {
    const auto b = static_cast<unsigned char>(c);
    if ((b & 0xC0) == 0x80) continue;  // continuation byte
    n += b >= 0xF0 ? 2 : 1;            // beyond the BMP: a surrogate pair
  }
  return n;
}

namespace {

bool IsDigit(char c) {
  return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

// Parses [sign] digits [. digits] [e|E [sign] digits] between optional spaces, with at least
// one digit in the mantissa. Decoded without the locale, so "." is the decimal point however
// the desktop is set up.
std::optional<double> ParseNumber(std::string_view text) {
  const std::string t = Trim(text);
  std::size_t i = 0;
  const bool negative = i < t.size() && t[i] == '-';
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
  const std::size_t mantissa = i;
  std::size_t digits = 0;
  while (i < t.size() && IsDigit(t[i])) ++i, ++digits;
  if (i < t.size() && t[i] == '.') {
    ++i;
    while (i < t.size() && IsDigit(t[i])) ++i, ++digits;
  }
  if (digits == 0) return std::nullopt;
  if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
    ++i;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
    const std::size_t exponent = i;
    while (i < t.size() && IsDigit(t[i])) ++i;
    if (i == exponent) return std::nullopt;
  }
  if (i != t.size()) return std::nullopt;

  // from_chars takes neither a leading "+" nor a bare trailing "." with an exponent after it
  // in every form, so hand it a normalised copy: no sign, "5." as "5.0", ".5" as "0.5".
  std::string plain;
  for (std::size_t k = mantissa; k < t.size(); ++k) {
    if (t[k] == '.' && (k == mantissa || !IsDigit(t[k - 1]))) plain += '0';
    plain += t[k];
    if (t[k] == '.' && (k + 1 == t.size() || !IsDigit(t[k + 1]))) plain += '0';
  }
  double value = 0;
  const auto [end, ec] = std::from_chars(plain.data(), plain.data() + plain.size(), value);
  if (ec != std::errc() || end != plain.data() + plain.size() || !std::isfinite(value)) {
    return std::nullopt;  // beyond the range of a double: the runtime calls that not numeric
  }
  return negative ? -value : value;
}

}  // namespace

bool IsNumeric(std::string_view text) {
  return ParseNumber(text).has_value();
}

int IntegerValue(std::string_view text) {
  const auto value = ParseNumber(text);
  if (!value) throw RuntimeError(kErrTypeMismatch, "Type mismatch");
  const double rounded = std::nearbyint(*value);  // default rounding: halves to even
  if (rounded < -32768.0 || rounded > 32767.0) throw RuntimeError(kErrOverflow, "Overflow");
  return static_cast<int>(rounded);
}

std::string Shorten(std::string_view utf8, std::size_t limit) {
  std::size_t chars = 0;
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    if ((static_cast<unsigned char>(utf8[i]) & 0xC0) == 0x80) continue;
    if (chars++ == limit) return std::string(utf8.substr(0, i)) + "...";
  }
  return std::string(utf8);
}

}  // namespace forms
