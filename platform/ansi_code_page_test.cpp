// Texts in the system's 8-bit code page, as the log writes them: ASCII as it is, and one
// default character for what no code page can hold.
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

TEST(AnsiCodePageTest, SurrogateWithoutItsPartnerBecomesOneQuestionMark) {
  // No code page holds it, whichever the system or the user's locale has chosen.
  EXPECT_EQ(platform::ToAnsiCodePage(u"x\xD800-\xDC00y\xDBFF"), "x?-?y?");
}

} // namespace
