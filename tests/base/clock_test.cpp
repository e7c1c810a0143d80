// The time stamp text of captions, rows and log lines, and the clock's test seam.
#include <gtest/gtest.h>

#include "base/clock.h"

namespace {

TEST(Clock, GeneralDateTimeText) {
  const struct {
    base::LocalTime time;
    const char* text;
  } cases[] = {
      {{2026, 12, 8, 15, 4, 5}, "12/8/2026 3:04:05 PM"},
      {{2026, 1, 31, 0, 0, 1}, "1/31/2026 12:00:01 AM"},
      {{2026, 1, 31, 0, 0, 0}, "1/31/2026"},  // midnight shows the date alone
      {{2026, 7, 4, 12, 0, 0}, "7/4/2026 12:00:00 PM"},
      {{2026, 7, 4, 11, 59, 59}, "7/4/2026 11:59:59 AM"},
      {{1999, 10, 10, 23, 10, 9}, "10/10/1999 11:10:09 PM"},
  };
  for (const auto& c : cases) EXPECT_EQ(base::GeneralDateTime(c.time), c.text);
}

TEST(Clock, ATestTimeStandsUntilTheWallClockIsGivenBack) {
  base::SetTestTime(base::LocalTime{2026, 12, 8, 15, 4, 5});
  EXPECT_EQ(base::TimeStamp(), "12/8/2026 3:04:05 PM");
  base::SetTestTime(std::nullopt);
  const base::LocalTime now = base::Now();
  EXPECT_GE(now.year, 2024);
  EXPECT_TRUE(now.month >= 1 && now.month <= 12 && now.day >= 1 && now.day <= 31);
}

}  // namespace
