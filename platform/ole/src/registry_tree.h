// The registry as a tree of keys with named values, and its text file form:
//
//   [HKEY_CLASSES_ROOT\CLSID\{...}\InprocServer32]
//   @="/path/libserver.so"
//   "ThreadingModel"="Apartment"
//   "Count"=dword:0000000a
//
// Names are kept as first written and compare without regard to ASCII case; texts are UTF-8.
#pragma once

#include <array>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "win32/types.h"

namespace ole::reg {

struct NoCaseLess {
  bool operator()(const std::string& a, const std::string& b) const;
};
bool EqualNoCase(std::string_view a, std::string_view b);

struct Value {
  DWORD type = 1;    // REG_SZ, REG_EXPAND_SZ or REG_DWORD
  std::string data;  // UTF-8 text, or the number's four bytes
};

struct Key {
  std::string name;
  std::vector<std::pair<std::string, Value>> values;  // in the order first set
  std::map<std::string, std::unique_ptr<Key>, NoCaseLess> subkeys;

  Key* Find(std::string_view child);
  const Key* Find(std::string_view child) const;
  Key& Child(std::string_view child, bool* created = nullptr);
  const Value* FindValue(std::string_view value_name) const;
  void SetValue(std::string_view value_name, Value value);
  bool DeleteValue(std::string_view value_name);
  bool Remove(std::string_view child);
};

// Limits that keep a small hostile file or script from taking the process down: keys nest
// at most 512 levels below a root, as on Windows; a value name holds at most 16,383
// characters and a value at most 1 MiB of text; the file holds at most 4 MiB, hundreds of
// times what the runtime writes.
inline constexpr size_t kMaxDepth = 512;
inline constexpr size_t kMaxValueName = 16383;
inline constexpr size_t kMaxValueData = size_t{1} << 20;
inline constexpr size_t kMaxFileSize = size_t{4} << 20;
// Whether a value of this name and data stays within the limits.
bool ValueFits(std::string_view value_name, std::string_view data);

enum Root { kClassesRoot, kCurrentUser, kLocalMachine, kUsers, kRootCount };
inline constexpr std::array<const char*, kRootCount> kRootNames = {
    "HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE", "HKEY_USERS"};

struct Tree {
  std::array<Key, kRootCount> roots;
};

// Splits "A\B\C"; false for a leading backslash, an empty name, a name over 255 bytes or
// one with a control character. A trailing backslash is allowed. Splitting stops after
// kMaxDepth + 1 names, so a path too deep to be a key is never split whole.
bool SplitPath(std::string_view path, std::vector<std::string>& parts);
// The key at `path` under `from`, or null.
Key* Walk(Key& from, const std::vector<std::string>& path);
const Key* Walk(const Key& from, const std::vector<std::string>& path);

// Nothing when the text is not a registry file we wrote, or goes beyond the limits.
std::optional<Tree> Parse(std::string_view text);
std::string Serialize(const Tree& tree);

}  // namespace ole::reg
