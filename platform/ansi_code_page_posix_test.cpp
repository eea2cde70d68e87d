// The code page on Linux is the codeset of the current LC_CTYPE, followed as it changes.
#include "platform/ansi_code_page.h"

#include "platform/test_support/scoped_locale_posix.h"

#include <gtest/gtest.h>

namespace {

using platform_testing::ScopedLocale;

TEST(AnsiCodePagePosixTest, CodesetOfTheCurrentCharacterLocale) {
  {
    ScopedLocale locale(LC_CTYPE, "C");
    EXPECT_EQ(platform::ToAnsiCodePage(u"a\u00E9b"), "a?b");
  }
  {
    ScopedLocale locale(LC_CTYPE, "C.UTF-8");
    ASSERT_TRUE(locale.Available());
    EXPECT_EQ(platform::ToAnsiCodePage(u"a\u00E9\u4E2D\U0001F600"),
              "a\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80");
    // A surrogate without its partner is no character in any codeset.
    EXPECT_EQ(platform::ToAnsiCodePage(u"x\xDC00y\xD800"), "x?y?");
  }
  // Back in the C locale the converter of the earlier codeset is not used again.
  ScopedLocale locale(LC_CTYPE, "C");
  EXPECT_EQ(platform::ToAnsiCodePage(u"\u00E9\U0001F600"), "??");
}

} // namespace
