// The local time and the user's short date and long time formats.
#include "platform/local_time.h"

#include "platform/win32/win_support.h"

namespace platform {
namespace {

SYSTEMTIME ToSystemTime(const LocalTime& time) {
  SYSTEMTIME st{};
  st.wYear = time.year;
  st.wMonth = time.month;
  st.wDay = time.day;
  st.wHour = time.hour;
  st.wMinute = time.minute;
  st.wSecond = time.second;
  st.wMilliseconds = time.milliseconds;
  // The weekday, for formats that show it.
  FILETIME asFileTime;
  SYSTEMTIME normalised;
  if (SystemTimeToFileTime(&st, &asFileTime) && FileTimeToSystemTime(&asFileTime, &normalised))
    st.wDayOfWeek = normalised.wDayOfWeek;
  return st;
}

} // namespace

LocalTime CurrentLocalTime() {
  SYSTEMTIME st;
  GetLocalTime(&st);
  LocalTime time;
  time.year = st.wYear;
  time.month = st.wMonth;
  time.day = st.wDay;
  time.hour = st.wHour;
  time.minute = st.wMinute;
  time.second = st.wSecond;
  time.milliseconds = st.wMilliseconds;
  return time;
}

std::u16string FormatShortDate(const LocalTime& time) {
  SYSTEMTIME st = ToSystemTime(time);
  wchar_t buffer[128];
  int length = GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, buffer, 128);
  return length > 0 ? win32::FromWide(buffer, static_cast<size_t>(length - 1)) : std::u16string();
}

std::u16string FormatLongTime(const LocalTime& time) {
  SYSTEMTIME st = ToSystemTime(time);
  wchar_t buffer[128];
  int length = GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &st, nullptr, buffer, 128);
  return length > 0 ? win32::FromWide(buffer, static_cast<size_t>(length - 1)) : std::u16string();
}

} // namespace platform
