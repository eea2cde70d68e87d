// UTF-8 and UTF-16 conversion without locale dependence.
#include "text/TextConvert.h"

#include "text/ByteSearch.h"

#include <cstdint>
#include <cstring>

namespace {

// Most texts are ASCII through and through; their ASCII beginning is copied as it is.
using byte_search::AsciiPrefix;

} // namespace

std::u16string Utf8ToUtf16(std::string_view text) {
  // Never more units than bytes: one unit per byte at most, two for four bytes.
  std::u16string result(text.size(), u'\0');
  char16_t* out = result.data();
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const auto* end = p + text.size();
  const size_t ascii = AsciiPrefix(text);
  for (size_t i = 0; i < ascii; ++i)
    out[i] = p[i];
  out += ascii;
  p += ascii;
  while (p < end) {
    std::uint32_t c = *p;
    int extra = 0;
    std::uint32_t min = 0;
    if (c < 0x80) {
      ++p;
      *out++ = static_cast<char16_t>(c);
      continue;
    } else if ((c & 0xE0) == 0xC0) {
      extra = 1, c &= 0x1F, min = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
      extra = 2, c &= 0x0F, min = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
      extra = 3, c &= 0x07, min = 0x10000;
    } else {
      ++p;
      *out++ = u'\uFFFD';
      continue;
    }
    const unsigned char* q = p + 1;
    bool valid = end - p > extra;
    for (int i = 0; valid && i < extra; ++i, ++q) {
      if ((*q & 0xC0) != 0x80)
        valid = false;
      else
        c = (c << 6) | (*q & 0x3F);
    }
    if (!valid || c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
      ++p;
      *out++ = u'\uFFFD';
      continue;
    }
    p = q;
    out = PutUtf16(c, out);
  }
  result.resize(static_cast<size_t>(out - result.data()));
  return result;
}

namespace {

/// Writes text as UTF-8 from out on, ascii being its ASCII prefix; returns the end.
char* EncodeUtf8(std::u16string_view text, size_t ascii, char* out) {
  for (size_t i = 0; i < ascii; ++i)
    out[i] = static_cast<char>(text[i]);
  out += ascii;
  auto put = [&out](std::uint32_t byte) { *out++ = static_cast<char>(byte); };
  for (size_t i = ascii; i < text.size(); ++i) {
    std::uint32_t c = CodePointAt(text, i);
    if (IsHighSurrogate(c) || IsLowSurrogate(c))
      c = 0xFFFD;
    if (c < 0x80) {
      put(c);
    } else if (c < 0x800) {
      put(0xC0 | (c >> 6));
      put(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      put(0xE0 | (c >> 12));
      put(0x80 | ((c >> 6) & 0x3F));
      put(0x80 | (c & 0x3F));
    } else {
      put(0xF0 | (c >> 18));
      put(0x80 | ((c >> 12) & 0x3F));
      put(0x80 | ((c >> 6) & 0x3F));
      put(0x80 | (c & 0x3F));
    }
  }
  return out;
}

} // namespace

std::string Utf16ToUtf8(std::u16string_view text) {
  const size_t ascii = AsciiPrefix(text);
  // The exact length first, so that the result holds no more than it needs. A lone
  // surrogate becomes U+FFFD, three bytes like itself; a pair takes four.
  size_t length = ascii;
  for (size_t i = ascii; i < text.size(); ++i) {
    const char32_t c = CodePointAt(text, i);
    length += c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
  }
  std::string result(length, '\0');
  EncodeUtf8(text, ascii, result.data());
  return result;
}

size_t Utf16ToUtf8(std::u16string_view text, char* out) {
  return static_cast<size_t>(EncodeUtf8(text, AsciiPrefix(text), out) - out);
}

std::u16string AsciiUpper(std::u16string text) {
  for (char16_t& c : text)
    if (c >= u'a' && c <= u'z')
      c = static_cast<char16_t>(c - u'a' + u'A');
  return text;
}

std::u16string AsciiLower(std::u16string text) {
  for (char16_t& c : text)
    if (c >= u'A' && c <= u'Z')
      c = static_cast<char16_t>(c - u'A' + u'a');
  return text;
}
