// Read-only access to an INI file by section and key, and the runtime's reading of
// whole numbers and booleans in it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

/// A whole number as the runtime reads one: decimal, or hexadecimal after "$", "0x" or
/// "0X", with an optional sign; nothing else around it. Decimal numbers must fit 32
/// bits signed, hexadecimal ones 32 bits (they wrap, so "$FFFFFFFF" is -1).
std::optional<std::int32_t> ParseInteger(std::u16string_view text);

/// An INI file; nothing is read before a question is asked, nothing is ever written.
class TIniFile {
public:
  explicit TIniFile(std::u16string fileName) : fFileName(std::move(fileName)) {}

  const std::u16string& FileName() const { return fFileName; }

  /// The value without surrounding blanks; fallback when the key is missing.
  std::u16string ReadString(const std::u16string& section, const std::u16string& ident,
                            const std::u16string& fallback) const;

  /// The value as a whole number; fallback when missing, empty or not a number.
  std::int32_t ReadInteger(const std::u16string& section, const std::u16string& ident,
                           std::int32_t fallback) const;

  /// Any whole number other than 0 is true.
  bool ReadBool(const std::u16string& section, const std::u16string& ident, bool fallback) const;

  /// The key names of the section, in file order.
  std::vector<std::u16string> ReadSection(const std::u16string& section) const;

private:
  std::u16string fFileName;
};
