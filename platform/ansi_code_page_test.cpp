// Texts in the system's 8-bit code page, as the log writes them: ASCII as it is, and one
// default character for each character the code page cannot hold.
#include "platform/ansi_code_page.h"

#include <gtest/gtest.h>

namespace {

TEST(AnsiCodePageTest, AsciiIsKeptByteForByte) {
  std::u16string ascii;
  for (char16_t c = 1; c < 0x80; ++c)
    ascii.push_back(c);
  EXPECT_EQ(platform::ToAnsiCodePage(ascii), std::string(ascii.begin(), ascii.end()));
  EXPECT_EQ(platform::ToAnsiCodePage(u""), "");
}

TEST(AnsiCodePageTest, WhatTheCodePageCannotHoldBecomesOneQuestionMarkEach) {
  // A CJK character lies outside the western code pages the tests run under; a surrogate
  // without its partner is no character anywhere.
  EXPECT_EQ(platform::ToAnsiCodePage(u"x\u4E2D\u4E2Dy"), "x??y");
  EXPECT_EQ(platform::ToAnsiCodePage(u"\xD800-\xDC00"), "?-?");
}

} // namespace
