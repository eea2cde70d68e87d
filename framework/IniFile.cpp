// INI reading over the platform's profile functions.
#include "framework/IniFile.h"

#include "platform/ini_profile.h"

std::optional<std::int32_t> ParseInteger(std::u16string_view text) {
  bool negative = false;
  if (!text.empty() && (text.front() == u'-' || text.front() == u'+')) {
    negative = text.front() == u'-';
    text.remove_prefix(1);
  }
  unsigned base = 10;
  if (!text.empty() && text.front() == u'$') {
    base = 16;
    text.remove_prefix(1);
  } else if (text.size() >= 2 && text[0] == u'0' && (text[1] == u'x' || text[1] == u'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  if (text.empty())
    return std::nullopt;
  // Decimal may reach 2^31 for "-2147483648"; hexadecimal covers all 32 bits.
  const std::uint64_t limit = base == 16 ? 0xFFFFFFFFu : (negative ? 0x80000000u : 0x7FFFFFFFu);
  std::uint64_t magnitude = 0;
  for (char16_t c : text) {
    unsigned digit;
    if (c >= u'0' && c <= u'9')
      digit = c - u'0';
    else if (base == 16 && c >= u'a' && c <= u'f')
      digit = c - u'a' + 10;
    else if (base == 16 && c >= u'A' && c <= u'F')
      digit = c - u'A' + 10;
    else
      return std::nullopt;
    magnitude = magnitude * base + digit;
    if (magnitude > limit)
      return std::nullopt;
  }
  auto bits = static_cast<std::uint32_t>(negative ? 0u - magnitude : magnitude);
  return static_cast<std::int32_t>(bits);
}

std::u16string TIniFile::ReadString(const std::u16string& section, const std::u16string& ident,
                                    const std::u16string& fallback) const {
  return platform::ReadProfileString(fFileName, section, ident, fallback);
}

std::int32_t TIniFile::ReadInteger(const std::u16string& section, const std::u16string& ident,
                                   std::int32_t fallback) const {
  return ParseInteger(ReadString(section, ident, u"")).value_or(fallback);
}

bool TIniFile::ReadBool(const std::u16string& section, const std::u16string& ident,
                        bool fallback) const {
  return ReadInteger(section, ident, fallback ? 1 : 0) != 0;
}

std::vector<std::u16string> TIniFile::ReadSection(const std::u16string& section) const {
  return platform::ReadProfileKeys(fFileName, section);
}
