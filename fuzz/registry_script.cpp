// Registry scripts as a registrar gets them: parsed with replacements, then registered and
// unregistered on a tree that already holds keys of its own. A registered tree writes out
// as a file that reads back the same.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "registry_script.h"
#include "registry_tree.h"

namespace {

ole::reg::Tree Existing() {
  auto text =
      "[HKEY_CLASSES_ROOT\\CLSID\\{other}\\InprocServer32]\n@=\"/lib/other.so\"\n"
      "[HKEY_CLASSES_ROOT\\Shared\\Foreign]\n\"Note\"=\"kept\"\n";
  return *ole::reg::Parse(text);
}

void CheckRoundTrip(const ole::reg::Tree& tree) {
  const std::string written = ole::reg::Serialize(tree);
  std::optional<ole::reg::Tree> again = ole::reg::Parse(written);
  if (written.size() <= ole::reg::kMaxFileSize &&
      (!again || ole::reg::Serialize(*again) != written)) {
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const ole::rgs::Replacements replacements = {
      {"MODULE", "/opt/lib/it's.so"}, {"CLSID", "{5C1E2A40-7D3B-4E11-9A0F-3B6C2D8E1F01}"}};
  const std::string text(reinterpret_cast<const char*>(data), size);
  ole::rgs::Script script;
  if (FAILED(ole::rgs::Parse(text, replacements, script))) return 0;
  ole::reg::Tree tree = Existing();
  ole::rgs::Apply(script, true, tree);
  CheckRoundTrip(tree);
  ole::rgs::Apply(script, false, tree);
  CheckRoundTrip(tree);
  return 0;
}
