// The local time and the current LC_TIME's date and time formats, through strftime.
#include "platform/local_time.h"

#include "text/ByteSearch.h"
#include "text/TextConvert.h"

#include <ctime>
#include <cwchar>
#include <iterator>
#include <langinfo.h>
#include <string>

namespace platform {
namespace {

/// Bytes of the current locale's codeset as UTF-16; bytes it cannot read become U+FFFD.
std::u16string FromLocaleBytes(const std::string& bytes) {
  std::u16string result;
  if (byte_search::AsciiPrefix(bytes) == bytes.size()) // every codeset keeps ASCII as it is
    return std::u16string(bytes.begin(), bytes.end());
  std::mbstate_t state{};
  const char* p = bytes.data();
  size_t left = bytes.size();
  while (left > 0) {
    wchar_t c = 0;
    size_t length = std::mbrtowc(&c, p, left, &state);
    if (length == static_cast<size_t>(-1) || length == static_cast<size_t>(-2)) {
      result.push_back(u'\uFFFD');
      state = std::mbstate_t{};
      length = 1;
    } else {
      length = length == 0 ? 1 : length; // a zero byte
      PutUtf16(static_cast<char32_t>(c), std::back_inserter(result));
    }
    p += length;
    left -= length;
  }
  return result;
}

std::u16string FormatWith(nl_item format, const LocalTime& time) {
  std::tm fields{};
  fields.tm_year = time.year - 1900;
  fields.tm_mon = time.month - 1;
  fields.tm_mday = time.day;
  fields.tm_hour = time.hour;
  fields.tm_min = time.minute;
  fields.tm_sec = time.second;
  // The weekday and day of the year, for formats that show them.
  std::tm calendar = fields;
  std::time_t asUtc = timegm(&calendar);
  std::tm normalised{};
  if (gmtime_r(&asUtc, &normalised)) {
    fields.tm_wday = normalised.tm_wday;
    fields.tm_yday = normalised.tm_yday;
  }
  fields.tm_isdst = -1;
  const char* pattern = nl_langinfo(format);
  if (!pattern || !*pattern)
    return {};
  std::string buffer(64, '\0');
  for (;;) {
    size_t length = std::strftime(buffer.data(), buffer.size(), pattern, &fields);
    if (length > 0 || buffer.size() > 4096) {
      buffer.resize(length);
      return FromLocaleBytes(buffer);
    }
    buffer.resize(buffer.size() * 4);
  }
}

} // namespace

LocalTime CurrentLocalTime() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  std::tm fields{};
  localtime_r(&now.tv_sec, &fields);
  LocalTime time;
  time.year = static_cast<std::uint16_t>(fields.tm_year + 1900);
  time.month = static_cast<std::uint16_t>(fields.tm_mon + 1);
  time.day = static_cast<std::uint16_t>(fields.tm_mday);
  time.hour = static_cast<std::uint16_t>(fields.tm_hour);
  time.minute = static_cast<std::uint16_t>(fields.tm_min);
  time.second = static_cast<std::uint16_t>(fields.tm_sec);
  time.milliseconds = static_cast<std::uint16_t>(now.tv_nsec / 1000000);
  return time;
}

std::u16string FormatShortDate(const LocalTime& time) {
  return FormatWith(D_FMT, time);
}

std::u16string FormatLongTime(const LocalTime& time) {
  return FormatWith(T_FMT, time);
}

} // namespace platform
