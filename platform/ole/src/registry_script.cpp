#include "registry_script.h"

#include <cstdlib>

#include "winerror.h"
#include "winreg.h"

namespace ole::rgs {
namespace {

// What a script beyond the registry's limits gets: the error the registry call that would
// create such a key or value answers.
const HRESULT kBeyondLimits = HRESULT_FROM_WIN32(ERROR_INVALID_PARAMETER);

struct Token {
  std::string text;
  bool quoted = false;
  bool Is(std::string_view word) const { return !quoted && reg::EqualNoCase(text, word); }
};

HRESULT Substitute(const std::string& in, const Replacements& table, std::string& out) {
  out.clear();
  for (size_t i = 0; i < in.size(); ++i) {
    // Replacements can make a short script long; never longer than a registry file.
    if (out.size() > reg::kMaxFileSize) return kBeyondLimits;
    if (in[i] != '%') {
      out.push_back(in[i]);
      continue;
    }
    size_t end = in.find('%', i + 1);
    if (end == std::string::npos) return DISP_E_EXCEPTION;
    if (end == i + 1) {
      out.push_back('%');
    } else {
      auto it = table.find(in.substr(i + 1, end - i - 1));
      if (it == table.end()) return DISP_E_EXCEPTION;
      out += it->second;
    }
    i = end;
  }
  return out.size() > reg::kMaxFileSize ? kBeyondLimits : S_OK;
}

bool Tokenize(const std::string& text, std::vector<Token>& tokens) {
  size_t i = 0;
  auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (i < text.size()) {
    if (space(text[i])) {
      ++i;
      continue;
    }
    Token t;
    if (text[i] == '\'') {
      t.quoted = true;
      for (++i;; ++i) {
        if (i >= text.size()) return false;
        if (text[i] == '\'') {
          if (i + 1 < text.size() && text[i + 1] == '\'') {
            t.text.push_back('\'');
            ++i;
            continue;
          }
          ++i;
          break;
        }
        t.text.push_back(text[i]);
      }
    } else {
      while (i < text.size() && !space(text[i])) t.text.push_back(text[i++]);
    }
    tokens.push_back(std::move(t));
  }
  return true;
}

class Parser {
 public:
  explicit Parser(std::vector<Token> tokens) : tokens_(std::move(tokens)) {}

  bool ParseScript(Script& script) {
    while (pos_ < tokens_.size()) {
      const Token& root = tokens_[pos_++];
      std::optional<reg::Root> r = RootOf(root);
      if (!r || !Expect("{")) return false;
      std::vector<Node> keys;
      std::vector<std::pair<std::string, reg::Value>> no_values;
      if (!ParseBody(keys, no_values, false, 1)) return false;
      script.roots.emplace_back(*r, std::move(keys));
    }
    return true;
  }
  // DISP_E_EXCEPTION for a syntax error, kBeyondLimits for a key or value too big.
  HRESULT error() const { return error_; }

 private:
  static std::optional<reg::Root> RootOf(const Token& t) {
    if (t.Is("HKCR") || t.Is("HKEY_CLASSES_ROOT")) return reg::kClassesRoot;
    if (t.Is("HKCU") || t.Is("HKEY_CURRENT_USER")) return reg::kCurrentUser;
    if (t.Is("HKLM") || t.Is("HKEY_LOCAL_MACHINE")) return reg::kLocalMachine;
    if (t.Is("HKU") || t.Is("HKEY_USERS")) return reg::kUsers;
    return std::nullopt;
  }

  const Token* Peek() const { return pos_ < tokens_.size() ? &tokens_[pos_] : nullptr; }
  const Token* Next() { return pos_ < tokens_.size() ? &tokens_[pos_++] : nullptr; }
  bool Expect(std::string_view word) {
    const Token* t = Next();
    return t && !t->quoted && t->text == word;
  }

  bool ParseValue(reg::Value& value) {
    const Token* type = Next();
    const Token* text = Next();
    if (!type || !text) return false;
    if (type->Is("s")) {
      if (text->text.size() > reg::kMaxValueData) return Beyond();
      value.type = 1;  // REG_SZ
      value.data = text->text;
      return true;
    }
    if (type->Is("d")) {
      char* end = nullptr;
      unsigned long n = std::strtoul(text->text.c_str(), &end, 0);
      if (text->text.empty() || *end != '\0' || n > 0xFFFFFFFFul) return false;
      DWORD d = static_cast<DWORD>(n);
      value.type = 4;  // REG_DWORD
      value.data.assign(reinterpret_cast<const char*>(&d), sizeof d);
      return true;
    }
    return false;  // binary and multi-string values are not kept by this registry
  }

