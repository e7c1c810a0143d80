#include "registry_tree.h"

#include <cstdio>
#include <cstring>

namespace ole::reg {
namespace {

char Fold(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}

bool Plain(char c) {
  const auto u = static_cast<unsigned char>(c);
  return c != '\\' && c != '"' && u >= 0x20 && u != 0x7F;
}

void Quote(std::string& out, std::string_view text) {
  out.push_back('"');
  for (size_t i = 0; i < text.size(); ++i) {
    // Runs of plain characters go in whole: values may be large.
    size_t run = i;
    while (run < text.size() && Plain(text[run])) ++run;
    out.append(text.substr(i, run - i));
    if (run == text.size()) break;
    i = run;
    const char c = text[i];
    const auto u = static_cast<unsigned char>(c);
    if (c == '\\' || c == '"') {
      out.push_back('\\');
      out.push_back(c);
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", u);
      out += buf;
    }
  }
  out.push_back('"');
}

int Hex(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = Fold(c);
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads a quoted text at `pos`; leaves `pos` after the closing quote.
bool Unquote(std::string_view line, size_t& pos, std::string& out) {
  if (pos >= line.size() || line[pos] != '"') return false;
  out.clear();
  for (++pos; pos < line.size(); ++pos) {
    const size_t special = line.find_first_of("\"\\", pos);
    if (special == std::string_view::npos) return false;
    out.append(line.substr(pos, special - pos));
    pos = special;
    if (line[pos] == '"') {
      ++pos;
      return true;
    }
    if (++pos >= line.size()) return false;
    switch (line[pos]) {
      case '\\':
        out.push_back('\\');
        break;
      case '"':
        out.push_back('"');
        break;
      case 'n':
        out.push_back('\n');
        break;
      case 'r':
        out.push_back('\r');
        break;
      case 't':
        out.push_back('\t');
        break;
      case 'x': {
        if (pos + 2 >= line.size()) return false;
        int hi = Hex(line[pos + 1]), lo = Hex(line[pos + 2]);
        if (hi < 0 || lo < 0) return false;
        out.push_back(static_cast<char>(hi * 16 + lo));
        pos += 2;
        break;
      }
      default:
        return false;
    }
  }
  return false;
}

// UTF-16 units in UTF-8 text: one per sequence, two for one of four bytes.
size_t Utf16Length(std::string_view text) {
  size_t n = 0;
  for (char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if ((u & 0xC0) != 0x80) ++n;
    if (u >= 0xF0) ++n;
  }
  return n;
}

bool ParseValueLine(std::string_view line, Key& key) {
  size_t pos = 0;
  std::string name;
  if (line[0] == '@') {
    pos = 1;
  } else if (!Unquote(line, pos, name)) {
    return false;
  }
  if (pos >= line.size() || line[pos] != '=') return false;
  ++pos;
  Value value;
  std::string_view rest = line.substr(pos);
  if (rest.substr(0, 6) == "dword:") {
    if (rest.size() != 14) return false;
    DWORD n = 0;
    for (size_t i = 6; i < 14; ++i) {
      int d = Hex(rest[i]);
      if (d < 0) return false;
      n = n * 16 + static_cast<DWORD>(d);
    }
    value.type = 4;  // REG_DWORD
    value.data.assign(reinterpret_cast<const char*>(&n), sizeof n);
  } else {
    if (rest.substr(0, 7) == "expand:") {
      value.type = 2;  // REG_EXPAND_SZ
      pos += 7;
    }
    if (!Unquote(line, pos, value.data) || pos != line.size()) return false;
  }
  if (!ValueFits(name, value.data)) return false;
  key.SetValue(name, std::move(value));
  return true;
}

void SerializeKey(const Key& key, const std::string& path, bool always, std::string& out) {
  if (always || !key.values.empty() || key.subkeys.empty()) {
    out += "[" + path + "]\n";
    for (const auto& [name, value] : key.values) {
      if (name.empty()) {
        out.push_back('@');
      } else {
        Quote(out, name);
      }
      out.push_back('=');
      if (value.type == 4) {
        DWORD n = 0;
        std::memcpy(&n, value.data.data(), std::min(value.data.size(), sizeof n));
        char buf[16];
        std::snprintf(buf, sizeof buf, "dword:%08X", n);
        out += buf;
      } else {
        if (value.type == 2) out += "expand:";
        Quote(out, value.data);
      }
      out.push_back('\n');
    }
    out.push_back('\n');
  }
  for (const auto& [name, child] : key.subkeys) {
    SerializeKey(*child, path + "\\" + child->name, false, out);
  }
}

}  // namespace

bool ValueFits(std::string_view value_name, std::string_view data) {
  return data.size() <= kMaxValueData && value_name.size() <= 4 * kMaxValueName &&
         Utf16Length(value_name) <= kMaxValueName;
}

bool NoCaseLess::operator()(const std::string& a, const std::string& b) const {
  size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    char x = Fold(a[i]), y = Fold(b[i]);
    if (x != y) return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
  }
  return a.size() < b.size();
}

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (Fold(a[i]) != Fold(b[i])) return false;
  }
  return true;
}

