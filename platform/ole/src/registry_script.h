// The registry-script language of registrar.h: parsed whole, then applied to a tree.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "registry_tree.h"
#include "wtypes.h"

namespace ole::rgs {

struct Node {
  enum Flag { kNone, kNoRemove, kForceRemove, kDelete } flag = kNone;
  std::string name;
  std::optional<reg::Value> default_value;
  std::vector<std::pair<std::string, reg::Value>> values;
  std::vector<Node> children;
};

struct Script {
  std::vector<std::pair<reg::Root, std::vector<Node>>> roots;
};

using Replacements = std::map<std::string, std::string, reg::NoCaseLess>;

// DISP_E_EXCEPTION for a syntax error or an unknown %NAME%, as ATL's registrar answers;
// HRESULT_FROM_WIN32(ERROR_INVALID_PARAMETER) for keys nested deeper than the registry holds
// or values larger than it keeps.
HRESULT Parse(const std::string& text, const Replacements& replacements, Script& script);

// Register: creates keys and sets values (ForceRemove keys are first removed whole, Delete
// keys only removed). Unregister: removes the values the script names, ForceRemove keys
// whole, other keys when no subkey is left in them; NoRemove keys stay.
void Apply(const Script& script, bool do_register, reg::Tree& tree);

}  // namespace ole::rgs
