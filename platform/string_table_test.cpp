// The executable's string table through the LoadStringW contract: copies cut to the
// buffer, the read-only text itself with no buffer, nothing for unknown texts.
#include "platform/string_table.h"

#include "text/StringTableIds.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using platform::LoadStringW;
using platform::MainResourceModule;

TEST(StringTableTest, MainModuleIsSearchedFirst) {
  std::vector<platform::ResourceModule> modules = platform::ResourceModules();
  ASSERT_FALSE(modules.empty());
  EXPECT_EQ(modules.front(), MainResourceModule());
}

TEST(StringTableTest, CopiesAreCutToTheBufferAndEndedByAZero) {
  // "Out of memory": 13 characters. Test tuple <buffer size, characters copied>
  const struct { int bufferMax, copied; } cases[] = {{2, 1}, {13, 12}, {14, 13}, {64, 13}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bufferMax);
    std::vector<char16_t> buffer(static_cast<size_t>(c.bufferMax) + 1, u'#');
    EXPECT_EQ(LoadStringW(MainResourceModule(), SOutOfMemory, buffer.data(), c.bufferMax),
              c.copied);
    EXPECT_EQ(std::u16string(buffer.data()), std::u16string(u"Out of memory").substr(0, c.copied));
    EXPECT_EQ(buffer[static_cast<size_t>(c.bufferMax)], u'#') << "written past the buffer";
  }
}

TEST(StringTableTest, WithoutABufferTheTextItselfIsLent) {
  const char16_t* text = nullptr;
  int length =
      LoadStringW(MainResourceModule(), SOutOfMemory, reinterpret_cast<char16_t*>(&text), 0);
  ASSERT_EQ(length, 13);
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(std::u16string(text, 13), u"Out of memory");
  // The same text each time: it is the table's own, not a copy.
  const char16_t* again = nullptr;
  LoadStringW(MainResourceModule(), SOutOfMemory, reinterpret_cast<char16_t*>(&again), 0);
  EXPECT_EQ(again, text);
}

TEST(StringTableTest, UnknownTextsAreNotThere) {
  char16_t buffer[8] = {u'#'};
  EXPECT_EQ(LoadStringW(MainResourceModule(), 1, buffer, 8), 0);
  const char16_t* text = nullptr;
  EXPECT_EQ(LoadStringW(MainResourceModule(), 1, reinterpret_cast<char16_t*>(&text), 0), 0);
}

} // namespace
