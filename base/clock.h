// The one clock behind every time stamp in captions, rows and log lines. Tests set a time so
// that what they compare never depends on the wall clock.
#pragma once

#include <optional>
#include <string>

namespace base {

struct LocalTime {
  int year = 0, month = 0, day = 0;  // month and day from 1
  int hour = 0, minute = 0, second = 0;
  bool operator==(const LocalTime&) const = default;
};

// The local date and time now, or the test time when one is set.
LocalTime Now();
// nullopt gives the wall clock back.
void SetTestTime(std::optional<LocalTime> time);

// The general date-and-time text, "12/8/2026 3:04:05 PM": month/day/year, the hour without a
// leading zero on a 12-hour clock; at exactly midnight only the date, as the platform shows it.
std::string GeneralDateTime(const LocalTime& t);

// GeneralDateTime(Now()).
std::string TimeStamp();

}  // namespace base
