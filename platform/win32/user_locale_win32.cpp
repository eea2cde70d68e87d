// The user's locale from GetLocaleInfoW and the thread's from GetThreadLocale.
#include "platform/user_locale.h"

#include "platform/win32/win_support.h"

namespace platform {

namespace {

std::u16string LocaleItem(LCTYPE item) {
  wchar_t buffer[32];
  int length = GetLocaleInfoW(LOCALE_USER_DEFAULT, item, buffer, 32);
  // The length counts the terminating zero.
  return length > 1 ? win32::FromWide(buffer, static_cast<size_t>(length - 1)) : std::u16string();
}

} // namespace

LocaleNames UserDefaultLocaleNames() {
  return {LocaleItem(LOCALE_SISO639LANGNAME), LocaleItem(LOCALE_SISO3166CTRYNAME)};
}

std::uint32_t ThreadLocaleId() {
  return GetThreadLocale();
}

} // namespace platform