Key* Key::Find(std::string_view child) {
  auto it = subkeys.find(std::string(child));
  return it == subkeys.end() ? nullptr : it->second.get();
}

const Key* Key::Find(std::string_view child) const {
  auto it = subkeys.find(std::string(child));
  return it == subkeys.end() ? nullptr : it->second.get();
}

Key& Key::Child(std::string_view child, bool* created) {
  if (Key* found = Find(child)) {
    if (created) *created = false;
    return *found;
  }
  auto key = std::make_unique<Key>();
  key->name = std::string(child);
  Key& ref = *key;
  subkeys.emplace(std::string(child), std::move(key));
  if (created) *created = true;
  return ref;
}

const Value* Key::FindValue(std::string_view value_name) const {
  for (const auto& [name, value] : values) {
    if (EqualNoCase(name, value_name)) return &value;
  }
  return nullptr;
}

void Key::SetValue(std::string_view value_name, Value value) {
  for (auto& [name, old] : values) {
    if (EqualNoCase(name, value_name)) {
      old = std::move(value);
      return;
    }
  }
  values.emplace_back(std::string(value_name), std::move(value));
}

bool Key::DeleteValue(std::string_view value_name) {
  for (auto it = values.begin(); it != values.end(); ++it) {
    if (EqualNoCase(it->first, value_name)) {
      values.erase(it);
      return true;
    }
  }
  return false;
}

bool Key::Remove(std::string_view child) {
  return subkeys.erase(std::string(child)) > 0;
}

bool SplitPath(std::string_view path, std::vector<std::string>& parts) {
  parts.clear();
  if (!path.empty() && path[0] == '\\') return false;
  while (!path.empty() && parts.size() <= kMaxDepth) {
    size_t cut = path.find('\\');
    std::string_view name = path.substr(0, cut);
    if (name.empty() || name.size() > 255) return false;
    for (char c : name) {
      if (static_cast<unsigned char>(c) < 0x20) return false;
    }
    parts.emplace_back(name);
    if (cut == std::string_view::npos) break;
    path.remove_prefix(cut + 1);
  }
  return true;
}

Key* Walk(Key& from, const std::vector<std::string>& path) {
  Key* key = &from;
  for (const std::string& name : path) {
    key = key->Find(name);
    if (!key) return nullptr;
  }
  return key;
}

const Key* Walk(const Key& from, const std::vector<std::string>& path) {
  const Key* key = &from;
  for (const std::string& name : path) {
    key = key->Find(name);
    if (!key) return nullptr;
  }
  return key;
}

std::optional<Tree> Parse(std::string_view text) {
  if (text.size() > kMaxFileSize) return std::nullopt;
  Tree tree;
  Key* current = nullptr;
  while (!text.empty()) {
    size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') {
      if (line.size() < 2 || line.back() != ']') return std::nullopt;
      std::string_view path = line.substr(1, line.size() - 2);
      size_t cut = path.find('\\');
      std::string_view root_name = path.substr(0, cut);
      int root = -1;
      for (int i = 0; i < kRootCount; ++i) {
        if (EqualNoCase(root_name, kRootNames[i])) root = i;
      }
      if (root < 0) return std::nullopt;
      std::vector<std::string> parts;
      if (cut != std::string_view::npos &&
          (!SplitPath(path.substr(cut + 1), parts) || parts.size() > kMaxDepth)) {
        return std::nullopt;
      }
      current = &tree.roots[root];
      for (const std::string& name : parts) current = &current->Child(name);
      continue;
    }
    if (!current || !ParseValueLine(line, *current)) return std::nullopt;
  }
  return tree;
}

std::string Serialize(const Tree& tree) {
  std::string out = "; Object runtime registry. Written by the runtime; edit with care.\n\n";
  for (int i = 0; i < kRootCount; ++i) {
    const Key& root = tree.roots[i];
    if (root.values.empty() && root.subkeys.empty()) continue;
    SerializeKey(root, kRootNames[i], !root.values.empty(), out);
  }
  return out;
}

}  // namespace ole::reg
