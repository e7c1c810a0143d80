// The entry checks that "Create File" runs before any record is built, in their fixed order.
#pragma once

#include <optional>
#include <string>

#include "network/lp_regexp.h"
#include "network/setup_state.h"

namespace network {

struct CheckFailure {
  int step;  // 1 to 35
  std::string message;
};

// The first failing check, or nothing when all 35 pass. Throws forms::RuntimeError: "Overflow" for
// an integer value beyond 16 bits, "Type mismatch" when the serial starts with a non-digit.
std::optional<CheckFailure> CheckEntries(const SetupState& s, lp_regexp& re);

}  // namespace network
