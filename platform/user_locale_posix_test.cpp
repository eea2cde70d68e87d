// The user's locale on Linux: the first set of LC_ALL, LC_MESSAGES and LANG, split into
// language and country and mapped to its Windows identifier.
#include "platform/user_locale.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

namespace {

/// Sets or unsets the locale variables for one test and restores them afterwards.
class ScopedLocaleEnvironment {
public:
  ScopedLocaleEnvironment() {
    for (size_t i = 0; i < 3; ++i)
      if (const char* value = std::getenv(kNames[i]))
        saved_[i] = value;
  }
  ~ScopedLocaleEnvironment() {
    for (size_t i = 0; i < 3; ++i)
      Set(kNames[i], saved_[i] ? saved_[i]->c_str() : nullptr);
  }
  void Apply(const char* all, const char* messages, const char* lang) {
    Set("LC_ALL", all);
    Set("LC_MESSAGES", messages);
    Set("LANG", lang);
  }

private:
  static void Set(const char* name, const char* value) {
    if (value)
      ::setenv(name, value, 1);
    else
      ::unsetenv(name);
  }
  static constexpr const char* kNames[3] = {"LC_ALL", "LC_MESSAGES", "LANG"};
  std::optional<std::string> saved_[3];
};

TEST(UserLocalePosixTest, LocaleOfTheEnvironmentAndItsIdentifier) {
  ScopedLocaleEnvironment environment;
  // Test tuple <LC_ALL, LC_MESSAGES, LANG, language, country, identifier>
  const struct {
    const char *all, *messages, *lang;
    std::u16string language, country;
    std::uint32_t id;
  } cases[] = {
      {"de_DE.UTF-8", "fr_FR", "it_IT", u"de", u"DE", 0x0407},
      {"", "fr_CA.ISO-8859-1@euro", "it_IT", u"fr", u"CA", 0x0C0C},
      {nullptr, nullptr, "en_GB", u"en", u"GB", 0x0809},
      {nullptr, nullptr, "sv_FI.UTF-8", u"sv", u"FI", 0x081D},
      // A language alone, or with a country not in the table: its main country's.
      {nullptr, nullptr, "pt", u"pt", u"", 0x0416},
      {nullptr, nullptr, "de_CH.UTF-8", u"de", u"CH", 0x0407},
      {nullptr, nullptr, "nb_NO", u"nb", u"NO", 0x0414},
      {nullptr, nullptr, "xx_YY", u"xx", u"YY", 0},
      // The C locale and no locale at all name no language.
      {"C.UTF-8", nullptr, "de_DE", u"", u"", 0},
      {nullptr, nullptr, "POSIX", u"", u"", 0},
      {nullptr, nullptr, nullptr, u"", u"", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.all ? c.all : "-") + " " + (c.messages ? c.messages : "-") + " " +
                 (c.lang ? c.lang : "-"));
    environment.Apply(c.all, c.messages, c.lang);
    platform::LocaleNames names = platform::UserDefaultLocaleNames();
    EXPECT_EQ(names.language, c.language);
    EXPECT_EQ(names.country, c.country);
    EXPECT_EQ(platform::ThreadLocaleId(), c.id);
  }
}

} // namespace
