// Searches through texts a word at a time: the texts searched are mostly short, and the
// answer is nearly always "none", which a whole word tells at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace byte_search {

constexpr std::uint64_t kOnes = 0x0101010101010101u;
constexpr std::uint64_t kHighBits = kOnes << 7;

/// The position of the first byte for which `byteHits` holds, or the text's size.
/// `wordHits` tells whether any of eight bytes (read into one word) would hit; the bytes
/// of the first such word, and the tail, are then tested one by one.
template <typename WordHits, typename ByteHits>
size_t FirstWhere(std::string_view text, WordHits wordHits, ByteHits byteHits) {
  size_t i = 0;
  for (; i + 8 <= text.size(); i += 8) {
    std::uint64_t word;
    std::memcpy(&word, text.data() + i, sizeof(word));
    if (wordHits(word))
      break;
  }
  while (i < text.size() && !byteHits(static_cast<unsigned char>(text[i])))
    ++i;
  return i;
}

/// The length of the text's ASCII beginning.
inline size_t AsciiPrefix(std::string_view text) {
  return FirstWhere(
      text, [](std::uint64_t word) { return (word & kHighBits) != 0; },
      [](unsigned char c) { return c >= 0x80; });
}

/// The length of a UTF-16 text's ASCII beginning, four units at a time.
inline size_t AsciiPrefix(std::u16string_view text) {
  size_t i = 0;
  for (; i + 4 <= text.size(); i += 4)
    if ((text[i] | text[i + 1] | text[i + 2] | text[i + 3]) >= 0x80)
      break;
  while (i < text.size() && text[i] < 0x80)
    ++i;
  return i;
}

/// Whether the text holds the byte.
inline bool Holds(std::string_view text, char byte) {
  const std::uint64_t pattern = kOnes * static_cast<unsigned char>(byte);
  return FirstWhere(
             text,
             [pattern](std::uint64_t word) {
               word ^= pattern; // a zero byte where the byte is
               return ((word - kOnes) & ~word & kHighBits) != 0;
             },
             [byte](unsigned char c) { return c == static_cast<unsigned char>(byte); }) <
         text.size();
}

} // namespace byte_search
