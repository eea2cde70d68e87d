// The runtime's formatting, system error texts, assertion failures and path parts.
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

TEST(PathPartsTest, FolderEndsAtTheSystemsSeparatorNameAfterEither) {
  const bool windows = PathSeparator() == u'\\';
  // Test tuple <path, folder on Linux, folder on Windows, name>
  struct Case {
    std::u16string path, posixFolder, windowsFolder, name;
  } cases[] = {
      {u"/opt/agent/SchedulerAgent", u"/opt/agent/", u"/opt/agent/", u"SchedulerAgent"},
      {u"C:\\Agent\\SchedulerAgent.exe", u"", u"C:\\Agent\\", u"SchedulerAgent.exe"},
      {u"C:\\Agent/sub\\x.exe", u"C:\\Agent/", u"C:\\Agent/sub\\", u"x.exe"},
      // A backslash is part of a Linux file name: the log and catalogues stay beside it.
      {u"/opt/a\\b", u"/opt/", u"/opt/a\\", u"b"},
      {u"agent", u"", u"", u"agent"},
      {u"/", u"/", u"/", u""},
      {u"", u"", u"", u""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Utf16ToUtf8(c.path));
    EXPECT_EQ(ExtractFilePath(c.path), windows ? c.windowsFolder : c.posixFolder);
    EXPECT_EQ(ExtractFileName(c.path), c.name);
  }
}

TEST(AssertionTest, AssertNamesTheCallsPlaceInTheTree) {
  EXPECT_NO_THROW(Assert(true, u"holds"));
  const int line = __LINE__ + 2;
  try {
    Assert(1 + 1 == 3, u"Arithmetic broke");
    FAIL();
  } catch (const EAssertionFailed& e) {
    EXPECT_EQ(e.Message(), u"Arithmetic broke (framework\\SysUtils_test.cpp, line " +
                               Utf8ToUtf16(std::to_string(line)) + u")");
  }
  // A place the behaviour fixes, whatever the call's own.
  try {
    Assert(false, u"Failed to find GetLastInputInfo in DLL!",
           SourcePlace{u"common\\Scheduler\\Utils\\InputHook", 165});
    FAIL();
  } catch (const EAssertionFailed& e) {
    EXPECT_EQ(
        e.Message(),
        u"Failed to find GetLastInputInfo in DLL! (common\\Scheduler\\Utils\\InputHook, line 165)");
  }
}

TEST(SysErrorMessageTest, StripsTrailingFullStopsAndBlanks) {
  std::u16string text = SysErrorMessage(2);
  ASSERT_FALSE(text.empty());
  EXPECT_NE(text.back(), u'.');
  EXPECT_GT(text.back(), u' ');
}

} // namespace
