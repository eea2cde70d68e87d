// UTF-8 and UTF-16 conversion without locale dependence.
#include "framework/TextConvert.h"

#include <cstdint>

std::u16string Utf8ToUtf16(std::string_view text) {
  std::u16string result;
  result.reserve(text.size());
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const auto* end = p + text.size();
  while (p < end) {
    std::uint32_t c = *p;
    int extra = 0;
    std::uint32_t min = 0;
    if (c < 0x80) {
      ++p;
      result.push_back(static_cast<char16_t>(c));
      continue;
    } else if ((c & 0xE0) == 0xC0) {
      extra = 1, c &= 0x1F, min = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
      extra = 2, c &= 0x0F, min = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
      extra = 3, c &= 0x07, min = 0x10000;
    } else {
      ++p;
      result.push_back(u'\uFFFD');
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
      result.push_back(u'\uFFFD');
      continue;
    }
    p = q;
    if (c >= 0x10000) {
      c -= 0x10000;
      result.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
      result.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    } else {
      result.push_back(static_cast<char16_t>(c));
    }
  }
  return result;
}

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string result;
  result.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    std::uint32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    if (c < 0x80) {
      result.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      result.push_back(static_cast<char>(0xC0 | (c >> 6)));
      result.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      result.push_back(static_cast<char>(0xE0 | (c >> 12)));
      result.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      result.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      result.push_back(static_cast<char>(0xF0 | (c >> 18)));
      result.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      result.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      result.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return result;
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
