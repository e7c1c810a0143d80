#include "controls/ftp_listing.h"

#include <array>
#include <cctype>
#include <limits>
#include <vector>

namespace controls {
namespace {

struct Token {
  std::string_view text;
  size_t end;  // offset just past the token in the line
};

// The first `max` whitespace-separated tokens of `line`.
std::vector<Token> Tokens(std::string_view line, size_t max) {
  std::vector<Token> out;
  size_t i = 0;
  while (out.size() < max) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    if (i == line.size()) break;
    size_t start = i;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
    out.push_back({line.substr(start, i - start), i});
  }
  return out;
}

bool AllDigits(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s)
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  return true;
}

int64_t ToSize(std::string_view s) {
  int64_t v = 0;
  for (char c : s) {
    if (v > (std::numeric_limits<int64_t>::max() - 9) / 10) return std::numeric_limits<int64_t>::max();
    v = v * 10 + (c - '0');
  }
  return v;
}

bool IsMonth(std::string_view s) {
  static constexpr std::array<std::string_view, 12> kMonths = {
      "jan", "feb", "mar", "apr", "may", "jun", "jul", "aug", "sep", "oct", "nov", "dec"};
  if (s.size() != 3) return false;
  std::string lower;
  for (char c : s) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (auto m : kMonths)
    if (lower == m) return true;
  return false;
}

// "12:05" (also "9:05"), optionally followed by AM/PM when `ampm`.
bool IsClock(std::string_view s, bool ampm) {
  if (ampm && s.size() > 2) {
    std::string_view tail = s.substr(s.size() - 2);
    if (tail == "AM" || tail == "PM" || tail == "am" || tail == "pm") s.remove_suffix(2);
  }
  size_t colon = s.find(':');
  if (colon == std::string_view::npos || colon == 0 || colon > 2) return false;
  return AllDigits(s.substr(0, colon)) && s.size() - colon - 1 == 2 &&
         AllDigits(s.substr(colon + 1));
}

// "01-15-20", "01-15-2020" or with "/": the MS-DOS date column.
bool IsDosDate(std::string_view s) {
  if (s.size() != 8 && s.size() != 10) return false;
  for (size_t i = 0; i < s.size(); ++i) {
    bool sep = i == 2 || i == 5;
    if (sep ? (s[i] != '-' && s[i] != '/') : !std::isdigit(static_cast<unsigned char>(s[i])))
      return false;
  }
  return true;
}

// "2020-01-15", the date of ls' long-iso style.
bool IsIsoDate(std::string_view s) {
  return s.size() == 10 && s[4] == '-' && s[7] == '-' && AllDigits(s.substr(0, 4)) &&
         AllDigits(s.substr(5, 2)) && AllDigits(s.substr(8, 2));
}

std::string_view NameAfter(std::string_view line, size_t end) {
  // One separator blank; anything further belongs to the name.
  return end + 1 <= line.size() ? line.substr(end + 1) : std::string_view{};
}

std::optional<FtpListEntry> Finish(std::string_view name, bool is_dir, int64_t size) {
  if (!IsSafeListName(name)) return std::nullopt;
  return FtpListEntry{std::string(name), is_dir, size};
}

std::optional<FtpListEntry> ParseUnix(std::string_view line) {
  const char type = line.empty() ? '\0' : line[0];
  if (std::string_view("-dlbcps").find(type) == std::string_view::npos) return std::nullopt;
  auto t = Tokens(line, 12);
  // mode links owner [group] size date... : the size is the number right before the date.
  for (size_t i = 2; i + 1 < t.size(); ++i) {
    if (!AllDigits(t[i - 1].text)) continue;
    size_t name_end = 0;
    if (IsMonth(t[i].text) && i + 2 < t.size() && AllDigits(t[i + 1].text) &&
        (IsClock(t[i + 2].text, false) || (t[i + 2].text.size() == 4 && AllDigits(t[i + 2].text))))
      name_end = t[i + 2].end;
    else if (IsIsoDate(t[i].text) && IsClock(t[i + 1].text, false))
      name_end = t[i + 1].end;
    if (name_end == 0) continue;
    std::string_view name = NameAfter(line, name_end);
    if (type == 'l') {
      size_t arrow = name.find(" -> ");
      if (arrow != std::string_view::npos) name = name.substr(0, arrow);
    }
    return Finish(name, type == 'd', ToSize(t[i - 1].text));
  }
  return std::nullopt;
}

std::optional<FtpListEntry> ParseDos(std::string_view line) {
  auto t = Tokens(line, 3);
  if (t.size() < 3 || !IsDosDate(t[0].text) || !IsClock(t[1].text, true)) return std::nullopt;
  bool is_dir = t[2].text == "<DIR>" || t[2].text == "<dir>";
  if (!is_dir && !AllDigits(t[2].text)) return std::nullopt;
  size_t start = t[2].end;
  while (start < line.size() && (line[start] == ' ' || line[start] == '\t')) ++start;
  return Finish(line.substr(start), is_dir, is_dir ? 0 : ToSize(t[2].text));
}

std::string Lower(std::string_view s) {
  std::string out;
  for (char c : s) out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

std::optional<FtpListEntry> ParseMlsd(std::string_view line) {
  size_t space = line.find(' ');
  if (space == std::string_view::npos) return std::nullopt;
  std::string_view facts = line.substr(0, space);
  std::string type = "file";
  int64_t size = 0;
  while (!facts.empty()) {
    size_t semi = facts.find(';');
    std::string_view fact = facts.substr(0, semi);
    facts = semi == std::string_view::npos ? std::string_view{} : facts.substr(semi + 1);
    size_t eq = fact.find('=');
    if (eq == std::string_view::npos) continue;
    std::string key = Lower(fact.substr(0, eq));
    std::string_view value = fact.substr(eq + 1);
    if (key == "type") type = Lower(value);
    else if ((key == "size" || key == "sizd") && AllDigits(value)) size = ToSize(value);
  }
  if (type == "cdir" || type == "pdir") return std::nullopt;
  return Finish(line.substr(space + 1), type == "dir", size);
}

}  // namespace

bool IsSafeListName(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (char c : name) {
    unsigned char u = static_cast<unsigned char>(c);
    if (c == '/' || c == '\\' || u < 0x20 || u == 0x7f) return false;
  }
  return true;
}

std::optional<FtpListEntry> ParseFtpListLine(std::string_view line, FtpListFormat format) {
  if (format == FtpListFormat::kMlsd) return ParseMlsd(line);
  if (auto unix_entry = ParseUnix(line)) return unix_entry;
  return ParseDos(line);
}

}  // namespace controls
