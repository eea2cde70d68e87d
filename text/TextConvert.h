// Conversions between the system's UTF-16 texts and UTF-8 bytes: the one place they happen.
#pragma once

#include <string>
#include <string_view>

/// Invalid sequences become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);

/// Unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);
/// The same into a buffer of the caller's with room for three bytes per unit of text, the
/// most one unit can take; returns the number of bytes written.
size_t Utf16ToUtf8(std::u16string_view text, char* out);

constexpr bool IsHighSurrogate(char32_t c) {
  return c >= 0xD800 && c <= 0xDBFF;
}
constexpr bool IsLowSurrogate(char32_t c) {
  return c >= 0xDC00 && c <= 0xDFFF;
}

/// The code point at text[i], a surrogate pair read as one; `i` is then left on the
/// pair's second unit. A lone surrogate comes back as it is.
inline char32_t CodePointAt(std::u16string_view text, size_t& i) {
  char32_t c = text[i];
  if (IsHighSurrogate(c) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
    c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
    ++i;
  }
  return c;
}

/// Writes a code point as UTF-16, as a surrogate pair above U+FFFF; returns the end.
template <typename Out> Out PutUtf16(char32_t c, Out out) {
  if (c >= 0x10000) {
    c -= 0x10000;
    *out++ = static_cast<char16_t>(0xD800 + (c >> 10));
    *out++ = static_cast<char16_t>(0xDC00 + (c & 0x3FF));
  } else {
    *out++ = static_cast<char16_t>(c);
  }
  return out;
}

/// ASCII-only case mapping, for names and keys the system compares itself.
std::u16string AsciiUpper(std::u16string text);
std::u16string AsciiLower(std::u16string text);
