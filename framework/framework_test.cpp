// The runtime layer: failures, formatting, the string table and the unit order.
#include "framework/Exception.h"
#include "framework/Resources.h"
#include "framework/SysUtils.h"
#include "framework/Units.h"
#include "platform/module.h"
#include "text/StringTableIds.h"
#include "text/TextConvert.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

SA_DECLARE_EXCEPTION(ETestFailure, Exception);

TEST(ExceptionTest, NamesItsClassAndMarksTheRaiseSite) {
  const void* before = platform::CurrentCodeAddress();
  try {
    throw ETestFailure(u"broken");
  } catch (const Exception& e) {
    EXPECT_EQ(std::u16string(e.ClassName()), u"ETestFailure");
    EXPECT_EQ(e.Message(), u"broken");
    EXPECT_STREQ(e.what(), "broken");
    // The raise site lies in this function, shortly after the first marker.
    auto distance = static_cast<const char*>(e.RaiseAddress()) - static_cast<const char*>(before);
    EXPECT_GT(distance, 0);
    EXPECT_LT(distance, 4096);
    platform::ModuleOfCode module = platform::FindModuleOfAddress(e.RaiseAddress());
    EXPECT_TRUE(module.found);
    EXPECT_EQ(module.path, platform::ExecutablePath());
  }
}

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

TEST(StringTableTest, BuiltInTextsLoad) {
  EXPECT_EQ(LoadStringDirect(SExceptionReportFormat),
            u"Exception %s in module %s at %p.\r\n%s%s\r\n");
  EXPECT_EQ(LoadStringDirect(SExceptionReportTitle), u"Application Error");
  EXPECT_EQ(LoadStr(SWindowClass), u"Error creating window class");
  EXPECT_EQ(LoadStr(1), u"");
}

TEST(StringTableTest, LoadStringWBufferSemantics) {
  char16_t buffer[8];
  // "Out of memory" is 13 characters: 7 fit beside the terminating zero.
  EXPECT_EQ(platform::LoadStringW(platform::MainResourceModule(), SOutOfMemory, buffer, 8), 7);
  EXPECT_EQ(std::u16string(buffer), u"Out of ");
  EXPECT_EQ(platform::LoadStringW(platform::MainResourceModule(), 1, buffer, 8), 0);
}

TEST(StringTableTest, ResourceRecordLoader) {
  platform::ResourceModule module = platform::MainResourceModule();
  TResStringRec title{&module, SExceptionReportTitle};
  TResStringRec tooBig{&module, 65536};
  EXPECT_EQ(LoadResString(&title), u"Application Error");
  EXPECT_EQ(LoadResString(&tooBig), u"ERROR");
  EXPECT_EQ(LoadResString(nullptr), u"");
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

namespace {
std::vector<std::string> journal;
void StartA() {
  journal.push_back("start A");
}
void EndA() {
  journal.push_back("end A");
}
void StartB() {
  journal.push_back("start B");
}
void EndB() {
  journal.push_back("end B");
}
void StartFails() {
  journal.push_back("start F");
  throw ETestFailure(u"no");
}
void EndF() {
  journal.push_back("end F");
}
} // namespace

TEST(UnitsTest, EndInReverseOnce) {
  journal.clear();
  const Unit units[] = {{"A", StartA, EndA}, {"B", StartB, EndB}};
  StartUnits(units);
  EXPECT_EQ(StartedUnitCount(), 2);
  EndUnits();
  EndUnits();
  EXPECT_EQ(journal, (std::vector<std::string>{"start A", "start B", "end B", "end A"}));
}

TEST(UnitsTest, FailedStartEndsTheStartedOnesAndItself) {
  journal.clear();
  const Unit units[] = {{"A", StartA, EndA}, {"F", StartFails, EndF}, {"B", StartB, EndB}};
  EXPECT_THROW(StartUnits(units), ETestFailure);
  EXPECT_EQ(StartedUnitCount(), 0);
  EXPECT_EQ(journal, (std::vector<std::string>{"start A", "start F", "end F", "end A"}));
}
