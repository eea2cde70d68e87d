// The date and time formats on Linux: those of the current LC_TIME.
#include "platform/local_time.h"

#include "platform/test_support/scoped_locale_posix.h"

#include <gtest/gtest.h>

namespace {

using platform_testing::ScopedLocale;

TEST(LocalTimePosixTest, FormatsOfTheCurrentTimeLocale) {
  const platform::LocalTime time{2024, 3, 9, 14, 5, 7, 250};
  for (const char* name : {"C", "C.UTF-8"}) {
    SCOPED_TRACE(name);
    ScopedLocale locale(LC_ALL, name);
    ASSERT_TRUE(locale.Available());
    EXPECT_EQ(platform::FormatShortDate(time), u"03/09/24");
    EXPECT_EQ(platform::FormatLongTime(time), u"14:05:07");
  }
}

} // namespace
