// The registry file reader on any text: it is refused or parsed, and a parsed tree written
// back reads as the same tree.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "registry_tree.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::optional<ole::reg::Tree> tree = ole::reg::Parse(text);
  if (!tree) return 0;
  const std::string written = ole::reg::Serialize(*tree);
  std::optional<ole::reg::Tree> again = ole::reg::Parse(written);
  if (!again || ole::reg::Serialize(*again) != written) std::abort();
  return 0;
}
