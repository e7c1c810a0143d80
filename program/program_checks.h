// The checks "Create File" runs on the program form before anything is written. Each gives
// the one message to show, or nothing when the form passes.
#pragma once

#include <optional>

#include "program/message.h"
#include "program/program_form.h"

namespace program {

// Checks 1 to 9 in their order (DST, tiers, channel sources, number of dates); the first
// failing one. A number the checks need that is not integer text is refused where it is used.
std::optional<Message> FirstFailedCheck(const FormValues& values);

// Check 10: the serial number is exactly 8 characters.
std::optional<Message> SerialCheck(const FormValues& values);

// After the checks: a value that would break the file's layout (a "," outside the two date
// lists, a "*" or a line end anywhere), or a serial that could not name its file as written
// (a double quote, which the writer removes from the text but not from the name, or a
// character no file name may hold).
std::optional<Message> LayoutCheck(const FormValues& values);

}  // namespace program
