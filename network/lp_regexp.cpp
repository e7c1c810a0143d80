#include "network/lp_regexp.h"

#include <new>

#include "forms/runtime_error.h"

namespace network {
namespace {

// Both taken character for character as the meters' tools have always used them.
const std::string kEmailPattern =
    R"(^([a-zA-Z0-9_\-\.\+]+)@(((25[0-5]|2[0-4][0-9]|[0-1]{1}[0-9]{2}|[1-9]{1}[0-9]{1}|[1-9])\.)"
    R"((25[0-5]|2[0-4][0-9]|[0-1]{1}[0-9]{2}|[1-9]{1}[0-9]{1}|[1-9]|0)\.)"
    R"((25[0-5]|2[0-4][0-9]|[0-1]{1}[0-9]{2}|[1-9]{1}[0-9]{1}|[1-9]|0)\.)"
    R"((25[0-5]|2[0-4][0-9]|[0-1]{1}[0-9]{2}|[1-9]{1}[0-9]{1}|[0-9])|(\w+((-\w+)|(\w*))\.)+[a-z]{2,4}))$)";

const std::string kIPv4Pattern =
    R"(^(25[0-5]|2[0-4][0-9]|[0-1]{1}[0-9]{2}|[1-9]{1}[0-9]{1}|[1-9])\.)"
    R"((25[0-5]|2[0-4][0-9]|[0-1]{1}[0-9]{2}|[1-9]{1}[0-9]{1}|[1-9]|0)\.)"
    R"((25[0-5]|2[0-4][0-9]|[0-1]{1}[0-9]{2}|[1-9]{1}[0-9]{1}|[1-9]|0)\.)"
    R"((25[0-5]|2[0-4][0-9]|[0-1]{1}[0-9]{2}|[1-9]{1}[0-9]{1}|[0-9])$)";

const std::string kNoPattern;

// The engine's failures as the run-time failures a handler catches and reports.
template <typename F>
auto Guarded(F&& run) -> decltype(run()) {
  try {
    return run();
  } catch (const regexp::RegExpError& e) {
    throw forms::RuntimeError(e.number(), e.what());
  } catch (const std::bad_alloc&) {
    throw forms::RuntimeError(forms::kErrOutOfMemory, "Out of memory");
  }
}

}  // namespace

const std::string& lp_regexp::PatternOf(PatternKind test) {
  switch (test) {
    case PatternKind::kEmail:
      return kEmailPattern;
    case PatternKind::kIPv4:
      return kIPv4Pattern;
  }
  return kNoPattern;
}

bool lp_regexp::IsValid(PatternKind test, const std::string& text) {
  return Guarded([&] {
    re_.SetPattern(PatternOf(test));
    re_.SetGlobal(false);
    re_.SetIgnoreCase(true);
    re_.SetMultiline(false);  // a whole-text test, even after an Extract switched it on
    return re_.Test(text);
  });
}

std::vector<regexp::Match> lp_regexp::Extract(PatternKind test, const std::string& text) {
  return Guarded([&] {
    const std::string& pattern = PatternOf(test);
    re_.SetPattern(pattern.size() >= 2 ? pattern.substr(1, pattern.size() - 2) : std::string());
    re_.SetGlobal(true);
    re_.SetIgnoreCase(true);
    re_.SetMultiline(true);
    return re_.Execute(text);
  });
}

}  // namespace network
