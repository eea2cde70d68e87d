// The Linux stand-ins the log relies on: the LC_TIME formats and the LC_CTYPE codeset.
#include "platform/ansi_code_page.h"
#include "platform/local_time.h"

#include <gtest/gtest.h>

#include <clocale>

namespace {

/// Switches the process's locale for one test and restores it afterwards.
class ScopedLocale {
public:
  ScopedLocale(int category, const char* name) : category_(category) {
    saved_ = std::setlocale(category, nullptr);
    available_ = std::setlocale(category, name) != nullptr;
  }
  ~ScopedLocale() { std::setlocale(category_, saved_.c_str()); }
  bool Available() const { return available_; }

private:
  int category_;
  std::string saved_;
  bool available_;
};

TEST(LogPlatformPosixTest, FormatsOfTheCurrentTimeLocale) {
  ScopedLocale locale(LC_ALL, "C");
  platform::LocalTime time{2024, 3, 9, 14, 5, 7, 250};
  EXPECT_EQ(platform::FormatShortDate(time), u"03/09/24");
  EXPECT_EQ(platform::FormatLongTime(time), u"14:05:07");
}

TEST(LogPlatformPosixTest, CodesetOfTheCurrentCharacterLocale) {
  {
    ScopedLocale locale(LC_CTYPE, "C");
    EXPECT_EQ(platform::ToAnsiCodePage(u"a\u00E9b"), "a?b");
  }
  ScopedLocale locale(LC_CTYPE, "C.UTF-8");
  ASSERT_TRUE(locale.Available());
  EXPECT_EQ(platform::ToAnsiCodePage(u"a\u00E9\u4E2D\U0001F600"),
            "a\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80");
  // A surrogate without its partner is no character in any codeset.
  EXPECT_EQ(platform::ToAnsiCodePage(u"x\xDC00y\xD800"), "x?y?");
}

} // namespace