  bool Beyond() {
    error_ = kBeyondLimits;
    return false;
  }

  // The keys of one block, `depth` levels below the root.
  bool ParseBody(std::vector<Node>& keys, std::vector<std::pair<std::string, reg::Value>>& values,
                 bool values_allowed, size_t depth) {
    for (;;) {
      const Token* t = Next();
      if (!t) return false;
      if (!t->quoted && t->text == "}") return true;
      if (t->Is("val")) {
        const Token* name = Next();
        reg::Value value;
        if (!values_allowed || !name || !Expect("=") || !ParseValue(value)) return false;
        if (!reg::ValueFits(name->text, value.data)) return Beyond();
        values.emplace_back(name->text, std::move(value));
        continue;
      }
      if (depth > reg::kMaxDepth) return Beyond();
      Node node;
      if (t->Is("NoRemove")) {
        node.flag = Node::kNoRemove;
      } else if (t->Is("ForceRemove")) {
        node.flag = Node::kForceRemove;
      } else if (t->Is("Delete")) {
        node.flag = Node::kDelete;
      }
      if (node.flag != Node::kNone) t = Next();
      if (!t || (!t->quoted && (t->text == "{" || t->text == "}" || t->text == "="))) return false;
      std::vector<std::string> check;
      // One key name: a backslash would make it a path when the registry is read back.
      if (t->text.find('\\') != std::string::npos || !reg::SplitPath(t->text, check) ||
          check.size() != 1) {
        return false;
      }
      node.name = t->text;
      if (const Token* eq = Peek(); eq && !eq->quoted && eq->text == "=") {
        ++pos_;
        reg::Value value;
        if (!ParseValue(value)) return false;
        node.default_value = std::move(value);
      }
      if (const Token* open = Peek(); open && !open->quoted && open->text == "{") {
        ++pos_;
        if (!ParseBody(node.children, node.values, true, depth + 1)) return false;
      }
      keys.push_back(std::move(node));
    }
  }

  std::vector<Token> tokens_;
  size_t pos_ = 0;
  HRESULT error_ = DISP_E_EXCEPTION;
};

void Register(const std::vector<Node>& nodes, reg::Key& parent) {
  for (const Node& node : nodes) {
    if (node.flag == Node::kDelete || node.flag == Node::kForceRemove) parent.Remove(node.name);
    if (node.flag == Node::kDelete) continue;
    reg::Key& key = parent.Child(node.name);
    if (node.default_value) key.SetValue("", *node.default_value);
    for (const auto& [name, value] : node.values) key.SetValue(name, value);
    Register(node.children, key);
  }
}

void Unregister(const std::vector<Node>& nodes, reg::Key& parent) {
  for (const Node& node : nodes) {
    reg::Key* key = parent.Find(node.name);
    if (!key || node.flag == Node::kDelete) continue;
    if (node.flag == Node::kForceRemove) {
      parent.Remove(node.name);
      continue;
    }
    Unregister(node.children, *key);
    for (const auto& [name, value] : node.values) key->DeleteValue(name);
    if (node.flag != Node::kNoRemove && key->subkeys.empty()) parent.Remove(node.name);
  }
}

}  // namespace

HRESULT Parse(const std::string& text, const Replacements& replacements, Script& script) {
  std::string expanded;
  std::vector<Token> tokens;
  if (HRESULT hr = Substitute(text, replacements, expanded); FAILED(hr)) return hr;
  if (!Tokenize(expanded, tokens)) return DISP_E_EXCEPTION;
  script = Script{};
  Parser parser(std::move(tokens));
  return parser.ParseScript(script) ? S_OK : parser.error();
}

void Apply(const Script& script, bool do_register, reg::Tree& tree) {
  for (const auto& [root, keys] : script.roots) {
    if (do_register) {
      Register(keys, tree.roots[root]);
    } else {
      Unregister(keys, tree.roots[root]);
    }
  }
}

}  // namespace ole::rgs
