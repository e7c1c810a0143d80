#include "forms/default_instance.h"

#include <map>

namespace forms {
namespace {
std::map<std::string, std::function<void()>>& Registry() {
  static std::map<std::string, std::function<void()>> registry;
  return registry;
}
}  // namespace

void detail::RegisterInstance(const std::string& name, std::function<void()> unload) {
  Registry()[name] = std::move(unload);
}

void UnloadByName(const std::string& name) {
  auto it = Registry().find(name);
  if (it != Registry().end()) it->second();
}

}  // namespace forms
