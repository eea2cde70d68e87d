// The UTF-8 and UTF-16 conversions: valid texts, every kind of broken sequence, and the
// same cases behind ASCII runs of every length, where the word-at-a-time scan hands over.
#include "text/TextConvert.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

std::string Hex(std::string_view bytes) {
  std::string out;
  for (unsigned char b : bytes) {
    const char* digits = "0123456789abcdef";
    out += digits[b >> 4];
    out += digits[b & 15];
    out += ' ';
  }
  return out;
}

// Test tuple <UTF-8 bytes, UTF-16 units they decode to>
const struct Utf8Case {
  std::string utf8;
  std::u16string utf16;
} kUtf8Cases[] = {
    {"", u""},
    {"plain ASCII text", u"plain ASCII text"},
    {std::string("nul\0inside", 10), std::u16string(u"nul\0inside", 10)},
    {"\x7f", u"\x7f"},
    {"\xc3\xa4", u"\u00e4"},
    {"\xdf\xbf", u"\u07ff"},
    {"\xe0\xa0\x80", u"\u0800"},
    {"\xe2\x82\xac", u"\u20ac"},
    {"\xef\xbf\xbf", u"\uffff"},
    {"\xf0\x90\x80\x80", u"\U00010000"},
    {"\xf4\x8f\xbf\xbf", u"\U0010ffff"},
    {"\x80", u"\ufffd"},                               // a continuation byte alone
    {"\xbf\xbf", u"\ufffd\ufffd"},                     // each stray one replaced
    {"\xc3", u"\ufffd"},                               // cut short at the end
    {"\xe2\x82", u"\ufffd\ufffd"},                     // lead replaced, the rest re-read
    {"\xc3(", u"\ufffd("},                             // broken by an ASCII byte, which stays
    {"\xc0\x80", u"\ufffd\ufffd"},                     // overlong zero
    {"\xe0\x80\xaf", u"\ufffd\ufffd\ufffd"},           // overlong slash
    {"\xed\xa0\x80", u"\ufffd\ufffd\ufffd"},           // a surrogate, encoded
    {"\xf4\x90\x80\x80", u"\ufffd\ufffd\ufffd\ufffd"}, // above U+10FFFF
    {"\xf8\x88\x80\x80\x80", u"\ufffd\ufffd\ufffd\ufffd\ufffd"},
    {"\xff", u"\ufffd"},
    {"a\r\nb", u"a\r\nb"},
};

// Test tuple <UTF-16 units, UTF-8 bytes they encode to>
const struct Utf16Case {
  std::u16string utf16;
  std::string utf8;
} kUtf16Cases[] = {
    {u"", ""},
    {u"plain", "plain"},
    {std::u16string(u"a\0b", 3), std::string("a\0b", 3)},
    {u"\u00e4", "\xc3\xa4"},
    {u"\u07ff", "\xdf\xbf"},
    {u"\u0800", "\xe0\xa0\x80"},
    {u"\uffff", "\xef\xbf\xbf"},
    {u"\U0001F600", "\xf0\x9f\x98\x80"},
    {u"\U0010ffff", "\xf4\x8f\xbf\xbf"},
    {std::u16string(1, char16_t(0xD800)), "\xef\xbf\xbd"},     // high alone, at the end
    {std::u16string{char16_t(0xD800), u'x'}, "\xef\xbf\xbdx"}, // high, then no low
    {std::u16string(1, char16_t(0xDC00)), "\xef\xbf\xbd"},     // low alone
    {std::u16string{char16_t(0xDC00), char16_t(0xD800)}, "\xef\xbf\xbd\xef\xbf\xbd"}, // reversed
    {std::u16string{char16_t(0xD800), char16_t(0xD800), char16_t(0xDC00)},
     "\xef\xbf\xbd\xf0\x90\x80\x80"}, // a lone high before a pair
};

} // namespace

TEST(TextConvertTest, Utf8ToUtf16BehindAsciiRunsOfEveryLength) {
  for (size_t run = 0; run <= 17; ++run) {
    const std::string ascii(run, 'k');
    const std::u16string ascii16(run, u'k');
    for (const Utf8Case& c : kUtf8Cases) {
      SCOPED_TRACE(testing::Message() << run << " ASCII bytes, then " << Hex(c.utf8));
      EXPECT_EQ(Utf8ToUtf16(ascii + c.utf8), ascii16 + c.utf16);
      // ...and followed by ASCII: a broken sequence must not swallow what comes after.
      EXPECT_EQ(Utf8ToUtf16(ascii + c.utf8 + ascii), ascii16 + c.utf16 + ascii16);
    }
  }
}

TEST(TextConvertTest, Utf16ToUtf8BehindAsciiRunsOfEveryLength) {
  for (size_t run = 0; run <= 9; ++run) {
    const std::u16string ascii16(run, u'k');
    const std::string ascii(run, 'k');
    for (const Utf16Case& c : kUtf16Cases) {
      SCOPED_TRACE(testing::Message() << run << " ASCII units, then " << Hex(c.utf8));
      EXPECT_EQ(Utf16ToUtf8(ascii16 + c.utf16), ascii + c.utf8);
      EXPECT_EQ(Utf16ToUtf8(ascii16 + c.utf16 + ascii16), ascii + c.utf8 + ascii);
    }
  }
}

TEST(TextConvertTest, Utf16ToUtf8IntoABufferWritesTheSameBytesAndNoMore) {
  for (size_t run = 0; run <= 9; ++run) {
    for (const Utf16Case& c : kUtf16Cases) {
      const std::u16string text = std::u16string(run, u'k') + c.utf16;
      SCOPED_TRACE(testing::Message() << run << " ASCII units, then " << Hex(c.utf8));
      // Room for three bytes per unit, then a guard that must stay untouched.
      std::string buffer(3 * text.size() + 8, '#');
      const size_t written = Utf16ToUtf8(text, buffer.data());
      EXPECT_EQ(buffer.substr(0, written), Utf16ToUtf8(text));
      EXPECT_EQ(buffer.substr(3 * text.size()), std::string(8, '#'));
    }
  }
}

TEST(TextConvertTest, EveryCodePointSurvivesTheRoundTrip) {
  std::u16string all;
  for (std::uint32_t c = 1; c <= 0x10FFFF; ++c) {
    if (c >= 0xD800 && c <= 0xDFFF)
      continue;
    if (c >= 0x10000) {
      all.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
      all.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
    } else {
      all.push_back(static_cast<char16_t>(c));
    }
  }
  const std::string utf8 = Utf16ToUtf8(all);
  // 127 one-byte, 1,920 two-byte, 61,440 three-byte and 1,048,576 four-byte sequences.
  EXPECT_EQ(utf8.size(), 127u + 1920u * 2 + 61440u * 3 + 1048576u * 4);
  EXPECT_EQ(Utf8ToUtf16(utf8), all);
}

TEST(TextConvertTest, AsciiCaseMappingLeavesOtherLettersAlone) {
  EXPECT_EQ(AsciiUpper(u"de_de \u00e4z"), u"DE_DE \u00e4Z");
  EXPECT_EQ(AsciiLower(u"DE_DE \u00c4Z"), u"de_de \u00c4z");
}
