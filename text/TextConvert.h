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

/// ASCII-only case mapping, for names and keys the system compares itself.
std::u16string AsciiUpper(std::u16string text);
std::u16string AsciiLower(std::u16string text);
