// The local time and the user's formats for it, as the log stamps its entries.
#include "platform/local_time.h"

#include <gtest/gtest.h>

#include <ctime>

namespace {

using platform::LocalTime;

TEST(LocalTimeTest, CurrentLocalTimeIsTheCLibrarysLocalTime) {
  // Read between two readings of the C library's clock, so that a second boundary
  // between them shows as a mismatch of at most one second.
  std::time_t before = std::time(nullptr);
  LocalTime now = platform::CurrentLocalTime();
  std::time_t after = std::time(nullptr);
  std::tm fields{};
  fields.tm_year = now.year - 1900;
  fields.tm_mon = now.month - 1;
  fields.tm_mday = now.day;
  fields.tm_hour = now.hour;
  fields.tm_min = now.minute;
  fields.tm_sec = now.second;
  fields.tm_isdst = -1;
  std::time_t read = std::mktime(&fields);
  EXPECT_GE(read, before - 1);
  EXPECT_LE(read, after + 1);
  EXPECT_LT(now.milliseconds, 1000);
}

TEST(LocalTimeTest, FormatsShowEachFieldDownToTheSecond) {
  const LocalTime base{2024, 3, 9, 14, 5, 7, 250};
  const std::u16string date = platform::FormatShortDate(base);
  const std::u16string time = platform::FormatLongTime(base);
  EXPECT_FALSE(date.empty());
  EXPECT_FALSE(time.empty());
  // Test tuple <field changed, shows in the date, shows in the time>
  const struct {
    const char* field;
    std::uint16_t LocalTime::*member;
    std::uint16_t value;
    bool inDate, inTime;
  } cases[] = {
      {"year", &LocalTime::year, 2025, true, false},
      {"month", &LocalTime::month, 11, true, false},
      {"day", &LocalTime::day, 28, true, false},
      {"hour", &LocalTime::hour, 9, false, true},
      {"minute", &LocalTime::minute, 59, false, true},
      {"second", &LocalTime::second, 0, false, true},
      {"milliseconds", &LocalTime::milliseconds, 999, false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.field);
    LocalTime changed = base;
    changed.*c.member = c.value;
    EXPECT_EQ(platform::FormatShortDate(changed) != date, c.inDate);
    EXPECT_EQ(platform::FormatLongTime(changed) != time, c.inTime);
  }
}

} // namespace
