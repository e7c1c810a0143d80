#include "profile_text.h"

#include <vector>

namespace win32::profile {
namespace {

struct Line {
  std::string_view body;  // without its terminator
  std::string_view end;   // "\r\n", "\n" or "" on an unterminated last line
};

std::vector<Line> SplitLines(std::string_view text) {
  std::vector<Line> lines;
  while (!text.empty()) {
    auto nl = text.find('\n');
    if (nl == std::string_view::npos) {
      lines.push_back({text, {}});
      break;
    }
    std::size_t body = nl > 0 && text[nl - 1] == '\r' ? nl - 1 : nl;
    lines.push_back({text.substr(0, body), text.substr(body, nl + 1 - body)});
    text.remove_prefix(nl + 1);
  }
  return lines;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

bool SameName(std::string_view a, std::string_view b) {
  a = Trim(a);
  b = Trim(b);
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

// The section name of a header line, if it is one.
std::optional<std::string_view> SectionOf(std::string_view body) {
  body = Trim(body);
  if (body.empty() || body.front() != '[') return std::nullopt;
  auto close = body.find(']');
  return body.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1);
}

std::optional<std::string_view> KeyOf(std::string_view body) {
  auto eq = body.find('=');
  if (eq == std::string_view::npos) return std::nullopt;
  return Trim(body.substr(0, eq));
}

std::string Join(const std::vector<Line>& lines, std::size_t from, std::size_t to) {
  std::string out;
  for (std::size_t i = from; i < to; ++i) {
    out += lines[i].body;
    out += lines[i].end;
  }
  return out;
}

std::string KeyLine(std::string_view key, std::string_view value) {
  std::string line(key);
  line += '=';
  line += value;
  line += "\r\n";
  return line;
}

}  // namespace

std::string Apply(std::string_view text, std::string_view section,
                  std::optional<std::string_view> key, std::optional<std::string_view> value) {
  const std::vector<Line> lines = SplitLines(text);
  std::size_t header = lines.size();
  for (std::size_t i = 0; i < lines.size(); ++i) {
    auto name = SectionOf(lines[i].body);
    if (name && SameName(*name, section)) {
      header = i;
      break;
    }
  }

  if (header == lines.size()) {
    if (!key || !value) return std::string(text);
    std::string out(text);
    if (!out.empty() && out.back() != '\n') out += "\r\n";
    out += '[';
    out += section;
    out += "]\r\n";
    out += KeyLine(*key, *value);
    return out;
  }

  std::size_t end = header + 1;
  while (end < lines.size() && !SectionOf(lines[end].body)) ++end;
  if (!key) return Join(lines, 0, header) + Join(lines, end, lines.size());

  for (std::size_t i = header + 1; i < end; ++i) {
    auto name = KeyOf(lines[i].body);
    if (!name || !SameName(*name, *key)) continue;
    std::string replaced;
    if (value) {
      replaced = KeyLine(*key, *value);
      if (lines[i].end != "\r\n")
        replaced.replace(replaced.size() - 2, 2, lines[i].end.empty() ? "\r\n" : lines[i].end);
    }
    return Join(lines, 0, i) + replaced + Join(lines, i + 1, lines.size());
  }
  if (!value) return std::string(text);

  // A new key goes after the section's last non-blank line.
  std::size_t at = end;
  while (at > header + 1 && Trim(lines[at - 1].body).empty()) --at;
  std::string before = Join(lines, 0, at);
  if (!before.empty() && before.back() != '\n') before += "\r\n";
  return before + KeyLine(*key, *value) + Join(lines, at, lines.size());
}

}  // namespace win32::profile
