#include "network/lp_regexp.h"

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

}  // namespace

const std::string& lp_regexp::PatternOf(std::int32_t test) {
  switch (test) {
    case 0:
      return kEmailPattern;
    case 1:
      return kIPv4Pattern;
    default:
      return kNoPattern;
  }
}

bool lp_regexp::IsValid(std::int32_t test, const std::string& text) {
  re_.SetPattern(PatternOf(test));
  re_.SetGlobal(false);
  re_.SetIgnoreCase(true);
  re_.SetMultiline(false);  // a whole-text test, even after an Extract switched it on
  return re_.Test(text);
}

std::vector<regexp::Match> lp_regexp::Extract(std::int32_t test, const std::string& text) {
  const std::string& pattern = PatternOf(test);
  re_.SetPattern(pattern.size() >= 2 ? pattern.substr(1, pattern.size() - 2) : std::string());
  re_.SetGlobal(true);
  re_.SetIgnoreCase(true);
  re_.SetMultiline(true);
  return re_.Execute(text);
}

}  // namespace network
