// The string table and its three text loaders.
#include "framework/Resources.h"

#include "platform/string_table.h"
#include "text/StringTableIds.h"

#include <gtest/gtest.h>

#include <string>

namespace {

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

} // namespace
