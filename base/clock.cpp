#include "base/clock.h"

#include <ctime>

namespace base {
namespace {

std::optional<LocalTime>& TestTime() {
  static std::optional<LocalTime> time;
  return time;
}

}  // namespace

LocalTime Now() {
  if (TestTime()) return *TestTime();
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

void SetTestTime(std::optional<LocalTime> time) { TestTime() = time; }

std::string GeneralDateTime(const LocalTime& t) {
  std::string text = std::to_string(t.month) + "/" + std::to_string(t.day) + "/" +
                     std::to_string(t.year);
  if (t.hour == 0 && t.minute == 0 && t.second == 0) return text;
  const int hour12 = t.hour % 12 == 0 ? 12 : t.hour % 12;
  auto two = [](int n) { return (n < 10 ? "0" : "") + std::to_string(n); };
  return text + " " + std::to_string(hour12) + ":" + two(t.minute) + ":" + two(t.second) +
         (t.hour < 12 ? " AM" : " PM");
}

std::string TimeStamp() { return GeneralDateTime(Now()); }

}  // namespace base
