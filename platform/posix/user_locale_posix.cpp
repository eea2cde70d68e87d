// The user's locale from the locale environment, and its Windows identifier.
#include "platform/user_locale.h"

#include "text/TextConvert.h"

#include <cstdlib>
#include <string>

namespace platform {

namespace {

struct Pair {
  std::string language, country;
};

Pair MessagesLocale() {
  std::string name;
  for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr && *value != '\0') {
      name = value;
      break;
    }
  }
  // language[_country][.codeset][@modifier]
  name = name.substr(0, name.find_first_of(".@"));
  size_t underscore = name.find('_');
  if (underscore == std::string::npos)
    return {name, ""};
  return {name.substr(0, underscore), name.substr(underscore + 1)};
}

// Windows identifiers of the locales the translator knows by identifier; the first row of
// a language is its main country.
const struct {
  const char* language;
  const char* country;
  std::uint32_t id;
} kIdentifiers[] = {
    {"da", "DK", 0x0406}, {"de", "DE", 0x0407}, {"el", "GR", 0x0408}, {"en", "US", 0x0409},
    {"es", "ES", 0x0C0A}, {"fi", "FI", 0x040B}, {"fr", "FR", 0x040C}, {"is", "IS", 0x040F},
    {"it", "IT", 0x0410}, {"ko", "KR", 0x0412}, {"nl", "NL", 0x0413}, {"nb", "NO", 0x0414},
    {"no", "NO", 0x0414}, {"pl", "PL", 0x0415}, {"pt", "BR", 0x0416}, {"ru", "RU", 0x0419},
    {"sv", "SE", 0x041D}, {"en", "GB", 0x0809}, {"fr", "BE", 0x080C}, {"nl", "BE", 0x0813},
    {"nn", "NO", 0x0814}, {"pt", "PT", 0x0816}, {"sv", "FI", 0x081D}, {"fr", "CA", 0x0C0C},
    {"de", "LU", 0x1007},
};

} // namespace

LocaleNames UserDefaultLocaleNames() {
  Pair pair = MessagesLocale();
  // "C" and "POSIX" name no language.
  if (pair.language == "C" || pair.language == "POSIX")
    return {};
  return {Utf8ToUtf16(pair.language), Utf8ToUtf16(pair.country)};
}

std::uint32_t ThreadLocaleId() {
  Pair pair = MessagesLocale();
  for (const auto& row : kIdentifiers)
    if (pair.language == row.language && pair.country == row.country)
      return row.id;
  for (const auto& row : kIdentifiers)
    if (pair.language == row.language)
      return row.id;
  return 0;
}

} // namespace platform
