// The user's locale as the translator's language choice needs it.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

struct LocaleNames {
  std::u16string language; // ISO 639, such as "de"; empty when unknown
  std::u16string country;  // ISO 3166, such as "DE"; empty when unknown
};

/// The language and country names of the user's default locale. Linux: of the locale
/// named by LC_ALL, else LC_MESSAGES, else LANG (the one setlocale(LC_MESSAGES, "") picks).
LocaleNames UserDefaultLocaleNames();

/// The calling thread's Windows locale identifier. Linux: the same locale's pair mapped
/// to its identifier (a language alone to its main country's), 0 when not known.
std::uint32_t ThreadLocaleId();

} // namespace platform
