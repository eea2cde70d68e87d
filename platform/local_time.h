// The local date and time, and the user's regional formats for them.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

struct LocalTime {
  std::uint16_t year = 0;
  std::uint16_t month = 0; // 1 to 12
  std::uint16_t day = 0;   // 1 to 31
  std::uint16_t hour = 0;
  std::uint16_t minute = 0;
  std::uint16_t second = 0;
  std::uint16_t milliseconds = 0;
};

LocalTime CurrentLocalTime();

/// The date in the user's short date format (Linux: D_FMT of the current LC_TIME).
std::u16string FormatShortDate(const LocalTime& time);

/// The time in the user's long time format (Linux: T_FMT of the current LC_TIME).
std::u16string FormatLongTime(const LocalTime& time);

} // namespace platform
