// Word-at-a-time searches: every position within and across the words.
#include "text/ByteSearch.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(ByteSearchTest, FindsTheByteAtEveryPositionAndNothingElse) {
  // Neighbours that differ from '\n' by one bit or by a borrow fool a careless word test.
  const std::string fillers[] = {std::string(1, '\x0b'), std::string(1, '\x8a'),
                                 std::string(1, '\x09'), std::string(1, '\xff')};
  for (const std::string& filler : fillers) {
    for (size_t length = 0; length <= 19; ++length) {
      std::string text;
      for (size_t i = 0; i < length; ++i)
        text += filler;
      SCOPED_TRACE(testing::Message() << "filler " << int(filler[0]) << " length " << length);
      EXPECT_FALSE(byte_search::Holds(text, '\n'));
      for (size_t at = 0; at < length; ++at) {
        std::string with = text;
        with[at] = '\n';
        EXPECT_TRUE(byte_search::Holds(with, '\n')) << at;
      }
    }
  }
}

TEST(ByteSearchTest, AsciiPrefixEndsAtTheFirstUnitOutsideAscii) {
  for (size_t length = 0; length <= 19; ++length) {
    const std::string ascii(length, '\x7f');
    EXPECT_EQ(byte_search::AsciiPrefix(ascii), length);
    for (size_t at = 0; at < length; ++at) {
      std::string text = ascii;
      text[at] = '\x80';
      if (at + 1 < length)
        text[length - 1] = '\xc3'; // a later high byte changes nothing
      EXPECT_EQ(byte_search::AsciiPrefix(text), at) << "length " << length;
    }
  }
  for (size_t length = 0; length <= 11; ++length) {
    const std::u16string ascii(length, u'\x7f');
    EXPECT_EQ(byte_search::AsciiPrefix(ascii), length);
    for (size_t at = 0; at < length; ++at)
      for (char16_t high : {u'\x80', u'\xff', u'\u0100', u'\xd800'}) {
        std::u16string text = ascii;
        text[at] = high;
        EXPECT_EQ(byte_search::AsciiPrefix(text), at) << "UTF-16 length " << length;
      }
  }
}

} // namespace
