// The runtime's formatting, system error texts and assertion failures.
#include "framework/SysUtils.h"

#include "framework/Exception.h"
#include "text/TextConvert.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(FormatTest, Directives) {
  // Test tuple <format, expected>
  struct Case {
    std::u16string format;
    std::u16string expected;
  } cases[] = {
      {u"%s (%s, line %d)", u"a (b, line -7)"},
      {u"100%%", u"100%"},
      {u"[%5s|%-5s]", u"[    a|b    ]"},
  };
  const std::vector<std::vector<FormatArg>> args = {{u"a", u"b", -7}, {}, {u"a", u"b"}};
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(Utf16ToUtf8(cases[i].format));
    EXPECT_EQ(Format(cases[i].format, args[i]), cases[i].expected);
  }
  EXPECT_EQ(Format(u"%p", {reinterpret_cast<const void*>(0x1a2b)}), u"00001A2B");
  EXPECT_EQ(Format(u"%x/%u", {255, 4000000000u}), u"FF/4000000000");
}

TEST(FormatTest, MissingOrMismatchedArgumentRaises) {
  EXPECT_THROW(Format(u"%s %s", {u"one"}), EConvertError);
  EXPECT_THROW(Format(u"%d", {u"text"}), EConvertError);
  EXPECT_THROW(Format(u"trailing %", {}), EConvertError);
}

TEST(AssertionTest, MessageCarriesLocation) {
  try {
    AssertionFailed(u"Failed to find GetLastInputInfo in DLL!",
                    u"common\\Scheduler\\Utils\\InputHook", 165);
    FAIL();
  } catch (const EAssertionFailed& e) {
    EXPECT_EQ(
        e.Message(),
        u"Failed to find GetLastInputInfo in DLL! (common\\Scheduler\\Utils\\InputHook, line 165)");
    EXPECT_EQ(std::u16string(e.ClassName()), u"EAssertionFailed");
  }
}

TEST(SysErrorMessageTest, StripsTrailingFullStopsAndBlanks) {
  std::u16string text = SysErrorMessage(2);
  ASSERT_FALSE(text.empty());
  EXPECT_NE(text.back(), u'.');
  EXPECT_GT(text.back(), u' ');
}

} // namespace
